#include "facility/ini_file.h"

#include <gtest/gtest.h>

namespace {

TEST(IniFileHeader, CompilesOnItsOwn)
{
    ini_file ini;
    EXPECT_EQ(ini.section("Database"), nullptr);
}

TEST(IniFile, SectionsKeysAndValues)
{
    ini_file ini;
    ini.parse("; a comment\n"
              "[Database]\r\n"
              "DatabaseSize_1 = 64 \n"
              "ignored line without equals\n"
              "[Names_0]\n"
              "1=CAM|1\n"
              "2=a=b\n"
              "# another comment\n"
              "[database]\n"
              "DatabaseSize_0=12\n");
    EXPECT_EQ(ini.value("Database", "DatabaseSize_1"), "64");
    EXPECT_EQ(ini.value("DATABASE", "databasesize_1"), "64");
    // A section that appears twice is one section.
    EXPECT_EQ(ini.value("Database", "DatabaseSize_0"), "12");
    EXPECT_EQ(ini.value("Names_0", "1"), "CAM|1");
    EXPECT_EQ(ini.value("Names_0", "2"), "a=b");
    EXPECT_EQ(ini.value("Names_0", "3", "none"), "none");
    EXPECT_EQ(ini.value("Nothing", "1", "none"), "none");
    EXPECT_TRUE(ini.has("Names_0", "2"));
    EXPECT_FALSE(ini.has("Names_0", "3"));
    const ini_file::entries* names = ini.section("names_0");
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->size(), 2u);
}

TEST(IniFile, KeysBeforeAnySectionAndMissingFilesAreIgnored)
{
    ini_file ini;
    ini.parse("key=value\n[S]\nk=v\n");
    EXPECT_EQ(ini.value("", "key", "-"), "-");
    EXPECT_EQ(ini.value("S", "k"), "v");
    EXPECT_FALSE(ini.load("/nonexistent/dev_001.ini"));
}

TEST(IniFile, NamesMatchWithoutRegardToCase)
{
    EXPECT_TRUE(sameNameIgnoringCase("Database", "dATABASE"));
    EXPECT_FALSE(sameNameIgnoringCase("Database", "Databases"));
}

}  // namespace
