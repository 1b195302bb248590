// The comparison under Wine: each query asked of our profile-file reader
// and of Windows' GetPrivateProfileStringA, the answers compared, and the
// differences Wine has and Windows has not told from the rest (see
// profile_differential.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "corpus_features.h"
#include "profile_corpus.h"
#include "random_source.h"

struct answer {
    std::uint32_t count;
    std::string text;  // the bytes before the count's NUL, and that NUL
    bool operator==(const answer& other) const { return count == other.count && text == other.text; }
};

// A difference that Wine has and Windows has not. `applies` sees the query
// and both answers; it must hold for exactly the cases the reason explains.
struct wine_difference {
    const char* name;
    const char* reason;
    bool (*applies)(const query&, const answer& ours, const answer& wine, const std::string& path);
    std::size_t seen;
};

// Every difference Wine is known to have, each named, with why; a
// difference none of them explains fails the run.
std::vector<wine_difference> knownWineDifferences();

// What the comparison has found so far.
struct comparison {
    std::size_t queries = 0;
    std::size_t agreed = 0;
    std::size_t unexplained = 0;
    std::vector<wine_difference> wineDifferences = knownWineDifferences();
    std::vector<char> ours = std::vector<char>(8192);
    std::vector<char> theirs = std::vector<char>(8192);
};

// Asks both readers one file's queries and counts what they say; prints
// the first differences beyond the listed ones.
void compareFile(const std::string& path, const std::string& content, random_source& random, corpus_writer& writer,
                 comparison& found);

// What the corpus held, each listed Wine difference and the totals.
void printSummary(const comparison& found, const std::size_t (&featureFiles)[featureCount], std::size_t cases,
                  std::uint64_t seed, bool keep, const std::string& folder);
