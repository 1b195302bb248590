// The alarm acknowledge rule, checked through whole transcripts.
#include "zelm_script_helper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "recording_host_link.h"
#include "recording_panel.h"

using lines = std::vector<std::string>;

TEST(AlarmControls, HeaderStandsAlone)
{
    recording_panel panel(nullptr, "");
    panel.applyAlarmState(zelm_string("2"));
    EXPECT_TRUE(panel.calls.empty());
}

class AlarmControlsTest : public testing::Test {
protected:
    AlarmControlsTest() { host.answer("XI '1' 'alm_'", "alm_a,alm_b"); }
    void valueReads(const std::string& control, const std::string& answer)
    {
        host.answer("TG '1' '" + control + "' 'value'", answer);
    }
    recording_host_link host;
    recording_panel panel{&host, ""};
};

TEST_F(AlarmControlsTest, DigitSetsAlarmAndValue)
{
    panel.applyAlarmState(zelm_string("2"));
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'", "TP 'alarm=2' '1' 'alm_a'", "TP 'value=2' '1' 'alm_a'",
                                      "TP 'alarm=2' '1' 'alm_b'", "TP 'value=2' '1' 'alm_b'"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
}

TEST_F(AlarmControlsTest, AckTurnsOneIntoFourAndLeavesThree)
{
    valueReads("alm_a", "value=1");
    valueReads("alm_b", "value=3");
    panel.applyAlarmState(zelm_string("ack"));
    EXPECT_EQ(host.commands(),
              (lines{"XI '1' 'alm_'", "TP 'alarm=ack' '1' 'alm_a'", "TG '1' 'alm_a' 'value'",
                     "TP 'value=4' '1' 'alm_a'", "TP 'alarm=ack' '1' 'alm_b'", "TG '1' 'alm_b' 'value'"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
}

TEST_F(AlarmControlsTest, FourActsLikeAckButWritesFour)
{
    valueReads("alm_a", "value=7");
    valueReads("alm_b", "value=-1");
    panel.applyAlarmState(zelm_string("4"));
    EXPECT_EQ(host.commands(),
              (lines{"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_a'", "TG '1' 'alm_a' 'value'", "TP 'value=4' '1' 'alm_a'",
                     "TP 'alarm=4' '1' 'alm_b'", "TG '1' 'alm_b' 'value'", "TP 'value=4' '1' 'alm_b'"}));
}

TEST_F(AlarmControlsTest, KnownStatesOtherThanOneStay)
{
    for (const char* state : {"0", "2", "3", "4", "5"}) {
        host.clearAnswers();
        host.answer("XI '1' 'alm_'", "alm_a");
        valueReads("alm_a", std::string("value=") + state);
        panel.applyAlarmState(zelm_string("ack"));
        EXPECT_EQ(host.takeCommands(), (lines{"XI '1' 'alm_'", "TP 'alarm=ack' '1' 'alm_a'", "TG '1' 'alm_a' 'value'"}))
            << state;
    }
}

TEST_F(AlarmControlsTest, MismatchedValueAnswerLeavesTheControl)
{
    host.clearAnswers();
    host.answer("XI '1' 'alm_'", "alm_a");
    valueReads("alm_a", "other=1");
    debug_capture capture;
    panel.applyAlarmState(zelm_string("ack"));
    const std::string debugger = capture.text();
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'", "TP 'alarm=ack' '1' 'alm_a'", "TG '1' 'alm_a' 'value'"}));
    EXPECT_FALSE(debugger.empty());
}

TEST_F(AlarmControlsTest, LongOrEmptyStateSetsOnlyTheAlarmProperty)
{
    panel.applyAlarmState(zelm_string("12"));
    panel.applyAlarmState(zelm_string(""));
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'", "TP 'alarm=12' '1' 'alm_a'", "TP 'alarm=12' '1' 'alm_b'",
                                      "XI '1' 'alm_'", "TP 'alarm=' '1' 'alm_a'", "TP 'alarm=' '1' 'alm_b'"}));
}

TEST_F(AlarmControlsTest, NoListingNoCommands)
{
    host.clearAnswers();
    panel.applyAlarmState(zelm_string("2"));
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'"}));
}
