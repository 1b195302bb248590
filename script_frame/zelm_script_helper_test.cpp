#include "zelm_script_helper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "recording_host_link.h"
#include "recording_panel.h"

using lines = std::vector<std::string>;

namespace {

std::intptr_t word(const void* pointer) { return reinterpret_cast<std::intptr_t>(pointer); }

char* sendButton(zelm_script_helper& panel, const char* id, const char* eventText)
{
    const commandText text(eventText);
    const buttonRecord record{0, 0, "1", id, &text};
    return panel.hostEvent(word(&record), zelmEventButton);
}

}  // namespace

TEST(ScriptHelper, HeaderStandsAlone)
{
    recording_panel panel(nullptr, nullptr);
    zelm_client_callback& component = panel;
    EXPECT_EQ(component.hostEvent(0, 99), nullptr);
    EXPECT_EQ(panel.hostLink, nullptr);
    EXPECT_EQ(panel.loadData.length(), 0);
    EXPECT_FALSE(panel.alarmHandling);
}

TEST(ScriptHelper, ConstructionSendsNothingAndDestructionSendsAsLast)
{
    recording_host_link host;
    {
        recording_panel panel(&host, "layouts");
        EXPECT_EQ(panel.loadData, "layouts");
        EXPECT_TRUE(host.commands().empty());
        panel.notifyHost(zelm_string("x"));
    }
    EXPECT_EQ(host.commands(), (lines{"HN 'x'", "AS"}));
    EXPECT_EQ(host.everything().back().kind, zelmSendCommand);
}

TEST(ScriptHelper, AnswerToTheClosingNoticeIsNotGivenBack)
{
    recording_host_link host;
    host.answer("AS", "bye");
    {
        recording_panel panel(&host, "");
    }
    EXPECT_EQ(host.everything().size(), 1U);
    EXPECT_EQ(host.outstandingAnswers(), 1);
}

TEST(ScriptHelper, NoHostLinkStillDispatchesAndDestroysQuietly)
{
    auto panel = std::make_unique<recording_panel>(nullptr, "x");
    EXPECT_EQ(panel->hostEvent(9, zelmEventTimer), nullptr);
    EXPECT_EQ(panel->calls, (lines{"timer 9"}));
    panel.reset();
}

TEST(ScriptHelper, EachCodeReachesItsOperation)
{
    recording_host_link host;
    recording_panel panel(&host, "");

    const revertiveRecord revertive{4, -5, 10, 20};
    EXPECT_EQ(panel.hostEvent(word(&revertive), zelmEventRevertive), nullptr);

    EXPECT_EQ(sendButton(panel, "Take", "press"), nullptr);

    EXPECT_EQ(panel.hostEvent(word("srcpkg=12"), zelmEventParameter), nullptr);
    EXPECT_EQ(panel.hostEvent(1, zelmEventTimer), nullptr);

    const char name[] = "VTR 1";
    std::vector<char> storage(sizeof(databaseRecord) + sizeof name);
    auto* database = reinterpret_cast<databaseRecord*>(storage.data());
    *database = databaseRecord{7, 1, 3, 0, {'\0'}};
    std::memcpy(database->name, name, sizeof name);
    EXPECT_EQ(panel.hostEvent(word(database), zelmEventDatabaseChange), nullptr);

    EXPECT_EQ(panel.hostEvent(-77, zelmEventSeven), nullptr);

    EXPECT_EQ(panel.calls, (lines{"revertive 4 10 20", "button 1 Take press=", "parameter srcpkg=12", "timer 1",
                                  "database 7 1 3 VTR 1", "seven -77"}));
    EXPECT_TRUE(host.commands().empty());
}

TEST(ScriptHelper, CodesOutsideOneToSevenAreIgnored)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    panel.parameterAnswer = "answer";
    for (std::int32_t code : {0, 8, -1, 100, INT32_MIN, INT32_MAX})
        EXPECT_EQ(panel.hostEvent(word("srcpkg=1"), code), nullptr) << code;
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_TRUE(host.commands().empty());
}

TEST(ScriptHelper, NullRecordsAreIgnored)
{
    recording_panel panel(nullptr, "");
    for (std::int32_t code : {zelmEventRevertive, zelmEventButton, zelmEventDatabaseChange, zelmEventRelease})
        EXPECT_EQ(panel.hostEvent(0, code), nullptr) << code;
    EXPECT_TRUE(panel.calls.empty());

    // A null parameter text reads as the empty text.
    EXPECT_EQ(panel.hostEvent(0, zelmEventParameter), nullptr);
    EXPECT_EQ(panel.calls, (lines{"parameter ="}));
}

TEST(ScriptHelper, ExceptionsStayInside)
{
    recording_panel panel(nullptr, "");
    panel.throwOnTimer = true;
    EXPECT_EQ(panel.hostEvent(2, zelmEventTimer), nullptr);
    EXPECT_EQ(panel.calls, (lines{"timer 2"}));
}

TEST(ScriptHelper, ParameterAnswerIsASeparateBlockFreedOnceOnRelease)
{
    recording_panel panel(nullptr, "");
    panel.parameterAnswer = "abc";
    char* first = panel.hostEvent(word("return"), zelmEventParameter);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "abc");
    EXPECT_NE(static_cast<const char*>(first), panel.parameterAnswer.c_str());
    char* second = panel.hostEvent(word("return"), zelmEventParameter);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);

    // Blocks may come back in any order; a second release of the same block
    // is ignored (the sanitizer build would catch a double free here).
    EXPECT_EQ(panel.hostEvent(word(second), zelmEventRelease), nullptr);
    EXPECT_EQ(panel.hostEvent(word(second), zelmEventRelease), nullptr);
    EXPECT_STREQ(first, "abc");
    EXPECT_EQ(panel.hostEvent(word(first), zelmEventRelease), nullptr);
    EXPECT_EQ(panel.hostEvent(word(first), zelmEventRelease), nullptr);
}

TEST(ScriptHelper, ForeignPointersAreNotFreed)
{
    recording_panel panel(nullptr, "");
    char foreign[] = "not ours";
    EXPECT_EQ(panel.hostEvent(word(foreign), zelmEventRelease), nullptr);
    auto heapForeign = std::make_unique<char[]>(8);
    EXPECT_EQ(panel.hostEvent(word(heapForeign.get()), zelmEventRelease), nullptr);
    EXPECT_STREQ(foreign, "not ours");
    EXPECT_TRUE(panel.calls.empty());
}

TEST(ScriptHelper, EmptyParameterAnswerIsNull)
{
    recording_panel panel(nullptr, "");
    EXPECT_EQ(panel.hostEvent(word("srcpkg=5"), zelmEventParameter), nullptr);
    EXPECT_EQ(panel.calls, (lines{"parameter srcpkg=5"}));
}

TEST(ScriptHelper, BlockHeldAtDestructionStaysTheHosts)
{
    char* held = nullptr;
    {
        recording_panel panel(nullptr, "");
        panel.parameterAnswer = "kept";
        held = panel.hostEvent(word("return"), zelmEventParameter);
        ASSERT_NE(held, nullptr);
    }
    // Still readable: the component did not free it.
    EXPECT_STREQ(held, "kept");
    std::free(held);
}

TEST(ScriptHelper, AlarmButtonsReachOnButtonWhileHandlingIsOff)
{
    recording_host_link host;
    recording_panel panel(&host, "");
    sendButton(panel, "AckAll", "x");
    sendButton(panel, "ActionAll", "alarm=2");
    EXPECT_EQ(panel.calls, (lines{"button 1 AckAll x=", "button 1 ActionAll alarm=2"}));
    EXPECT_TRUE(host.commands().empty());
}

TEST(ScriptHelper, AlarmInterceptionWhileHandlingIsOn)
{
    recording_host_link host;
    host.answer("XI '1' 'alm_'", "alm_a");
    host.answer("TG '1' 'alm_a' 'value'", "value=1");
    recording_panel panel(&host, "");
    panel.alarmHandling = true;

    sendButton(panel, "ActionAll", "alarm=2");
    EXPECT_EQ(host.takeCommands(), (lines{"XI '1' 'alm_'", "TP 'alarm=2' '1' 'alm_a'", "TP 'value=2' '1' 'alm_a'"}));

    sendButton(panel, "AckAll", "whatever.x=y");
    EXPECT_EQ(host.takeCommands(), (lines{"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_a'", "TG '1' 'alm_a' 'value'",
                                          "TP 'value=4' '1' 'alm_a'"}));

    // An "ActionAll" whose command is not "alarm" is an ordinary button.
    sendButton(panel, "ActionAll", "other=2");
    sendButton(panel, "Take", "alarm=3");
    EXPECT_TRUE(host.takeCommands().empty());
    EXPECT_EQ(panel.calls, (lines{"button 1 ActionAll other=2", "button 1 Take alarm=3"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.badGiveBacks(), 0);
}

TEST(ScriptHelper, InterceptedButtonWithNoEventText)
{
    recording_host_link host;
    host.answer("XI '1' 'alm_'", "alm_a");
    host.answer("TG '1' 'alm_a' 'value'", "value=3");
    recording_panel panel(&host, "");
    panel.alarmHandling = true;
    const buttonRecord ack{0, 0, nullptr, "AckAll", nullptr};
    panel.hostEvent(word(&ack), zelmEventButton);
    const buttonRecord action{0, 0, nullptr, "ActionAll", nullptr};
    panel.hostEvent(word(&action), zelmEventButton);
    EXPECT_EQ(host.commands(), (lines{"XI '1' 'alm_'", "TP 'alarm=4' '1' 'alm_a'", "TG '1' 'alm_a' 'value'"}));
    EXPECT_EQ(panel.calls, (lines{"button  ActionAll ="}));
}
