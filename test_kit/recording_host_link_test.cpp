#include "recording_host_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lines = std::vector<std::string>;

TEST(RecordingHostLink, HeaderStandsAlone)
{
    recording_host_link host;
    EXPECT_EQ(host.outstandingAnswers(), 0);
}

TEST(RecordingHostLink, RecordsEverySendWithItsKind)
{
    recording_host_link host;
    zelm_host_link& link = host;
    EXPECT_EQ(link.send("CE '1' 'Take'", zelmSendCommand), nullptr);
    EXPECT_EQ(link.send("AS", zelmSendCommand), nullptr);
    EXPECT_EQ(host.commands(), (lines{"CE '1' 'Take'", "AS"}));
    EXPECT_EQ(host.takeCommands(), (lines{"CE '1' 'Take'", "AS"}));
    link.send("ET 1", zelmSendCommand);
    EXPECT_EQ(host.takeCommands(), (lines{"ET 1"}));
    EXPECT_TRUE(host.takeCommands().empty());
    ASSERT_EQ(host.everything().size(), 3U);
    EXPECT_EQ(host.everything()[2].kind, zelmSendCommand);
}

TEST(RecordingHostLink, ScriptedAnswersInOrderThenTheLastAgain)
{
    recording_host_link host;
    host.answer("RN 1 0 1", "first");
    host.answer("RN 1 0 1", "second");
    host.answerNull("RN 1 0 2");
    host.answerPrefix("PS ", "ok");
    std::vector<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        const char* text = host.send("RN 1 0 1", zelmSendCommand);
        ASSERT_NE(text, nullptr);
        seen.emplace_back(text);
        host.send(text, zelmGiveBack);
    }
    EXPECT_EQ(seen, (lines{"first", "second", "second"}));
    EXPECT_EQ(host.send("RN 1 0 2", zelmSendCommand), nullptr);
    const char* layout = host.send("PS '1' 'x'", zelmSendCommand);
    ASSERT_NE(layout, nullptr);
    EXPECT_STREQ(layout, "ok");
    EXPECT_EQ(host.send("unknown", zelmSendCommand), nullptr);
    host.clearAnswers();
    EXPECT_EQ(host.send("RN 1 0 1", zelmSendCommand), nullptr);
    EXPECT_EQ(host.outstandingAnswers(), 1);
}

TEST(RecordingHostLink, GiveBackAccounting)
{
    recording_host_link host;
    host.answer("TG '1' 'c' 'value'", "value=1");
    const char* a = host.send("TG '1' 'c' 'value'", zelmSendCommand);
    const char* b = host.send("TG '1' 'c' 'value'", zelmSendCommand);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(host.outstandingAnswers(), 2);
    host.send(a, zelmGiveBack);
    EXPECT_EQ(host.outstandingAnswers(), 1);
    EXPECT_EQ(host.badGiveBacks(), 0);
    host.send(a, zelmGiveBack);  // second time
    host.send("foreign", zelmGiveBack);
    EXPECT_EQ(host.badGiveBacks(), 2);
    host.send(nullptr, zelmGiveBack);
    EXPECT_EQ(host.nullGiveBacks(), 1);
    host.send(b, zelmGiveBack);
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.commands().size(), 2U);
}
