#pragma once
// What CZipFile::extractInParallel is given: the entries to extract and where
// to, decided beforehand on the caller's thread, and whom to tell of each.
#include "ZipString.h"

#include <functional>

struct ExtractJob {
    int index;
    // The file the entry becomes, or the folder a folder entry becomes.
    CString target;
    bool folder = false;
    // Extracted on the caller's thread once every entry before it is done:
    // it meets another entry's name (see planExtraction).
    bool inTurn = false;
};

// Called on the caller's thread for each entry, in the order given, once it
// is done; error is empty for an entry that was extracted. Returning false
// stops the handing out of entries: those already on their way still finish
// and are reported, the rest are never begun.
using ExtractReport = std::function<bool(const ExtractJob& job, const CString& error)>;
