#include "Arguments.h"

Arguments::Arguments(const std::vector<std::string>& words, const std::set<std::string>& flags,
                     const std::set<std::string>& options)
{
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 || word.size() == 2) {
            positionals_.push_back(word);
        } else if (flags.count(word)) {
            flags_.insert(word);
        } else if (options.count(word)) {
            if (++i == words.size())
                throw UsageError(word + " needs a value");
            options_[word] = words[i];
        } else {
            throw UsageError("unknown option " + word);
        }
    }
}

bool Arguments::has(const std::string& name) const
{
    return flags_.count(name) || options_.count(name);
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const
{
    auto found = options_.find(name);
    return found == options_.end() ? fallback : found->second;
}

void Arguments::requirePositionals(size_t least, size_t most) const
{
    if (positionals_.size() < least || positionals_.size() > most)
        throw UsageError("wrong number of arguments");
}

unsigned threadCount(const Arguments& arguments)
{
    if (!arguments.has("--threads"))
        return 0;
    const std::string text = arguments.value("--threads");
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos
        || std::stoul(text) == 0)
        throw UsageError("--threads needs a number from 1 to 9999");
    return static_cast<unsigned>(std::stoul(text));
}
