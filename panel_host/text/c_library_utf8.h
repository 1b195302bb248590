// c_library_utf8: a second reading of UTF-8, by the C library's mbrtowc
// under the C.UTF-8 locale, that utf8::decode is checked against (by
// utf8_test and the utf8_fuzz target; the program itself never uses it).
// Only where wchar_t holds every code point (not on Windows).
//
// The two are written independently: the C library knows nothing of our
// table of lead bytes, so a byte range typed wrong on our side shows up as
// a difference. Two things mbrtowc does not say are found by asking it
// more than once:
// - It reads the old six-byte UTF-8 and returns code points up to
//   0x7FFFFFFF; Unicode ends at U+10FFFF, so a character above that counts
//   as not UTF-8 (sameReading() allows exactly this case, no other).
// - It reports a cut-short sequence only as "incomplete", and only once
//   all the bytes it expects are there, so the maximal ill-formed
//   subsequence is found by trying completions (beginsSequence()).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/utf8.h"

#if !defined(_WIN32)
#  include <clocale>
#endif

// What mbrtowc read at the front of some bytes.
struct c_reading {
    enum outcome { character, ill_formed, incomplete };  // length, -1, -2
    outcome what = ill_formed;
    std::size_t length = 0;  // of the character (a NUL counts 1)
    char32_t point = 0;
};

class c_library_utf8 {
public:
    c_library_utf8();
    ~c_library_utf8();
    c_library_utf8(const c_library_utf8&) = delete;
    c_library_utf8& operator=(const c_library_utf8&) = delete;

    // False when the C.UTF-8 locale cannot be had (or on Windows).
    bool ready() const;

    // mbrtowc on the bytes, from a fresh state.
    c_reading read(std::string_view bytes) const;

    // Whether `bytes` (1 to 4 of them) are the start of some well-formed
    // sequence: a character of at most 4 bytes and at most U+10FFFF that
    // mbrtowc reads in whole.
    bool beginsSequence(std::string_view bytes) const;

    // The maximal ill-formed subsequence at the front of `bytes`, which
    // must not start with a well-formed character: the longest start of
    // one (at most 3 bytes), at least 1.
    std::size_t maximalSubpart(std::string_view bytes) const;

private:
    bool searchCompletions(std::string& bytes) const;
#if !defined(_WIN32)
    locale_t locale_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
#endif
    // beginsSequence() of one and two bytes, asked again and again by the
    // exhaustive test: -1 not yet known, else 0 or 1.
    mutable std::vector<signed char> known_;
};

// Whether our reading of the front of some bytes is the C library's.
// `subpart` is maximalSubpart() of the same bytes (read only when `ours` is
// not valid).
bool sameReading(const utf8::sequence& ours, const c_reading& theirs, std::size_t subpart);

// How the two readings differ, in words; empty when they are the same.
std::string differences(const utf8::sequence& ours, const c_reading& theirs, std::size_t subpart);

// Both readings compared at every place ours stops in `bytes`: the first
// difference with its offset, or empty.
std::string firstDifference(const c_library_utf8& library, std::string_view bytes);
