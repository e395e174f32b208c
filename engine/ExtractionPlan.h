#pragma once
// Which entry gives each file and folder of an extraction, decided before
// anything is written, so that one thread and many leave the same files,
// folders and messages.
#include "ParallelExtract.h"

#include <vector>

// jobs: the entries to extract, in the archive's order, with their targets
// below one folder. Returns those to extract, in the same order:
//  - of entries with one name (as the system compares names) the last one
//    wins, and the others are left out;
//  - where one name is both a file and a folder (a file "a" and "a/b"),
//    every entry at or below that name is kept and extracted in its turn,
//    after every entry before it, so that the first of them decides which
//    it becomes, as on one thread.
std::vector<ExtractJob> planExtraction(const std::vector<ExtractJob>& jobs);
