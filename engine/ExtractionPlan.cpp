#include "ExtractionPlan.h"

#include "os/Os.h"

#include <map>
#include <set>

namespace {
// The target as the system tells paths apart: its names, without empty
// ones and ".", each in the form nameKey gives, joined by "/". Every
// proper beginning of it is a folder.
struct TargetKey {
    CString whole;
    std::vector<CString> folders;
};

TargetKey keyOf(const CString& target)
{
    TargetKey key;
    size_t start = 0;
    while (start <= target.size()) {
        const size_t end = std::min(target.find_first_of(os::kSeparators, start), target.size());
        const CString name = target.substr(start, end - start);
        if (!name.empty() && name != ".") {
            if (!key.whole.empty())
                key.folders.push_back(key.whole);
            key.whole += (key.whole.empty() ? "" : "/") + os::nameKey(name);
        }
        start = end + 1;
    }
    return key;
}

// The names that are both a file's and a folder's.
std::set<CString> namesOfBothKinds(const std::vector<ExtractJob>& jobs, const std::vector<TargetKey>& keys)
{
    std::set<CString> files, folders;
    for (size_t n = 0; n < jobs.size(); ++n) {
        (jobs[n].folder ? folders : files).insert(keys[n].whole);
        folders.insert(keys[n].folders.begin(), keys[n].folders.end());
    }
    std::set<CString> both;
    for (const CString& file : files)
        if (folders.count(file))
            both.insert(file);
    return both;
}

bool atOrBelowAny(const TargetKey& key, const std::set<CString>& names)
{
    if (names.count(key.whole))
        return true;
    for (const CString& folder : key.folders)
        if (names.count(folder))
            return true;
    return false;
}
} // namespace

std::vector<ExtractJob> planExtraction(const std::vector<ExtractJob>& jobs)
{
    std::vector<TargetKey> keys;
    for (const ExtractJob& job : jobs)
        keys.push_back(keyOf(job.target));
    const std::set<CString> both = namesOfBothKinds(jobs, keys);
    std::map<CString, size_t> lastFile;
    for (size_t n = 0; n < jobs.size(); ++n)
        if (!jobs[n].folder)
            lastFile[keys[n].whole] = n;
    std::vector<ExtractJob> planned;
    for (size_t n = 0; n < jobs.size(); ++n) {
        const bool inTurn = atOrBelowAny(keys[n], both);
        if (!inTurn && !jobs[n].folder && lastFile[keys[n].whole] != n)
            continue;
        planned.push_back(jobs[n]);
        planned.back().inTurn = inTurn;
    }
    return planned;
}
