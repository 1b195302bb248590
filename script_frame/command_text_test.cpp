#include "command_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(CommandText, HeaderStandsAlone)
{
    const commandText text("x");
    EXPECT_EQ(commandText::maxSubs, 32);
    EXPECT_STREQ(text.command, "x");
}

TEST(CommandText, NameAndValue)
{
    const commandText text("srcpkg=12");
    EXPECT_STREQ(text.command, "srcpkg");
    EXPECT_STREQ(text.value, "12");
    EXPECT_TRUE(text.hasValue);
    EXPECT_EQ(text.subCount, 0);

    const commandText bare("return");
    EXPECT_STREQ(bare.command, "return");
    EXPECT_STREQ(bare.value, "");
    EXPECT_FALSE(bare.hasValue);
    EXPECT_NE(bare.buffer, nullptr);
}

TEST(CommandText, SubPartsAndValueKeepsLaterDotsAndEquals)
{
    const commandText text("a.b.c=x.y=z");
    EXPECT_STREQ(text.command, "a");
    EXPECT_EQ(text.subCount, 2);
    EXPECT_STREQ(text.subs[0], "b");
    EXPECT_STREQ(text.subs[1], "c");
    EXPECT_STREQ(text.subs[2], "");
    EXPECT_STREQ(text.value, "x.y=z");
    EXPECT_TRUE(text.hasValue);
}

TEST(CommandText, EmptyCommandBeforeEquals)
{
    const commandText text("=5");
    EXPECT_STREQ(text.command, "");
    EXPECT_STREQ(text.value, "5");
    EXPECT_TRUE(text.hasValue);

    const commandText dot(".x");
    EXPECT_STREQ(dot.command, "");
    EXPECT_EQ(dot.subCount, 1);
    EXPECT_STREQ(dot.subs[0], "x");
}

TEST(CommandText, NullAndEmptyTextsHaveNoBuffer)
{
    for (const char* input : {static_cast<const char*>(nullptr), ""}) {
        const commandText text(input);
        EXPECT_EQ(text.buffer, nullptr);
        ASSERT_NE(text.command, nullptr);
        EXPECT_STREQ(text.command, "");
        EXPECT_STREQ(text.value, "");
        EXPECT_EQ(text.subCount, 0);
        EXPECT_FALSE(text.hasValue);
        for (const char* sub : text.subs) {
            ASSERT_NE(sub, nullptr);
            EXPECT_STREQ(sub, "");
        }
    }
}

TEST(CommandText, ThirtyTwoSubPartsExactly)
{
    std::string input = "cmd";
    for (int i = 0; i < 32; ++i)
        input += "." + std::to_string(i);
    const commandText text(input.c_str());
    EXPECT_EQ(text.subCount, 32);
    EXPECT_STREQ(text.subs[0], "0");
    EXPECT_STREQ(text.subs[31], "31");
    EXPECT_FALSE(text.hasValue);
}

TEST(CommandText, EqualsAfterTheThirtySecondDotStaysInTheLastSubPart)
{
    std::string input = "cmd";
    for (int i = 0; i < 32; ++i)
        input += "." + std::to_string(i);
    input += ".33=v";
    const commandText text(input.c_str());
    EXPECT_EQ(text.subCount, 32);
    EXPECT_STREQ(text.subs[31], "31.33=v");
    EXPECT_FALSE(text.hasValue);
    EXPECT_STREQ(text.value, "");

    // An '=' before the 32nd dot still ends the scan as a value.
    const commandText early("cmd.1.2=v.3");
    EXPECT_EQ(early.subCount, 2);
    EXPECT_STREQ(early.value, "v.3");
}

TEST(CommandText, PartsPointIntoTheOwnCopy)
{
    char source[] = "a.b=c";
    const commandText text(source);
    source[0] = 'z';
    EXPECT_STREQ(text.command, "a");
    EXPECT_EQ(text.command, text.buffer);
}
