// The one UTF-8 decoder, on the examples the Unicode standard gives for
// replacing maximal subparts, and the two escapers built on it.
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/file_faults.h"
#include "text/terminal_text.h"

namespace {

// One character, or an ill-formed run (point 0 here; the decoder's U+FFFD
// is checked by walk()).
struct step {
    char32_t point;
    std::size_t length;
    bool valid = true;
    bool operator==(const step& other) const
    {
        return point == other.point && length == other.length && valid == other.valid;
    }
};

std::ostream& operator<<(std::ostream& out, const step& s)
{
    if (!s.valid)
        return out << "ill-formed/" << s.length;
    return out << "U+" << std::hex << static_cast<unsigned>(s.point) << std::dec << "/" << s.length;
}

step ill(std::size_t length) { return {0, length, false}; }

// The text as our decoder walks it.
std::vector<step> walk(std::string_view text)
{
    std::vector<step> steps;
    for (std::size_t at = 0; at < text.size();) {
        const utf8::sequence read = utf8::decode(text, at);
        if (read.valid) {
            steps.push_back({read.point, read.length});
        } else {
            EXPECT_EQ(read.point, utf8::replacement) << "at " << at;
            steps.push_back(ill(read.length));
        }
        if (read.length == 0) {
            ADD_FAILURE() << "no byte taken at " << at;
            break;
        }
        at += read.length;
    }
    return steps;
}

// The standard's own examples of U+FFFD for each maximal subpart.
TEST(Utf8, ReplacesEachMaximalSubpartAsTheUnicodeExamplesDo)
{
    struct {
        const char* bytes;
        std::vector<step> steps;
    } const examples[] = {
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         {{'a', 1}, ill(3), ill(2), ill(1), {'b', 1}, ill(1), {'c', 1}, ill(1), ill(1), {'d', 1}}},
        // Overlong forms: every byte on its own.
        {"\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41",
         {ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), {'A', 1}}},
        // Surrogates: every byte on its own.
        {"\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41",
         {ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), ill(1), {'A', 1}}},
        // Above U+10FFFF and bytes that are never UTF-8.
        {"\xF4\x91\x92\x93\xFF\x41\x80\xBF\x42",
         {ill(1), ill(1), ill(1), ill(1), ill(1), {'A', 1}, ill(1), ill(1), {'B', 1}}},
        // Sequences cut short: one run each.
        {"\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", {ill(2), ill(1), ill(3), ill(2), {'A', 1}}},
    };
    for (const auto& example : examples)
        EXPECT_EQ(walk(example.bytes), example.steps) << example.bytes;
}

TEST(Utf8, ReadsEveryBoundaryCharacterAndStopsAtTheEndOfTheView)
{
    const struct {
        const char* bytes;
        char32_t point;
    } edges[] = {{"\x7F", 0x7F},
                 {"\xC2\x80", 0x80},
                 {"\xDF\xBF", 0x7FF},
                 {"\xE0\xA0\x80", 0x800},
                 {"\xED\x9F\xBF", 0xD7FF},
                 {"\xEE\x80\x80", 0xE000},
                 {"\xEF\xBF\xBF", 0xFFFF},
                 {"\xF0\x90\x80\x80", 0x10000},
                 {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
    for (const auto& edge : edges) {
        const std::string_view text(edge.bytes);
        EXPECT_EQ(walk(text), (std::vector<step>{{edge.point, text.size()}})) << edge.bytes;
        EXPECT_TRUE(utf8::wellFormed(text)) << edge.bytes;
        // The same bytes cut short by the view, not by the string: one run
        // of what is left, never a byte read past the view.
        if (text.size() > 1) {
            EXPECT_EQ(walk(text.substr(0, text.size() - 1)), (std::vector<step>{ill(text.size() - 1)})) << edge.bytes;
        }
    }
    EXPECT_EQ(walk(std::string_view("\0", 1)), (std::vector<step>{{0, 1}}));
    for (unsigned lead = 0xF5; lead <= 0xFF; ++lead) {
        const std::string text{static_cast<char>(lead), '\x80', '\x80', '\x80'};
        EXPECT_EQ(walk(text), (std::vector<step>{ill(1), ill(1), ill(1), ill(1)})) << lead;
        EXPECT_FALSE(utf8::wellFormed(text));
    }
    EXPECT_FALSE(utf8::wellFormed("ok \xC1\xBF"));
    EXPECT_TRUE(utf8::wellFormed(""));
}

// File fault messages are escaped as the terminal's text is: one escaper,
// one decoder. Until the cut they are the same text.
TEST(Utf8, FaultMessagesShowTextAsTheTerminalDoes)
{
    const char* const texts[] = {"Type=\x1b[2J\xff",       "tab\there\r\n",         "C1 \xC2\x9B\x33\x31m",
                                 "\xED\xA0\x80 surrogate", "\xE0\x80\xAF overlong", "\xF4\x90\x80\x80 too high",
                                 "cut \xE2\x96",           "CAM \xE2\x96\xB6 1"};
    for (const char* text : texts)
        EXPECT_EQ(shownText(text, 1000), terminalSafe(text)) << text;
    EXPECT_EQ(shownText("tab\there \xC2\x9B \xED\xA0\x80"), "tab\\there \\u009b \\xed\\xa0\\x80");
    // Cut once `room` bytes are written, never inside an escape.
    EXPECT_EQ(shownText("\xff\xfe\xfd", 8), "\\xff\\xfe...");
    EXPECT_EQ(shownText("ab\xE2\x96\xB6\xE2\x96\xB6", 4), "ab\xE2\x96\xB6...");
    EXPECT_EQ(shownText(std::string(70, 'x')), std::string(60, 'x') + "...");
}

}  // namespace
