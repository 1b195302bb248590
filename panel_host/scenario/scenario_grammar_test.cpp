// The verb table is the one source of the language: every row the parser
// reads is in the summary, reaches its own reader, and its messages carry
// its usage; what the table does not know stays an unknown line.
#include "scenario/scenario_grammar.h"

#include <gtest/gtest.h>

#include <map>

#include "scenario/scenario_parser.h"

namespace {

struct row_example {
    const char* good;  // a line the row reads
    step_kind kind;    // what it reads it into
    const char* bad;   // a line of the row that is not well formed
};

// One example a row; a row the table gains without one here fails below.
const std::map<std::string, row_example> examples = {
    {"create", {"create /x", step_kind::create, "create a b"}},
    {"destroy", {"destroy", step_kind::destroy, "destroy now"}},
    {"set", {"set a 1", step_kind::set, "set"}},
    {"get", {"get all", step_kind::get, "get a b"}},
    {"param", {"param _events", step_kind::param, "param"}},
    {"press", {"press Take on 2 force", step_kind::press, "press Take x y"}},
    {"route", {"route 31 4 7", step_kind::route, "route 31 4"}},
    {"rename", {"rename 31 0 5 x", step_kind::rename, "rename 31 0 x"}},
    {"wait", {"wait 2s", step_kind::wait, "wait soon"}},
    {"revertive", {"revertive 31 1 2", step_kind::revertive, "revertive 31"}},
    {"tick", {"tick 1", step_kind::tick, "tick x"}},
    {"show", {"show 2", step_kind::show_panel, "show 1 2"}},
    {"show router", {"show router 32 1 4", step_kind::show_router, "show router 32 5 1"}},
    {"say", {"say hello # there", step_kind::say, nullptr}},
    {"fault delay", {"fault delay 2s", step_kind::fault_delay, "fault delay x"}},
    {"fault drop", {"fault drop 25%", step_kind::fault_drop, "fault drop 101"}},
    {"fault duplicate", {"fault duplicate 5", step_kind::fault_duplicate, "fault duplicate -1"}},
    {"fault seed", {"fault seed 7", step_kind::fault_seed, "fault seed x"}},
    {"fault offline", {"fault offline 31", step_kind::fault_offline, "fault offline"}},
    {"fault online", {"fault online 31", step_kind::fault_online, "fault online 31 32"}},
    {"fault clear", {"fault clear", step_kind::fault_clear, "fault clear now"}},
    {"after", {"after 1s fault clear", step_kind::after, "after 1s"}},
    {"expect sent", {"expect sent nothing", step_kind::expect_sent, "expect sent all"}},
    {"expect answer", {"expect answer none", step_kind::expect_answer, "expect answer a b"}},
    {"expect property", {"expect property Take x y", step_kind::expect_property, "expect property Take"}},
    {"expect text", {"expect text Take x on 2", step_kind::expect_property, "expect text Take x on"}},
    {"expect enabled", {"expect enabled Take", step_kind::expect_enabled, "expect enabled"}},
    {"expect disabled", {"expect disabled Take", step_kind::expect_enabled, "expect disabled Take 2"}},
    {"expect crosspoint", {"expect crosspoint 31 1 2", step_kind::expect_crosspoint, "expect crosspoint 31 x"}},
    {"expect timer", {"expect timer 1 stopped", step_kind::expect_timer, "expect timer 1 sleeping"}},
    {"use", {"use B", step_kind::use_component, "use"}},
    {"help", {"help me", step_kind::help, nullptr}},
    {"NAME:", {"B: create", step_kind::create, "B:"}},
};

std::string errorOf(const std::string& line)
{
    parsed_scenario parsed = parseScenario(line, "t.scn");
    return parsed.errors.size() == 1 ? parsed.errors[0].message
                                     : "(" + std::to_string(parsed.errors.size()) + " errors)";
}

std::string firstWord(const std::string& word) { return word.substr(0, word.find(' ')); }

std::string subWord(const std::string& word)
{
    std::size_t space = word.find(' ');
    return space == std::string::npos ? std::string() : word.substr(space + 1);
}

// The bare word of a family ("fault"): its messages list the sub-words.
bool isFamily(const verb_entry& row) { return row.usage == nullptr && !subWordsOf(row.word).empty(); }

TEST(ScenarioGrammar, EveryRowIsInTheSummary)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(scenarioLanguageSummary(), at, line))
        lines.emplace_back(line);
    for (const verb_entry& row : scenarioVerbs()) {
        // A heading as it is; a row in a line that starts with its word and
        // names its sub-word.
        std::string start = row.word == nullptr ? std::string(row.help) : "  " + firstWord(row.word);
        std::string sub = row.word == nullptr ? std::string() : subWord(row.word);
        bool shown = false;
        for (const std::string& shownLine : lines)
            shown = shown ||
                    (shownLine.compare(0, start.size(), start) == 0 && shownLine.find(sub) != std::string::npos);
        EXPECT_TRUE(shown) << start << " " << sub;
    }
}

TEST(ScenarioGrammar, EveryRowReadsItsLinesAndItsMessagesGiveItsUsage)
{
    for (const verb_entry& row : scenarioVerbs()) {
        if (row.word == nullptr || isFamily(row) || (row.reader == nullptr && row.usage == nullptr))
            continue;
        auto example = examples.find(row.word);
        if (example == examples.end()) {
            ADD_FAILURE() << "no example for \"" << row.word << "\": add one to the test's table";
            continue;
        }
        parsed_scenario parsed = parseScenario(example->second.good, "t.scn");
        ASSERT_EQ(parsed.steps.size(), 1u) << example->second.good;
        EXPECT_EQ(parsed.steps[0].kind, example->second.kind) << example->second.good;
        if (row.usage == nullptr) {
            EXPECT_EQ(example->second.bad, nullptr) << row.word << " has no usage to give";
            continue;
        }
        ASSERT_NE(example->second.bad, nullptr) << row.word;
        std::string message = errorOf(example->second.bad);
        std::string usage = std::string(" (usage: ") + row.usage + ")";
        EXPECT_TRUE(message.size() > usage.size() && message.substr(message.size() - usage.size()) == usage)
            << example->second.bad << ": " << message;
    }
}

TEST(ScenarioGrammar, AFamilysMessagesListItsSubWordsFromTheTable)
{
    for (const char* family : {"fault", "expect"}) {
        std::vector<std::string> subs = subWordsOf(family);
        ASSERT_FALSE(subs.empty()) << family;
        for (const std::string& line : {std::string(family), std::string(family) + " bogus"}) {
            std::string message = errorOf(line);
            std::size_t at = 0;
            for (const std::string& sub : subs) {
                at = message.find(sub, at);
                EXPECT_NE(at, std::string::npos) << line << ": " << sub << " missing or out of order in " << message;
            }
        }
    }
    EXPECT_EQ(errorOf("fault"), "missing fault (usage: fault delay|drop|duplicate|seed|offline|online|clear ...)");
    EXPECT_EQ(errorOf("expect bogus"),
              "unknown expectation \"bogus\" (sent, answer, property, text, enabled, disabled, crosspoint, timer)");
}

// A names database ends at the simulator's limit on every path a line
// takes: typed, posted by the page, or scheduled.
TEST(ScenarioGrammar, ANameIndexBeyondTheLimitIsABadLine)
{
    parsed_scenario edge = parseScenario("rename 31 0 65536 x\nafter 1s rename 31 0 65536 x\n", "t.scn");
    EXPECT_TRUE(edge.errors.empty());
    EXPECT_EQ(edge.steps.size(), 2u);
    const std::string beyond = "name index 65537 is beyond the simulator's limit of 65536"
                               " (usage: rename DEVICE DATABASE INDEX NAME)";
    EXPECT_EQ(errorOf("rename 31 0 65537 x"), beyond);
    EXPECT_EQ(errorOf("after 1s rename 31 0 65537 x"), beyond);
    EXPECT_EQ(errorOf("B: rename 31 0 999999 x"),
              "name index 999999 is beyond the simulator's limit of 65536 (usage: rename DEVICE DATABASE INDEX NAME)");
    EXPECT_EQ(errorOf("rename 31 0 -1 x"), "index must not be negative (usage: rename DEVICE DATABASE INDEX NAME)");
}

TEST(ScenarioGrammar, WhatTheTableDoesNotReadIsAnUnknownLine)
{
    // The prompt's own words, a verb and its sub-word quoted into one word,
    // a sub-word without its verb.
    for (const char* word : {"quit", "exit", "Ctrl-C", "\"show router\" 5", "\"fault delay\" 1s", "delay 1s", "end"}) {
        std::string verb = word[0] == '"' ? std::string(word).substr(1, std::string(word).find('"', 1) - 1)
                                          : firstWord(word);
        EXPECT_EQ(errorOf(word), "unknown line \"" + verb + "\" (try: help)") << word;
    }
}

// The summary as "help" and --help have always printed it.
TEST(ScenarioGrammar, TheSummaryReadsAsItAlwaysHas)
{
    EXPECT_EQ(std::string(scenarioLanguageSummary()),
              R"(Scenario lines ('#' starts a comment; "double quotes" group words):
  create [DATA]                        load the component (DATA: load data text)
  destroy                              delete the component
  set NAME VALUE                       parameter request NAME=VALUE, answer printed
  get WHAT                             parameter request return=WHAT (all, srcpkg, destpkg)
  param TEXT                           any parameter text, e.g. param _events
  press CONTROL [TEXT] [on PANEL] [force]
                                       button event, TEXT its event text (alarm=2);
                                       a disabled control is pressed only with force
  route DEVICE SOURCE DESTINATION      another controller routes on a router
  rename DEVICE DATABASE INDEX NAME    a name changes in a names database
  wait TIME                            let virtual time pass (500, 500ms, 2s, 1.5s; at most 86400s)
  revertive DEVICE DESTINATION SOURCE  hand the component a revertive directly
  tick TIMER                           hand the component a timer event directly
  show [PANEL]                         picture of the panel (with --picture)
  show router DEVICE [FIRST [LAST]]    crosspoints of a router: FIRST to LAST, or without a
                                       range those changed since the start (else the first 16)
  say TEXT                             a heading in the transcript
  fault delay TIME | drop PERCENT | duplicate PERCENT | seed NUMBER
  fault offline DEVICE | online DEVICE | clear
  after TIME route|rename|fault ...    the same, later on the virtual clock
  expect sent ... end                  exactly these command lines in the last step
  expect sent nothing
  expect answer TEXT | expect answer ... end | expect answer none
  expect property CONTROL PROPERTY VALUE [on PANEL]
  expect text CONTROL VALUE [on PANEL]
  expect enabled|disabled CONTROL [on PANEL]
  expect crosspoint DEVICE DESTINATION SOURCE
  expect timer ID running|stopped
Several components (take/undo positions sharing the routers):
  use NAME                             later lines address component NAME
                                       (declared here; "main" is the first one)
  NAME: LINE                           this line addresses component NAME,
                                       e.g. B: create, B: press Take
At the prompt (panel_host on a terminal, without a scenario):
  help                                 this list
  quit, exit, Ctrl-D                   end: the component is destroyed, the history kept
  Ctrl-C                               drop the line being typed (and an open block)
)");
}

// The page has no prompt: its summary is the terminal's up to the prompt's
// keys, then what the page offers.
TEST(ScenarioGrammar, TheBrowsersSummaryListsOnlyWhatThePageTakes)
{
    std::string terminal = scenarioLanguageSummary();
    std::string browser = scenarioLanguageSummary(summary_place::browser);
    std::size_t prompt = terminal.find("At the prompt");
    ASSERT_NE(prompt, std::string::npos);
    EXPECT_EQ(browser.substr(0, prompt), terminal.substr(0, prompt));
    EXPECT_EQ(browser.substr(prompt), "In the browser view:\n"
                                      "  help                                 this list\n"
                                      "  buttons, forms, router rows          send these same lines (the transcript "
                                      "shows each);\n"
                                      "                                       Tab moves between them, Enter or Space "
                                      "presses\n");
    for (const char* key : {"Ctrl-D", "Ctrl-C", "quit"})
        EXPECT_EQ(browser.find(key), std::string::npos) << key;
}

}  // namespace
