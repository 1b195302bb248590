// utf8: the one reading of UTF-8 in panel_host.
//
// Everything that shows a text it did not write (the terminal, the file
// fault messages, the browser view's JSON) must agree on which bytes are a
// character and which are not, or a name would be printed raw in one place
// and as escapes in another. They all read through decode().
//
// Well-formed is what the Unicode standard calls well-formed (its table of
// well-formed byte sequences): no overlong forms, no surrogates
// U+D800..U+DFFF, nothing above U+10FFFF, never the bytes C0, C1 or F5..FF.
// A byte string that is not well-formed at some point is read there as one
// maximal ill-formed subsequence: the longest start of a well-formed
// sequence found there, or the one byte when none starts there. That is the
// unit Unicode recommends to replace with one U+FFFD, and the one the
// browsers' own decoder replaces, so the page and the terminal count bad
// bytes alike.
#pragma once

#include <cstddef>
#include <string_view>

namespace utf8 {

constexpr char32_t replacement = 0xFFFD;

struct sequence {
    char32_t point = replacement;  // the code point; U+FFFD when !valid
    std::size_t length = 0;        // 1 to 4 bytes when valid; 1 to 3 when not
    bool valid = false;
};

// The character starting at byte `at` of `text` (at < text.size()), or the
// maximal ill-formed subsequence starting there. Reads no byte before `at`,
// none past the sequence and none past the end of `text`.
sequence decode(std::string_view text, std::size_t at);

// Whether the whole of `text` is well-formed UTF-8.
bool wellFormed(std::string_view text);

}  // namespace utf8
