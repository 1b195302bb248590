// Our decoder against the C library's (mbrtowc under C.UTF-8) over every
// string of one to three bytes and the four-byte strings around the edges
// of the four-byte range: the same comparison the utf8_fuzz target makes
// on random bytes, here on every run of the tests.
#include "text/c_library_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Utf8Differential : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library.ready()) << "the C library has no C.UTF-8 locale to compare with"; }

    // Counts the strings compared; reports the first few differences only,
    // so a wrong byte range does not print a million lines.
    void expectSame(const std::string& difference)
    {
        ++compared;
        if (!difference.empty())
            report(difference);
    }
    void report(const std::string& difference)
    {
        if (++differing <= 10)
            ADD_FAILURE() << difference;
    }

    c_library_utf8 library;
    std::size_t compared = 0;
    std::size_t differing = 0;
};

// mbrtowc reads no further than it must, so its answer for a shorter front
// (a character, or -1) stands for every longer string with that front.
c_reading extended(const c_library_utf8& library, const c_reading& front, const std::string& longer)
{
    return front.what == c_reading::incomplete ? library.read(longer) : front;
}

TEST_F(Utf8Differential, EveryStringOfUpToThreeBytes)
{
    std::string text;
    for (unsigned first = 0; first < 256; ++first) {
        text.assign(1, static_cast<char>(first));
        expectSame(firstDifference(library, text));
        const c_reading one = library.read(text);
        for (unsigned second = 0; second < 256; ++second) {
            text.assign({static_cast<char>(first), static_cast<char>(second)});
            expectSame(firstDifference(library, text));
            const c_reading two = extended(library, one, text);
            // Three bytes: the character or run at the front (what follows
            // it is a string of one or two bytes, compared above).
            text.push_back('\0');
            for (unsigned third = 0; third < 256; ++third) {
                text[2] = static_cast<char>(third);
                const utf8::sequence ours = utf8::decode(text, 0);
                const std::size_t subpart = ours.valid ? 0 : library.maximalSubpart(text);
                const c_reading theirs = extended(library, two, text);
                ++compared;
                if (!sameReading(ours, theirs, subpart))
                    report("bytes " + std::to_string(first) + " " + std::to_string(second) + " " +
                           std::to_string(third) + ": " + differences(ours, theirs, subpart));
            }
        }
    }
    EXPECT_EQ(compared, 256u + 256u * 256u + 256u * 256u * 256u);
    EXPECT_EQ(differing, 0u);
}

TEST_F(Utf8Differential, FourByteStringsAtTheEdges)
{
    // Each of the later bytes at the ends of its ranges and just outside;
    // the leads of four-byte sequences and those just above; every second
    // byte, since that is where the leads' limits lie.
    const unsigned char edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    std::string text(4, '\0');
    for (unsigned lead = 0xEF; lead <= 0xF8; ++lead)
        for (unsigned second = 0; second < 256; ++second)
            for (unsigned char third : edges)
                for (unsigned char fourth : edges) {
                    text[0] = static_cast<char>(lead);
                    text[1] = static_cast<char>(second);
                    text[2] = static_cast<char>(third);
                    text[3] = static_cast<char>(fourth);
                    expectSame(firstDifference(library, text));
                }
    EXPECT_EQ(differing, 0u);
    // The very edges: U+10000, U+10FFFF, and the first code point past it.
    EXPECT_EQ(firstDifference(library, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xF4\x90\x80\x80"), "");
}

// The comparison itself must catch a decoder that is wrong: one that lets
// a surrogate through, or ends an ill-formed run too early or too late.
TEST_F(Utf8Differential, CatchesAWrongReading)
{
    utf8::sequence surrogate;
    surrogate.point = 0xD800;
    surrogate.length = 3;
    surrogate.valid = true;
    EXPECT_NE(differences(surrogate, library.read("\xED\xA0\x80"), 0), "");
    utf8::sequence shortRun;
    shortRun.length = 1;
    EXPECT_NE(differences(shortRun, library.read("\xE1\x80\x41"), library.maximalSubpart("\xE1\x80\x41")), "");
    const struct {
        const char* bytes;
        std::size_t subpart;
    } runs[] = {{"\xE1\x80\x41", 2}, {"\xF0\x90\x80", 3}, {"\xF0\x8F", 1}, {"\xF4\x90", 1}, {"\xE0\x80", 1},
                {"\xED\xA0", 1},     {"\xED\x9F", 2},     {"\xF5", 1},     {"\x80\x80", 1}};
    for (const auto& run : runs)
        EXPECT_EQ(library.maximalSubpart(run.bytes), run.subpart) << run.bytes;
}

}  // namespace
