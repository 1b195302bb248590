#include "zelm_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(ZelmString, HeaderStandsAlone)
{
    const zelm_string text("abc");
    EXPECT_EQ(text.length(), 3);
    EXPECT_STREQ(text.c_str(), "abc");
}

TEST(ZelmString, Construction)
{
    EXPECT_STREQ(zelm_string().c_str(), "");
    EXPECT_STREQ(zelm_string(static_cast<const char*>(nullptr)).c_str(), "");
    EXPECT_STREQ(zelm_string("abcdef", 3).c_str(), "abc");
    EXPECT_STREQ(zelm_string(-1).c_str(), "-1");
    EXPECT_STREQ(zelm_string(0).c_str(), "0");
    EXPECT_STREQ(zelm_string(-2147483647 - 1).c_str(), "-2147483648");
    EXPECT_STREQ(zelm_string(255, 0, 0, 16).c_str(), "ff");
    EXPECT_STREQ(zelm_string(7, '0', 3, 10).c_str(), "007");
}

TEST(ZelmString, ToInt)
{
    EXPECT_EQ(zelm_string("  42").toInt(), 42);
    EXPECT_EQ(zelm_string("\t-17x").toInt(), -17);
    EXPECT_EQ(zelm_string("+8").toInt(), 8);
    EXPECT_EQ(zelm_string("12abc").toInt(), 12);
    EXPECT_EQ(zelm_string("").toInt(), 0);
    EXPECT_EQ(zelm_string("abc").toInt(), 0);
    EXPECT_EQ(zelm_string("-").toInt(), 0);
    EXPECT_EQ(zelm_string("- 5").toInt(), 0);
    EXPECT_EQ(zelm_string("2147483647").toInt(), 2147483647);
    EXPECT_EQ(zelm_string("2147483648").toInt(), 2147483647);
    EXPECT_EQ(zelm_string("-2147483648").toInt(), -2147483647 - 1);
    EXPECT_EQ(zelm_string("-2147483649").toInt(), -2147483647 - 1);
    EXPECT_EQ(zelm_string("99999999999999999999999999").toInt(), 2147483647);
    EXPECT_EQ(static_cast<int>(zelm_string("5")), 5);
}

TEST(ZelmString, ArgFillsLowestPlaceholderFirst)
{
    EXPECT_EQ(zelm_string("%2 %1").arg(zelm_string("a")).arg(zelm_string("b")), "b a");
    EXPECT_EQ(zelm_string("%10 %9").arg(zelm_string("x")), "%10 x");
    EXPECT_EQ(zelm_string("%99 %3").arg(zelm_string("x")).arg(zelm_string("y")), "y x");
    EXPECT_EQ(zelm_string("x=%1").arg(-5), "x=-5");
    EXPECT_EQ(zelm_string("no placeholders").arg(zelm_string("v")), "no placeholders");
    EXPECT_EQ(zelm_string("%1").arg(zelm_string("v")).arg(zelm_string("w")), "v");
    EXPECT_EQ(zelm_string("100% %").arg(zelm_string("v")), "100% %");
    // Two places with the same number are both filled.
    EXPECT_EQ(zelm_string("%1-%1").arg(zelm_string("v")), "v-v");
}

TEST(ZelmString, ArgDoesNotRescanTheValue)
{
    EXPECT_EQ(zelm_string("%1 %2").arg(zelm_string("%2")), "%2 %2");
    EXPECT_EQ(zelm_string("[%1]").arg(zelm_string("%1")), "[%1]");
}

TEST(ZelmString, Split)
{
    zelm_string before("old");
    zelm_string after("old");
    EXPECT_TRUE(zelm_string("name=value=more").split('=', before, after));
    EXPECT_EQ(before, "name");
    EXPECT_EQ(after, "value=more");
    EXPECT_FALSE(zelm_string("nothing").split('=', before, after));
    EXPECT_EQ(before, "nothing");
    EXPECT_EQ(after.length(), 0);
    EXPECT_TRUE(zelm_string("=").split('=', before, after));
    EXPECT_EQ(before.length(), 0);
    EXPECT_EQ(after.length(), 0);
    // The source may be one of the outputs.
    zelm_string self("a=b");
    self.split('=', self, after);
    EXPECT_EQ(self, "a");
    EXPECT_EQ(after, "b");
}

TEST(ZelmString, Replace)
{
    zelm_string path("a\\b\\c");
    path.replace('\\', '/');
    EXPECT_EQ(path, "a/b/c");
    path.replace('x', 'y');
    EXPECT_EQ(path, "a/b/c");
}

TEST(ZelmString, Comparisons)
{
    const zelm_string text("12");
    EXPECT_TRUE(text == "12");
    EXPECT_TRUE("12" == text);
    EXPECT_FALSE("13" == text);
    EXPECT_TRUE("13" != text);
    EXPECT_TRUE(text == 12);
    EXPECT_FALSE(text == 13);
    EXPECT_FALSE(zelm_string("Value") == "value");
    EXPECT_TRUE(zelm_string("a") != zelm_string("b"));
    EXPECT_FALSE(zelm_string("ab") == zelm_string("a"));
    const char other[] = {'1', '2', '\0'};
    EXPECT_TRUE(other == text);  // by content, not by address
}

TEST(ZelmString, ConcatenationAndAssignment)
{
    zelm_string text("a");
    text += zelm_string("b");
    text += "c";
    text += 'd';
    EXPECT_EQ(text, "abcd");
    EXPECT_EQ(zelm_string("x") + zelm_string("y"), "xy");
    EXPECT_EQ(zelm_string("x") + "y", "xy");
    EXPECT_EQ("x" + zelm_string("y"), "xy");
    text = "short";
    EXPECT_EQ(text, "short");
    zelm_string moved(std::move(text));
    EXPECT_EQ(moved, "short");
}

TEST(ZelmString, InlineBoundary)
{
    for (int length : {22, 23, 24, 25, 100}) {
        const std::string expected(static_cast<std::size_t>(length), 'q');
        zelm_string text(expected.c_str());
        EXPECT_EQ(text.length(), length);
        EXPECT_EQ(std::string(text.c_str()), expected);
        zelm_string copy(text);
        zelm_string moved(std::move(copy));
        EXPECT_EQ(std::string(moved.c_str()), expected);
        zelm_string grown("");
        for (int i = 0; i < length; ++i)
            grown += 'q';
        EXPECT_EQ(std::string(grown.c_str()), expected) << length;
        grown = "x";
        EXPECT_EQ(grown, "x");
    }
}

TEST(ZelmString, SelfAssignmentAndSelfAppend)
{
    zelm_string text("abcdefghijklmnopqrstuvwxyz");
    const zelm_string& same = text;
    text = same;
    EXPECT_EQ(text, "abcdefghijklmnopqrstuvwxyz");
    text += same;
    EXPECT_EQ(text, "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz");
    zelm_string small("ab");
    small += small;
    EXPECT_EQ(small, "abab");
    small = small.c_str();
    EXPECT_EQ(small, "abab");
    small += small.c_str();
    EXPECT_EQ(small, "abababab");
    text = text.c_str() + 2;
    EXPECT_EQ(text.length(), 50);
}
