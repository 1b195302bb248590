// The rules that decide what a device file's database size reads as. The
// Windows build holds our reader against the real API on a large generated
// corpus (profile_differential/); these cases stay few and fast.
#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "temp_installation.h"

namespace {

struct read_answer {
    std::uint32_t count;
    std::string text;
};

read_answer readText(const std::string& file, const char* fallback = "0", std::uint32_t size = 256,
                     const char* section = "Database", const char* key = "DatabaseSize_1")
{
    char result[256];
    std::memset(result, 'x', sizeof result);
    const std::uint32_t count =
        zelm_platform::readProfileText(section, key, fallback, result, size, file.data(), file.size());
    return {count, std::string(result)};
}

}  // namespace

TEST(ProfileFile, HeaderStandsAlone)
{
    char result[4];
    EXPECT_EQ(zelm_platform::readProfileString("s", "k", "d", result, sizeof result, "/nonexistent/x.ini"), 1U);
    EXPECT_STREQ(result, "d");
}

TEST(ProfileFile, ValueRules)
{
    using namespace std::string_literals;  // "..."s keeps a NUL byte in the file
    const struct {
        std::string file;
        const char* value;  // of DatabaseSize_1 in [Database], default "0"
    } cases[] = {
        // A matching pair of quotes goes; a lone quote or a mixed pair stays.
        {"[Database]\nDatabaseSize_1=\"48\"\n"s, "48"},
        {"[Database]\nDatabaseSize_1 = '48' \n"s, "48"},
        {"[Database]\nDatabaseSize_1=\" 48 \"\n"s, " 48 "},
        {"[Database]\nDatabaseSize_1=\"\"\n"s, ""},
        {"[Database]\nDatabaseSize_1=\"48'\n"s, "\"48'"},
        {"[Database]\nDatabaseSize_1=\"48\n"s, "\"48"},
        {"[Database]\nDatabaseSize_1=\"\n"s, "\""},
        {"[Database]\nDatabaseSize_1=\"4\"8\n"s, "\"4\"8"},
        // Names match without regard to case; blanks and Ctrl-Z around names
        // and values go; CR, LF or both end a line; the last may have none.
        {"  [ dataBASE ]\t\r\n\tdatabasesize_1 \t=\v 48 \x1A\r\n"s, "48"},
        {"[Database]\rDatabaseSize_1=48\r"s, "48"},
        {"[Database]\nDatabaseSize_1=48"s, "48"},
        {"[Database]\nDatabaseSize_1=4 8 ; no inline comments\n"s, "4 8 ; no inline comments"},
        {"[Database]\nDatabaseSize_1=4\0008\n"s, "4"},
        // The first section of the name and the first line of the key count,
        // and a key line without '=' gives the default.
        {"[Database]\nDatabaseSize_1=48\nDatabaseSize_1=50\n"s, "48"},
        {"[Database]\n[Other]\nDatabaseSize_1=48\n[Database]\nDatabaseSize_1=50\n"s, "0"},
        {"[Database]\nDatabaseSize_1\nDatabaseSize_1=48\n"s, "0"},
        // ';' starts a comment; lines before any section belong to none that
        // has a name; a header runs to its last ']', a line without one is a key.
        {"[Database]\n;DatabaseSize_1=7\n  ;  DatabaseSize_1=7\n"s, "0"},
        {"DatabaseSize_1=48\n[Database]\n"s, "0"},
        {"[Other\n[Database] notes\n[Database\nDatabaseSize_1=48\n"s, "48"},
        {"[Database]x]\nDatabaseSize_1=48\n"s, "0"},
    };
    for (const auto& c : cases) {
        const read_answer got = readText(c.file);
        EXPECT_EQ(got.text, c.value) << c.file;
        EXPECT_EQ(got.count, std::strlen(c.value)) << c.file;
    }
}

TEST(ProfileFile, DefaultRoomAndAskedNames)
{
    // The default loses trailing spaces (only spaces) and a pair of quotes.
    EXPECT_EQ(readText("", "dflt  ").text, "dflt");
    EXPECT_EQ(readText("", "0\t").text, "0\t");
    EXPECT_EQ(readText("", "'q'").text, "q");
    EXPECT_EQ(readText("", nullptr).text, "");
    // Cut to size - 1 after the quotes went; size 0 copies nothing.
    const std::string file = "[Database]\nDatabaseSize_1=\"abcdefgh\"\nDatabaseSize_2=\"abc\"\n";
    EXPECT_EQ(readText(file, "0", 4).text, "abc");
    EXPECT_EQ(readText(file, "0", 4, "Database", "DatabaseSize_2").count, 3U);
    EXPECT_EQ(readText(file, "0", 4, "Database", "DatabaseSize_2").text, "abc");
    EXPECT_EQ(readText(file, "0", 1).count, 0U);
    char untouched = 'x';
    EXPECT_EQ(
        zelm_platform::readProfileText("Database", "DatabaseSize_1", "0", &untouched, 0, file.data(), file.size()), 0U);
    EXPECT_EQ(untouched, 'x');
    // Names asked for are trimmed too.
    EXPECT_EQ(readText(file, "0", 256, " Database\t", " DatabaseSize_2 ").text, "abc");
}

// A value or default exactly as long as the room loses its last byte to
// the NUL, and nothing past the room is written: the caller's buffer is
// often exactly `size` bytes.
TEST(ProfileFile, ATextAsLongAsTheRoomIsCutOneShort)
{
    const std::string file = "[Database]\nDatabaseSize_1=1234\nDatabaseSize_2=\"1234\"\n";
    for (const char* key : {"DatabaseSize_1", "DatabaseSize_2", "DatabaseSize_3"}) {
        char result[8];
        std::memset(result, 'x', sizeof result);
        const std::uint32_t count =
            zelm_platform::readProfileText("Database", key, "5678", result, 4, file.data(), file.size());
        const std::string expected = std::strcmp(key, "DatabaseSize_3") == 0 ? "567" : "123";
        EXPECT_EQ(count, 3U) << key;
        EXPECT_EQ(std::string(result), expected) << key;
        EXPECT_EQ(std::string(result + 4, 4), "xxxx") << key << ": written past the room";
    }
}

TEST(ProfileFile, ReadsTheFileAtAPath)
{
    temp_installation installation;
    installation.writeDeviceIni(1, "[Database]\r\nDatabaseSize_1 = \"48\"\r\n");
    std::string path = installation.systemDir() + "/dev_001.ini";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    char ours[8];
    char platform[8];
    EXPECT_EQ(zelm_platform::readProfileFile("Database", "DatabaseSize_1", "0", ours, sizeof ours, path.c_str()), 2U);
    EXPECT_STREQ(ours, "48");
    // On Windows the platform reader is the API itself.
    EXPECT_EQ(
        zelm_platform::readProfileString("Database", "DatabaseSize_1", "0", platform, sizeof platform, path.c_str()),
        2U);
    EXPECT_STREQ(platform, "48");
    EXPECT_EQ(zelm_platform::readProfileFile("Database", "DatabaseSize_1", "0", ours, sizeof ours,
                                             (installation.systemDir() + "/missing.ini").c_str()),
              1U);
    EXPECT_STREQ(ours, "0");
}
