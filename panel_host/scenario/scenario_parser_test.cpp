#include "scenario/scenario_parser.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(ScenarioParserHeader, CompilesOnItsOwn)
{
    scenario_step step;
    EXPECT_EQ(step.panel, "1");
}

scenario_step only(const std::string& text)
{
    parsed_scenario parsed = parseScenario(text, "t.scn");
    EXPECT_TRUE(parsed.errors.empty()) << (parsed.errors.empty() ? "" : parsed.errors[0].message);
    EXPECT_EQ(parsed.steps.size(), 1u);
    return parsed.steps.empty() ? scenario_step() : parsed.steps[0];
}

std::string errorOf(const std::string& text)
{
    parsed_scenario parsed = parseScenario(text, "t.scn");
    EXPECT_EQ(parsed.errors.size(), 1u);
    return parsed.errors.empty() ? std::string() : parsed.errors[0].where() + ": " + parsed.errors[0].message;
}

TEST(ScenarioParser, ReadsEveryKindOfLine)
{
    scenario_step s = only("set uselevels 1,2,3");
    EXPECT_EQ(s.kind, step_kind::set);
    EXPECT_EQ(s.name, "uselevels");
    EXPECT_EQ(s.text, "1,2,3");

    s = only("set unusedleveltext \"\"");
    EXPECT_EQ(s.text, "");

    s = only("press ActionAll alarm=2 on 3 force");
    EXPECT_EQ(s.kind, step_kind::press);
    EXPECT_EQ(s.name, "ActionAll");
    EXPECT_TRUE(s.hasText);
    EXPECT_EQ(s.text, "alarm=2");
    EXPECT_EQ(s.panel, "3");
    EXPECT_TRUE(s.flag);

    s = only("route 31 4 7");
    EXPECT_EQ(s.kind, step_kind::route);
    EXPECT_EQ(s.a, 31);
    EXPECT_EQ(s.b, 4);
    EXPECT_EQ(s.c, 7);

    s = only("rename 31 0 5 \"CAM|1 NEW\"");
    EXPECT_EQ(s.kind, step_kind::rename);
    EXPECT_EQ(s.text, "CAM|1 NEW");

    s = only("wait 1.5s");
    EXPECT_EQ(s.kind, step_kind::wait);
    EXPECT_EQ(s.time, 1500);

    s = only("show router 32 200 240");
    EXPECT_EQ(s.kind, step_kind::show_router);
    EXPECT_TRUE(s.hasText);
    EXPECT_EQ(s.b, 200);
    EXPECT_EQ(s.c, 240);

    s = only("show router 32 7");
    EXPECT_EQ(s.b, 7);
    EXPECT_EQ(s.c, 7);

    s = only("expect text Src_L1 \"CAM 1\" on 2");
    EXPECT_EQ(s.kind, step_kind::expect_property);
    EXPECT_EQ(s.property, "text");
    EXPECT_EQ(s.text, "CAM 1");
    EXPECT_EQ(s.panel, "2");

    s = only("expect disabled Take");
    EXPECT_EQ(s.kind, step_kind::expect_enabled);
    EXPECT_FALSE(s.flag);

    s = only("expect timer 1 running");
    EXPECT_TRUE(s.flag);

    s = only("fault drop 25%");
    EXPECT_EQ(s.kind, step_kind::fault_drop);
    EXPECT_EQ(s.a, 25);

    s = only("say Step 1: # not a comment here");
    EXPECT_EQ(s.kind, step_kind::say);
    EXPECT_EQ(s.text, "Step 1: # not a comment here");

    s = only("say \"A quoted heading\"");
    EXPECT_EQ(s.text, "A quoted heading");
    s = only("\"say\" two  words");
    EXPECT_EQ(s.kind, step_kind::say);
    EXPECT_EQ(s.text, "two words");

    s = only("after 2s route 31 4 7");
    EXPECT_EQ(s.kind, step_kind::after);
    EXPECT_EQ(s.time, 2000);
    ASSERT_NE(s.inner, nullptr);
    EXPECT_EQ(s.inner->kind, step_kind::route);
    EXPECT_EQ(s.inner->c, 7);
}

TEST(ScenarioParser, BlocksKeepTheirLinesVerbatimUntilEnd)
{
    parsed_scenario parsed = parseScenario("create\n"
                                           "expect sent   # the lines\n"
                                           "  HN 'a#b'\n"
                                           "\n"
                                           "  TP 'text=' '1' 'Src_L1'\r\n"
                                           "end\n"
                                           "expect answer\n"
                                           "one\n"
                                           "two\n"
                                           "end\n"
                                           "expect sent nothing\n",
                                           "t.scn");
    ASSERT_TRUE(parsed.errors.empty());
    ASSERT_EQ(parsed.steps.size(), 4u);
    EXPECT_EQ(parsed.steps[1].lines, (std::vector<std::string>{"HN 'a#b'", "TP 'text=' '1' 'Src_L1'"}));
    EXPECT_EQ(parsed.steps[1].line, 2);
    EXPECT_EQ(parsed.steps[2].lines, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(parsed.steps[2].hasText);
    EXPECT_TRUE(parsed.steps[3].lines.empty());
    EXPECT_EQ(parsed.steps[3].line, 11);
}

TEST(ScenarioParser, ReportsBadLinesWithFileAndLine)
{
    EXPECT_EQ(errorOf("create\n\nfrobnicate 1"), "t.scn:3: unknown line \"frobnicate\" (try: help)");
    EXPECT_EQ(errorOf("route 31 x7 3"),
              "t.scn:1: \"x7\" is not a number: source expected (usage: route DEVICE SOURCE DESTINATION)");
    EXPECT_EQ(errorOf("route 31 4"), "t.scn:1: missing destination (usage: route DEVICE SOURCE DESTINATION)");
    EXPECT_EQ(errorOf("route 31 4 5 6"), "t.scn:1: unexpected \"6\" (usage: route DEVICE SOURCE DESTINATION)");
    EXPECT_EQ(errorOf("route 99999999999 4 5"),
              "t.scn:1: \"99999999999\" is not a number: device expected (usage: route DEVICE SOURCE DESTINATION)");
    EXPECT_EQ(errorOf("wait -5"), "t.scn:1: \"-5\" is not a time such as 500, 500ms or 2s (usage: wait TIME)");
    EXPECT_EQ(errorOf("fault drop 101"),
              "t.scn:1: \"101\" is not a percentage from 0 to 100 (usage: fault delay TIME | drop PERCENT | "
              "duplicate PERCENT | seed NUMBER | offline DEVICE | online DEVICE | clear)");
    EXPECT_EQ(errorOf("set \"unterminated"), "t.scn:1: unterminated \"quoted text\"");
    EXPECT_EQ(errorOf("after 1s press Take"),
              "t.scn:1: after schedules only route, rename and fault lines, not \"press\"");
    EXPECT_EQ(errorOf("expect timer 1 sleeping"),
              "t.scn:1: expect timer needs running or stopped (usage: expect timer ID running|stopped)");
    EXPECT_EQ(errorOf("expect sent\nHN 'x'\n"), "t.scn:1: the \"expect sent\" block is not closed: \"end\" missing");
    EXPECT_EQ(errorOf("show router 32 5 1"),
              "t.scn:1: the first destination 5 comes after the last 1 (usage: show router DEVICE [FIRST [LAST]])");
    EXPECT_EQ(errorOf("wait 86401s"), "t.scn:1: \"86401s\" is longer than a line may wait, schedule or delay: at "
                                      "most 86400s (usage: wait TIME)");
    EXPECT_EQ(errorOf("after 2147483647s route 31 1 1"),
              "t.scn:1: \"2147483647s\" is longer than a line may wait, schedule or delay: at most 86400s (usage: "
              "after TIME route|rename|fault ...)");
    EXPECT_EQ(errorOf("create\nsay a\0\x1b[2J"s), "t.scn:2: a NUL character in the line (not a text file?)");
    // A long word is cut in the message; control characters are shown.
    EXPECT_EQ(errorOf(std::string(5000, 'x') + " 1"),
              "t.scn:1: unknown line \"" + std::string(60, 'x') + "… (5000 bytes)\" (try: help)");
    EXPECT_EQ(errorOf("\x1b[2J"), "t.scn:1: unknown line \"\\x1b[2J\" (try: help)");
    // UTF-16: one message for the whole file, however many lines follow.
    EXPECT_EQ(errorOf("\xff\xfe"
                      "c\0r\0\n\0x\0\n\0"s),
              "t.scn:1: the file is UTF-16 text; a scenario is UTF-8 (save it as UTF-8)");
}

TEST(ScenarioParser, SkipsAUtf8ByteOrderMark)
{
    EXPECT_EQ(only("\xEF\xBB\xBF"
                   "create\n")
                  .kind,
              step_kind::create);
    // Only on the first line.
    EXPECT_EQ(errorOf("create\n\xEF\xBB\xBF"
                      "destroy"),
              "t.scn:2: unknown line \"\xEF\xBB\xBF"
              "destroy\" (try: help)");
}

TEST(ScenarioParser, ACheckStopsAfterTheMostBadLines)
{
    std::string flood;
    for (int i = 0; i < 1000; ++i)
        flood += "bogus line\n";
    std::vector<scenario_error> errors = checkScenario(flood, "t.scn");
    ASSERT_EQ(errors.size(), mostBadLines + 1);
    EXPECT_EQ(errors[mostBadLines - 1].line, 20);
    EXPECT_EQ(errors.back().where() + ": " + errors.back().message, "t.scn:20: reading stopped after 20 bad lines");
    // Below the bound every bad line is listed, and an open block at the end.
    errors = checkScenario("bogus\ncreate\nwait x\nexpect sent\n", "t.scn");
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[2].message, "the \"expect sent\" block is not closed: \"end\" missing");
    EXPECT_TRUE(checkScenario("create\ndestroy\n", "t.scn").empty());
}

TEST(ScenarioParser, ComponentNamesAddressALineOrTheLinesThatFollow)
{
    parsed_scenario parsed = parseScenario("B: create /x\nuse A-2\nB: expect sent\nRU 31\nend\npress Take\n", "t.scn");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front().message;
    ASSERT_EQ(parsed.steps.size(), 4u);
    EXPECT_EQ(parsed.steps[0].kind, step_kind::create);
    EXPECT_EQ(parsed.steps[0].component, "B");
    EXPECT_EQ(parsed.steps[0].text, "/x");
    EXPECT_EQ(parsed.steps[1].kind, step_kind::use_component);
    EXPECT_EQ(parsed.steps[1].name, "A-2");
    EXPECT_EQ(parsed.steps[2].component, "B");
    EXPECT_EQ(parsed.steps[2].lines, std::vector<std::string>{"RU 31"});
    EXPECT_EQ(parsed.steps[3].component, "");

    const std::pair<const char*, const char*> bad[] = {
        {"B: route 31 1 2", "t.scn:1: \"route\" is a line of the facility: it takes no component name"},
        {"B: expect crosspoint 31 1 2", "t.scn:1: \"expect\" is a line of the facility: it takes no component name"},
        {"9x: create", "t.scn:1: \"9x\" is not a component name: a letter, then letters, digits, _ or -"},
        {"B:", "t.scn:1: missing the line for component B (usage: NAME: LINE)"},
        {"use", "t.scn:1: missing component name (usage: use NAME)"},
        {"use a.b", "t.scn:1: \"a.b\" is not a component name: a letter, then letters, digits, _ or -"},
    };
    for (const auto& [line, message] : bad)
        EXPECT_EQ(errorOf(line), message) << line;
}

TEST(ScenarioParser, GoesOnAfterABadLine)
{
    parsed_scenario parsed = parseScenario("bogus\ncreate\nwait x\ndestroy\n", "t.scn");
    ASSERT_EQ(parsed.errors.size(), 2u);
    EXPECT_EQ(parsed.errors[0].line, 1);
    EXPECT_EQ(parsed.errors[1].line, 3);
    ASSERT_EQ(parsed.steps.size(), 2u);
    EXPECT_EQ(parsed.steps[0].kind, step_kind::create);
    EXPECT_EQ(parsed.steps[1].kind, step_kind::destroy);
}

TEST(ScenarioParser, FedLineByLineItTellsWhenABlockIsOpen)
{
    scenario_parser parser("<terminal>");
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
    parser.feed("expect sent", steps, errors);
    EXPECT_TRUE(parser.inBlock());
    parser.feed("RU 31", steps, errors);
    EXPECT_TRUE(steps.empty());
    parser.feed("end", steps, errors);
    EXPECT_FALSE(parser.inBlock());
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].lines, std::vector<std::string>{"RU 31"});
    EXPECT_TRUE(errors.empty());
}

TEST(ScenarioWords, QuotesEscapesAndComments)
{
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(splitWords("set a \"b c\" \"say \\\"hi\\\" \\\\\" # comment", words, error));
    EXPECT_EQ(words, (std::vector<std::string>{"set", "a", "b c", "say \"hi\" \\"}));
    ASSERT_TRUE(splitWords("x \"\" y#z", words, error));
    EXPECT_EQ(words, (std::vector<std::string>{"x", "", "y#z"}));
    EXPECT_FALSE(splitWords("x \"open", words, error));
}

TEST(ScenarioTime, Units)
{
    std::int64_t ms = -1;
    EXPECT_TRUE(readTime("250", ms));
    EXPECT_EQ(ms, 250);
    EXPECT_TRUE(readTime("250ms", ms));
    EXPECT_EQ(ms, 250);
    EXPECT_TRUE(readTime("3s", ms));
    EXPECT_EQ(ms, 3000);
    EXPECT_TRUE(readTime("0.25s", ms));
    EXPECT_EQ(ms, 250);
    EXPECT_TRUE(readTime("0", ms));
    EXPECT_EQ(ms, 0);
    for (const char* bad : {"", "s", "ms", "-1", "+1", "1.5", "1.2345s", "1.s", "x", "1 s", "1.-5s"})
        EXPECT_FALSE(readTime(bad, ms)) << bad;
}

}  // namespace
