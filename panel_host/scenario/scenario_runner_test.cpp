#include "scenario/scenario_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "scenario/session_recorder.h"
#include "temp_installation.h"

namespace {

TEST(ScenarioRunnerHeader, CompilesOnItsOwn)
{
    runner_settings settings;
    EXPECT_FALSE(settings.picture);
}

TEST(Difference, ShowsSameMissingAndExtraLines)
{
    EXPECT_EQ(describeDifference({"a", "b", "c"}, {"a", "x", "c", "d"}), "      = a\n"
                                                                         "      + x   (sent, not expected)\n"
                                                                         "      - b   (expected, not sent)\n"
                                                                         "      = c\n"
                                                                         "      + d   (sent, not expected)\n");
    EXPECT_EQ(describeDifference({}, {}), "      (nothing)\n");
}

std::string binDir()
{
    const char* dir = std::getenv("ZELM_BIN_DIR");
    return dir == nullptr ? std::string(".") : std::string(dir);
}

// The sample installation and the layout are read from the source tree.
std::string sourceDir() { return ZELM_SOURCE_DIR; }

#if defined(_WIN32)
const char* const suffix = ".dll";
#else
const char* const suffix = ".so";
#endif

// Runs scenario text with the Tessaly_Q module on the sample installation.
class ScenarioRunner : public ::testing::Test {
protected:
    ScenarioRunner() : out(text, transcript_style{1, false, false})
    {
        setEnvironmentVariable("QV_ROOT", sourceDir() + "/examples/installation");
        setEnvironmentVariable("QV_SYSTEM", "SYS");
        std::string error;
        EXPECT_TRUE(routers.load(sourceDir() + "/examples/installation/SYS/config/system", error)) << error;
        settings.modulePath = binDir() + "/Tessaly_Q" + suffix;
        settings.layoutDir = sourceDir() + "/panels/components/Tessaly_Q";
        settings.loadData = "";
    }
    ~ScenarioRunner() override
    {
        unsetEnvironmentVariable("QV_ROOT");
        unsetEnvironmentVariable("QV_SYSTEM");
    }

    // Runs every step; returns how many steps ran.
    int run(scenario_runner& runner, const std::string& scenario)
    {
        parsed_scenario parsed = parseScenario(scenario, "t.scn");
        EXPECT_TRUE(parsed.errors.empty());
        int ran = 0;
        for (const auto& step : parsed.steps) {
            ++ran;
            if (!runner.run(step))
                break;
        }
        return ran;
    }

    std::ostringstream text;
    transcript out;
    router_model routers;
    runner_settings settings;
};

// A session driven line by line, as the prompt and the browser view drive
// it, with two components and a clock that moved between steps, is written
// as a scenario; replayed on the facility as it was, it passes.
TEST_F(ScenarioRunner, ARecordedSessionReplaysGreen)
{
    const std::string path = uniqueTempPath("panel_host_recorded.scn");
    std::string error;
    {
        scenario_runner runner(settings, routers, out);
        ASSERT_TRUE(runner.openModule(error)) << error;
        session_recorder session(runner, "<browser>");
        session.start();
        for (const char* line : {"A: create", "B: create", "use A", "set matrixobject MTX", "set uselevels 1",
                                 "B: set matrixobject MTX", "B: set uselevels 1", "set srcpkg 1", "set destpkg 3",
                                 "expect sent", "  ET 1", "end", "bogus", "help", "C: press Take"})
            session.runLine(line);
        runner.passTime(1500);
        EXPECT_EQ(session.runLine("press Take").stepsRun, 1);
        EXPECT_EQ(session.runLine("B: expect text Src_UL1 \"\"").failures, 0u);
        EXPECT_EQ(runner.failureCount(), 2u);  // the wrong "expect sent", component C
        // B arms Take and the time after the last step runs it out.
        session.runLine("B: set srcpkg 2");
        session.runLine("B: set destpkg 4");
        runner.passTime(11000);
        ASSERT_TRUE(session.write(path, error)) << error;
        EXPECT_FALSE(session.write(::testing::TempDir() + "no/such/folder/x.scn", error));
        runner.finish();
    }
    std::ifstream in(path);
    std::ostringstream file;
    file << in.rdbuf();
    const std::string recorded = file.str();
    EXPECT_EQ(recorded.substr(0, recorded.find("expect enabled")),
              "# Recorded by panel_host: the steps as they were taken, the virtual time\n"
              "# between them as waits, then the state at the end. Replay: panel_host FILE\n"
              "A: create\nB: create\nuse A\nset matrixobject MTX\nset uselevels 1\n"
              "B: set matrixobject MTX\nB: set uselevels 1\nset srcpkg 1\nset destpkg 3\n"
              "# failed here, so not replayed:\n#   expect sent\n#     ET 1\n#   end\n"
              "# failed here, so not replayed:\n#   C: press Take\n"
              "wait 1500ms\npress Take\nB: expect text Src_UL1 \"\"\nB: set srcpkg 2\nB: set destpkg 4\nwait 11s\n"
              "\n# The state at the end of the recording.\nA: ");
    for (const char* line :
         {"A: expect text Src_UL1 \"VTR 1\"\n", "A: expect enabled Undo\n", "B: expect text Src_L1 \"CAM 2\"\n",
          "B: expect disabled Take\n", "expect crosspoint 31 3 1\n"})
        EXPECT_NE(recorded.find(line), std::string::npos) << line;

    router_model atStart;
    ASSERT_TRUE(atStart.load(sourceDir() + "/examples/installation/SYS/config/system", error)) << error;
    std::ostringstream replayText;
    transcript replayOut(replayText, transcript_style{1, false, false});
    scenario_runner replay(settings, atStart, replayOut);
    ASSERT_TRUE(replay.openModule(error)) << error;
    parsed_scenario parsed = parseScenario(recorded, path);
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors.front().message;
    for (const auto& step : parsed.steps)
        replay.run(step);
    replay.finish();
    EXPECT_TRUE(replayOut.failures().empty()) << replayText.str();
    EXPECT_GT(replay.expectationsChecked(), 40);
}

TEST_F(ScenarioRunner, RefusesModulesItCannotUse)
{
    settings.modulePath = binDir() + "/panel_host_no_export" + suffix;
    scenario_runner runner(settings, routers, out);
    std::string error;
    EXPECT_FALSE(runner.openModule(error));
    EXPECT_NE(error.find("does not export load_zelm_client_script"), std::string::npos) << error;

    settings.modulePath = binDir() + "/no_such_module" + suffix;
    scenario_runner missing(settings, routers, out);
    EXPECT_FALSE(missing.openModule(error));
}

TEST_F(ScenarioRunner, DeliversEventsAndChecksExpectations)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error)) << error;
    run(runner,
        "create\n"
        "expect sent\n"
        "PS '1' 'TessalyQ.zelm_ui'\n"
        "CD '1' 'Take'\n"
        "CD '1' 'Undo'\n"
        "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'\n"
        "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'\n"
        "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'\n"
        "end\n"
        "set matrixobject MTX\n"
        "set uselevels 1\n"
        "get uselevels\n"
        "expect answer none\n"
        "get all\n"
        "expect text ID_L1 Video\n"
        "expect enabled Take\n"       // fails: line 16
        "expect crosspoint 31 3 4\n"  // fails: line 17
        "route 31 4 3\n"
        "expect crosspoint 31 3 4\n"
        "expect sent nothing\n");
    ASSERT_TRUE(runner.componentExists());
    ASSERT_TRUE(runner.lastAnswer().has_value());
    EXPECT_EQ(runner.lastAnswer()->rfind("matrixobject=MTX\nuselevels=1\n", 0), 0u);
    EXPECT_EQ(runner.expectationsChecked(), 7);
    EXPECT_EQ(out.failures(),
              (std::vector<std::string>{"t.scn:16: Take: expected enabled, is disabled",
                                        "t.scn:17: router 31 destination 3: expected source 4, carries 5"}));
    runner.finish();
    EXPECT_FALSE(runner.componentExists());
    EXPECT_EQ(runner.host().sent(), (std::vector<std::string>{"RU 31", "AS"}));
}

TEST_F(ScenarioRunner, StopsAtTheFirstFailureWhenAsked)
{
    settings.stopOnFailure = true;
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error));
    EXPECT_EQ(run(runner, "create\nexpect enabled Take\ndestroy\n"), 2);
    EXPECT_EQ(runner.failureCount(), 1u);
    EXPECT_TRUE(runner.componentExists());
}

TEST_F(ScenarioRunner, StepsThatNeedAComponentFailWithoutOne)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error));
    run(runner, "press Take\nset a b\ncreate\ncreate\n");
    EXPECT_EQ(out.failures(),
              (std::vector<std::string>{"t.scn:1: no component: the scenario must \"create\" it first",
                                        "t.scn:2: no component: the scenario must \"create\" it first",
                                        "t.scn:4: the component exists already; \"destroy\" it first"}));
}

TEST_F(ScenarioRunner, TheFirstNameGivenTakesThePlaceOfMainAndTheNumberIsBounded)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error));
    std::string lines = "A: create\nB: press Take\n";
    for (int i = 2; i <= 65; ++i)
        lines += "use C" + std::to_string(i) + "\n";
    run(runner, lines + "B: tick 1\n");
    std::vector<component_view> components = runner.components();
    ASSERT_EQ(components.size(), 64u);
    EXPECT_EQ(components[0].name, "A");  // the first name given takes the place of "main"
    EXPECT_TRUE(components[0].exists);
    EXPECT_FALSE(components[1].exists);
    EXPECT_EQ(runner.currentComponent(), "C64");
    EXPECT_EQ(out.failures(),
              (std::vector<std::string>{"t.scn:2: no component \"B\": \"use B\" or \"B: create\" first",
                                        "t.scn:66: the facility has 64 components already; no more are made",
                                        "t.scn:67: no component \"B\": \"use B\" or \"B: create\" first"}));
}

TEST_F(ScenarioRunner, NameChangesCarryTheNameInTheRecord)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error));
    run(runner, "create\nset matrixobject MTX\nset uselevels 1\nset srcpkg 5\n"
                "rename 31 0 5 \"A much longer name than the record's declared room|X\"\n");
    EXPECT_EQ(runner.host().sent(),
              std::vector<std::string>{"TP 'text=A much longer name than the record's declared room|X' '1' 'Src_L1'"});
    EXPECT_TRUE(out.failures().empty());
}

TEST_F(ScenarioRunner, TimePassesOnlyWhenTheScenarioWaits)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error));
    run(runner, "create\nset matrixobject MTX\nset uselevels 1\nset srcpkg 1\nset destpkg 3\n"
                "after 1500ms route 31 9 3\n"
                "fault delay 200ms\n");
    EXPECT_EQ(runner.clock().now(), 0);
    EXPECT_TRUE(runner.clock().timerRunning(1));
    run(runner, "wait 1500ms\n");
    EXPECT_EQ(runner.clock().now(), 1500);
    EXPECT_EQ(runner.host().sent(), std::vector<std::string>{"TP 'statesheet=' '1' 'Take'"});
    EXPECT_EQ(routers.device(31)->crosspoint(3), 9);
    // The scheduled route's revertive is still on its way.
    EXPECT_EQ(runner.clock().pending(), 1u);
    run(runner, "wait 200ms\n");
    EXPECT_EQ(runner.clock().pending(), 0u);
}

TEST_F(ScenarioRunner, DestroyingReportsTimersLeftRunning)
{
    settings.modulePath = binDir() + "/panel_host_rude_module" + suffix;
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error)) << error;
    run(runner, "create\nparam timer\ndestroy\n");
    EXPECT_EQ(out.warnings(), 1);
    EXPECT_NE(text.str().find("timer 3 still runs after the component was destroyed"), std::string::npos);
    EXPECT_FALSE(runner.clock().timerRunning(3));
}

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// A name the component does not list is questioned with the nearest it
// does (from its own "_commands" and "return=all", asked of a spare
// component); a control the panel lacks, with the nearest id it shows. The
// spare is never seen: the event record holds the scenario's events alone.
TEST_F(ScenarioRunner, SlipsOfTheKeyboardGetTheNearestName)
{
    settings.recordPath = ::testing::TempDir() + "panel_host_names.rec";
    std::string error;
    {
        scenario_runner runner(settings, routers, out);
        ASSERT_TRUE(runner.openModule(error)) << error;
        run(runner, "create\nset matrixobjet MTX\nset matrixobject MTX\nset uselevels 1,2,3\nset instance 2\n"
                    "param _events\nget all\nset SRCPKG 1\nset mimicstate_L4 x\nset frobnicate 1\n"
                    "press take\npress Unknown\nshow\nshow\n");
        runner.finish();
        EXPECT_TRUE(out.failures().empty());
        std::vector<component_view> views = runner.components();
        ASSERT_EQ(views.size(), 1u);
        EXPECT_EQ(views[0].parameters->at("matrixobject"), "MTX");
        EXPECT_EQ(views[0].parameters->count("return"), 0u);
    }
    const std::string shown = text.str();
    EXPECT_NE(shown.find("warning: the component lists no parameter \"matrixobjet\"; did you mean \"matrixobject\"?"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("warning: the component lists no parameter \"SRCPKG\"; did you mean \"srcpkg\"?"),
              std::string::npos);
    // Three names one edit away: no guess.
    EXPECT_NE(shown.find("no parameter \"mimicstate_L4\" (param _commands and get all show the names it lists)"),
              std::string::npos);
    EXPECT_NE(shown.find("no parameter \"frobnicate\" (param _commands"), std::string::npos);
    EXPECT_EQ(out.warnings(), 4);
    EXPECT_NE(shown.find("shows no control \"take\"; delivered anyway (did you mean \"Take\"?)"), std::string::npos);
    EXPECT_NE(shown.find("shows no control \"Unknown\"; delivered anyway\n"), std::string::npos);
    EXPECT_EQ(countOf(shown, "\"show\" draws the panel only with --picture"), 1u);

    std::ifstream in(settings.recordPath);
    std::ostringstream record;
    record << in.rdbuf();
    EXPECT_EQ(countOf(record.str(), " create "), 1u);
    EXPECT_EQ(countOf(record.str(), " parameter "), 9u);  // the nine lines, no query of ours
    EXPECT_EQ(countOf(record.str(), "_commands"), 0u);
    EXPECT_EQ(countOf(record.str(), "sent \"PS "), 1u);
}

// A module whose components list no names has none questioned.
TEST_F(ScenarioRunner, AModuleThatListsNoNamesHasNoneQuestioned)
{
    settings.modulePath = binDir() + "/panel_host_rude_module" + suffix;
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error)) << error;
    run(runner, "create\nset anything 1\nparam whatever\n");
    EXPECT_EQ(out.warnings(), 0);
    runner.finish();
}

// A press knows the crosspoints it routed, for a view to mark: Take's three
// levels, then Undo's two (Audio 2 was never registered, so Undo leaves it).
TEST_F(ScenarioRunner, APressKnowsWhatItRouted)
{
    scenario_runner runner(settings, routers, out);
    std::string error;
    ASSERT_TRUE(runner.openModule(error)) << error;
    run(runner, "create\nset matrixobject MTX\nset uselevels 1,2,3\nset srcpkg 1\nset destpkg 3\npress Take\n");
    using routes = std::vector<std::pair<int, int>>;
    EXPECT_EQ(runner.lastPress().number, 1);
    EXPECT_EQ(runner.lastPress().control, "Take");
    EXPECT_EQ(runner.lastPress().component, "main");
    EXPECT_EQ(runner.lastPress().routed, (routes{{31, 3}, {32, 3}, {33, 3}}));
    run(runner, "route 31 7 4\npress Undo\n");
    EXPECT_EQ(runner.lastPress().number, 2);
    EXPECT_EQ(runner.lastPress().control, "Undo");
    EXPECT_EQ(runner.lastPress().routed, (routes{{31, 3}, {32, 3}}));
    run(runner, "press Take\n");  // disabled: not delivered, not a press
    EXPECT_EQ(runner.lastPress().number, 2);
    runner.finish();
}

}  // namespace
