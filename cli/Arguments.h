#pragma once
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Wrong usage; main prints the usage text and exits with 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Splits a command's arguments into positionals, "--flag"s and "--option VALUE"s.
class Arguments {
public:
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& flags,
              const std::set<std::string>& options);

    const std::vector<std::string>& positionals() const { return positionals_; }
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = std::string()) const;
    void requirePositionals(size_t least, size_t most) const;

private:
    std::vector<std::string> positionals_;
    std::set<std::string> flags_;
    std::map<std::string, std::string> options_;
};

// --threads N, from 1 to 9999; 0, every core, when it is not given.
unsigned threadCount(const Arguments& arguments);
