// The exact text of every host command and the handling of the answers.
#include "zelm_script_helper.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "recording_host_link.h"
#include "recording_panel.h"

using lines = std::vector<std::string>;

namespace {
zelm_string s(const char* text) { return zelm_string(text); }
}  // namespace

TEST(HostCommands, HeaderStandsAlone)
{
    recording_panel panel(nullptr, "");
    EXPECT_TRUE(panel.showPanel(s("1"), s("f"), s("")));
}

TEST(HostCommands, EveryCommandText)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    panel.notifyHost(s("selected=-1"));
    panel.putText(s("pixmap"), s("/images/tick.png"), s("1"), s("Enable_L1"));
    panel.putText(s("hello"), s("1"), s("ID_L1"));
    panel.enableControl(s("1"), s("Take"));
    panel.disableControl(s("1"), s("Undo"));
    panel.startTimer(1, 1000);
    panel.startTimer(1, 0);
    panel.stopTimer(1);
    panel.routeCrosspoint(3, 5, 7, s(""), true);
    panel.routeCrosspoint(3, 5, 7, s("x"), false);
    panel.pollRevertives(12, 1, 64);
    panel.registerRevertives(12, 1, 64, false);
    panel.registerRevertives(12, 1, 64, true);
    panel.unregisterRevertives(12);
    EXPECT_EQ(host.commands(),
              (lines{"HN 'selected=-1'", "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'", "TP 'hello' '1' 'ID_L1'",
                     "CE '1' 'Take'", "CD '1' 'Undo'", "ET 1 1000", "ET 1", "ET 1", "RC 3 5 7 ',' 1", "RC 3 5 7 ',x' 0",
                     "RP 12 1 64", "RR 12 1 64", "RR 12 1 64 'ADD'", "RU 12"}));
    // Plain commands never give their answers back.
    EXPECT_EQ(host.everything().size(), host.commands().size());
}

TEST(HostCommands, NumericCommandsAtThe32BitLimits)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    panel.registerRevertives(INT_MIN, INT_MIN, INT_MIN, true);
    panel.pollRevertives(INT_MAX, 0, -1);
    panel.startTimer(INT_MIN, INT_MAX);
    panel.unregisterRevertives(-7);
    panel.routeCrosspoint(INT_MIN, INT_MAX, -1, s(""), false);
    EXPECT_EQ(host.commands(), (lines{"RR -2147483648 -2147483648 -2147483648 'ADD'", "RP 2147483647 0 -1",
                                      "ET -2147483648 2147483647", "RU -7", "RC -2147483648 2147483647 -1 ',' 0"}));
}

TEST(HostCommands, TextArgumentsGoInVerbatim)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    panel.notifyHost(s("it's %1"));
    panel.putText(s("text"), s("a'b"), s("1"), s("c"));
    panel.routeCrosspoint(1, 2, 3, s("%5"), true);
    EXPECT_EQ(host.commands(), (lines{"HN 'it's %1'", "TP 'text=a'b' '1' 'c'", "RC 1 2 3 ',%5' 1"}));
}

TEST(HostCommands, ShowPanelWithAndWithoutLoadData)
{
    recording_host_link host;
    host.answerPrefix("PS ", "ok");
    recording_panel bare(&host, "");
    EXPECT_TRUE(bare.showPanel(s("1"), s("TessalyQ.zelm_ui"), s("")));
    recording_panel prefixed(&host, "layouts");
    EXPECT_TRUE(prefixed.showPanel(s("1"), s("TessalyQ.zelm_ui"), s("more")));
    EXPECT_EQ(host.commands(), (lines{"PS '1' 'TessalyQ.zelm_ui'", "PS '1' 'layouts/TessalyQ.zelm_ui' 'more'"}));
    // showPanel only tests its answer; it does not give it back.
    EXPECT_EQ(host.outstandingAnswers(), 2);
}

TEST(HostCommands, ShowPanelReportsANullAnswer)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    EXPECT_FALSE(panel.showPanel(s("1"), s("x.zelm_ui"), s("")));
    EXPECT_EQ(host.commands(), (lines{"PS '1' 'x.zelm_ui'"}));
}

TEST(HostCommands, NothingIsSentWithoutAHostLink)
{
    recording_panel panel(nullptr, "");
    zelm_string out("kept");
    panel.lookupName(1, 2, 3, out);
    EXPECT_EQ(out, "kept");
    panel.getText(s("value"), s("1"), s("c"), out);
    EXPECT_EQ(out.length(), 0);
    EXPECT_EQ(panel.listControls(s("1"), s("alm_")).count(), 0);
    EXPECT_TRUE(panel.showPanel(s("1"), s("f"), s("")));
}

TEST(HostCommands, GetTextReadsTheValuePartAndGivesTheAnswerBack)
{
    recording_host_link host;
    host.answer("TG '1' 'c' 'value'", "value=12=3");
    host.answer("TG '1' 'c' 'all'", "anything=at all");
    host.answerNull("TG '1' 'd' 'value'");
    recording_panel panel(&host, "");
    zelm_string out("old");
    panel.getText(s("value"), s("1"), s("c"), out);
    EXPECT_EQ(out, "12=3");
    panel.getText(s("all"), s("1"), s("c"), out);
    EXPECT_EQ(out, "anything=at all");
    out = "old";
    panel.getText(s("value"), s("1"), s("d"), out);
    EXPECT_EQ(out.length(), 0);
    EXPECT_EQ(host.commands(), (lines{"TG '1' 'c' 'value'", "TG '1' 'c' 'all'", "TG '1' 'd' 'value'"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.badGiveBacks(), 0);
    EXPECT_EQ(host.nullGiveBacks(), 0);
}

TEST(HostCommands, GetTextMismatchWritesOneDebuggerLine)
{
    recording_host_link host;
    host.answer("TG '1' 'c' 'value'", "Value=5");
    host.answer("TG '1' 'e' 'value'", "noequals");
    recording_panel panel(&host, "");
    zelm_string out("old");
    debug_capture firstCapture;
    panel.getText(s("value"), s("1"), s("c"), out);
    const std::string first = firstCapture.text();
    EXPECT_EQ(out.length(), 0);
    EXPECT_EQ(first, "textGet: value returned \"Value\" was not the value requested \"value\" (value returned was "
                     "\"Value=5\" from control \"c\", on panel \"1\")\n");

    debug_capture secondCapture;
    panel.getText(s("value"), s("1"), s("e"), out);
    const std::string second = secondCapture.text();
    EXPECT_EQ(second, "textGet: value returned \"noequals\" was not the value requested \"value\" (value returned "
                      "was \"noequals\" from control \"e\", on panel \"1\")\n");
    EXPECT_EQ(host.outstandingAnswers(), 0);
}

TEST(HostCommands, LookupNameGivesBackEveryAnswerNullIncluded)
{
    recording_host_link host;
    host.answer("RN 7 1 3", "VTR 1");
    host.answerNull("RN 7 1 4");
    recording_panel panel(&host, "");
    zelm_string out("old");
    panel.lookupName(7, 1, 3, out);
    EXPECT_EQ(out, "VTR 1");
    panel.lookupName(7, 1, 4, out);
    EXPECT_EQ(out, "VTR 1");
    EXPECT_EQ(host.commands(), (lines{"RN 7 1 3", "RN 7 1 4"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.nullGiveBacks(), 1);
    EXPECT_EQ(host.badGiveBacks(), 0);
    ASSERT_EQ(host.everything().size(), 4U);
    EXPECT_EQ(host.everything()[1].kind, zelmGiveBack);
    EXPECT_EQ(host.everything()[3].kind, zelmGiveBack);
}

TEST(HostCommands, ListControlsSplitsTheAnswer)
{
    recording_host_link host;
    host.answer("XI '1' 'alm_'", "alm_a,alm_b,,alm_c");
    recording_panel panel(&host, "");
    const zelm_stringlist controls = panel.listControls(s("1"), s("alm_"));
    EXPECT_EQ(controls.toString('|'), "alm_a|alm_b||alm_c");
    EXPECT_EQ(panel.listControls(s("2"), s("x")).count(), 0);
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'", "XI '2' 'x'"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.nullGiveBacks(), 0);
}

TEST(HostCommands, DebugMessageFillsPlaceholdersInOrder)
{
    debug_capture capture;
    recording_panel::debugMessage(s("%9%8%7%6%5%4%3%2%1"), s("a"), s("b"), s("c"), s("d"), s("e"), s("f"), s("g"),
                                  s("h"), s("i"));
    // a1 fills the lowest placeholder left, so the empty texts callers pass
    // for unused arguments fill nothing that is not there.
    recording_panel::debugMessage(s("%2-%1"), s("a"), s("b"));
    recording_panel::debugMessage(s("plain %"));
    EXPECT_EQ(capture.text(), "ihgfedcba\nb-a\nplain %\n");
}
