// The features of the corpus: what its files held, counted in files, so
// that the run shows that every variation the corpus is meant to have did
// occur. Counted from the bytes written, not from what the writer meant to
// write.
#pragma once

#include <cstddef>
#include <string>

enum feature : std::size_t {
    crlf,
    lf,
    loneCr,
    noLastLineEnd,
    noSection,
    keyBeforeSection,
    duplicateSection,
    duplicateKey,
    blanksAroundEquals,
    emptyValue,
    quotes,
    commentLine,
    longLine,
    nonAscii,
    nulByte,
    featureCount
};
extern const char* const featureNames[featureCount];

// Adds one to the count of every feature `file` has.
void countFeatures(const std::string& file, std::size_t (&counts)[featureCount]);
