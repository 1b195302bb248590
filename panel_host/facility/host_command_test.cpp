#include "facility/host_command.h"

#include <gtest/gtest.h>

namespace {

TEST(HostCommandHeader, CompilesOnItsOwn)
{
    host_command command;
    EXPECT_TRUE(command.ok());
}

std::vector<std::string> argsOf(const std::string& line)
{
    host_command command = parseHostCommand(line);
    EXPECT_TRUE(command.ok()) << line << ": " << command.error;
    return command.args;
}

using lines = std::vector<std::string>;

TEST(HostCommand, EveryCommandTheFrameSends)
{
    EXPECT_EQ(argsOf("PS '1' 'dir/TessalyQ.zelm_ui'"), (lines{"1", "dir/TessalyQ.zelm_ui"}));
    EXPECT_EQ(argsOf("PS '1' 'TessalyQ.zelm_ui' 'extra'"), (lines{"1", "TessalyQ.zelm_ui", "extra"}));
    EXPECT_EQ(argsOf("HN 'selected=-1'"), (lines{"selected=-1"}));
    EXPECT_EQ(argsOf("TP 'text=CAM 1' '1' 'Src_L1'"), (lines{"text=CAM 1", "1", "Src_L1"}));
    EXPECT_EQ(argsOf("TP 'text=' '1' 'ID_L1'"), (lines{"text=", "1", "ID_L1"}));
    EXPECT_EQ(argsOf("TG '1' 'alm_a' 'value'"), (lines{"1", "alm_a", "value"}));
    EXPECT_EQ(argsOf("CE '1' 'Take'"), (lines{"1", "Take"}));
    EXPECT_EQ(argsOf("XI '1' 'alm_'"), (lines{"1", "alm_"}));
    EXPECT_EQ(argsOf("XI '1' ''"), (lines{"1", ""}));
    EXPECT_EQ(argsOf("ET 1 1000"), (lines{"1", "1000"}));
    EXPECT_EQ(argsOf("ET 1"), (lines{"1"}));
    EXPECT_EQ(argsOf("RC 3 5 7 ',' 1"), (lines{"3", "5", "7", ",", "1"}));
    EXPECT_EQ(argsOf("RC 3 5 7 ',x y' 0"), (lines{"3", "5", "7", ",x y", "0"}));
    EXPECT_EQ(argsOf("RN 31 0 5"), (lines{"31", "0", "5"}));
    EXPECT_EQ(argsOf("RR 12 1 64 'ADD'"), (lines{"12", "1", "64", "ADD"}));
    EXPECT_EQ(argsOf("RU 12"), (lines{"12"}));
    EXPECT_EQ(argsOf("AS"), (lines{}));
    EXPECT_EQ(parseHostCommand("RP 31 1 32").word, "RP");
}

TEST(HostCommand, QuotesInsideATextStayInThatText)
{
    // The frame does not escape quotes: they arrive verbatim.
    EXPECT_EQ(argsOf("TP 'text=it's' '1' 'Src_L1'"), (lines{"text=it's", "1", "Src_L1"}));
    EXPECT_EQ(argsOf("TP 'text=a' 'b' '1' 'Src_L1'"), (lines{"text=a' 'b", "1", "Src_L1"}));
    EXPECT_EQ(argsOf("HN 'x' 'y' 'z'"), (lines{"x' 'y' 'z"}));
    EXPECT_EQ(argsOf("HN '''"), (lines{"'"}));
    EXPECT_EQ(argsOf("TP 'text=' ' '1' 'Dst_L1'"), (lines{"text=' ", "1", "Dst_L1"}));
}

TEST(HostCommand, MalformedLinesSayWhy)
{
    EXPECT_EQ(parseHostCommand("").error, "empty command line");
    EXPECT_EQ(parseHostCommand("ZZ 1").error, "unknown command \"ZZ\"");
    EXPECT_EQ(parseHostCommand("TP 'a' '1").error, "TP takes 3 arguments, got 2");
    EXPECT_EQ(parseHostCommand("TP 'a").error, "unterminated quoted argument");
    EXPECT_EQ(parseHostCommand("RC 1 2 3").error, "RC takes 5 arguments, got 3");
    EXPECT_EQ(parseHostCommand("ET").error, "ET takes 1 to 2 arguments, got 0");
    EXPECT_EQ(parseHostCommand("AS 1").error, "AS takes 0 arguments, got 1");
}

TEST(HostCommand, ReadsWholeThirtyTwoBitNumbersOnly)
{
    int value = 7;
    EXPECT_TRUE(readInt32("-1", value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(readInt32("+12", value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(readInt32("2147483647", value));
    EXPECT_EQ(value, 2147483647);
    for (const char* bad : {"", "x", "1x", " 1", "2147483648", "1.0", "+"})
        EXPECT_FALSE(readInt32(bad, value)) << bad;
}

}  // namespace
