// The pieces every soak shares, driven by fixed lines instead of chance: the
// loop's steps, digest and failures, the report's texts, the random range.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "facility/router_model.h"
#include "soak_loop.h"
#include "soak_random.h"
#include "soak_report.h"
#include "temp_installation.h"

namespace {

runner_settings moduleSettings()
{
    host_options paths;
    paths.installation = "unused";
    const char* binDir = std::getenv("ZELM_BIN_DIR");
    applyDefaults(paths, binDir != nullptr ? binDir : ".");
    runner_settings settings;
    settings.modulePath = paths.module;
    settings.layoutDir = paths.layouts;
    settings.loadData = paths.data;
    return settings;
}

// Opens with "create", then runs `lines` in turn, closes with "destroy".
class fixed_lines final : public soak_generator {
public:
    fixed_lines(soak_loop& loop, std::vector<std::string> lines) : loop_(loop), lines_(std::move(lines)) {}
    void begin() override { loop_.step("create"); }
    void randomStep() override { loop_.step(lines_[next_++ % lines_.size()]); }
    void end() override
    {
        ended = true;
        loop_.step("destroy");
    }
    bool ended = false;

private:
    soak_loop& loop_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

struct fixed_run {
    soak_outcome outcome;
    std::vector<std::string> sent;  // what the hook saw
    bool ended = false;
};

fixed_run runFixed(const std::vector<std::string>& lines, int steps)
{
    temp_installation install;
    install.writeThreeLevelMatrix(16);
    router_model routers;
    std::string error;
    EXPECT_TRUE(routers.load(install.systemDir(), error)) << error;
    fixed_run run;
    soak_loop loop(run.outcome);
    loop.onSent([&run](const std::string& line) { run.sent.push_back(line); });
    if (!loop.open(moduleSettings(), routers))
        return run;
    fixed_lines generator(loop, lines);
    loop.run(steps, generator);
    run.ended = generator.ended;
    return run;
}

const std::vector<std::string> operatorLines = {"set matrixobject MTX", "set srcpkg 1", "set destpkg 2", "wait 300ms",
                                                "press Take"};

TEST(SoakLoop, RunsItsStepsAndFoldsEveryCommandIntoTheDigest)
{
    const fixed_run first = runFixed(operatorLines, 30);
    ASSERT_TRUE(first.outcome.passed) << first.outcome.failure;
    EXPECT_TRUE(first.ended);
    // "create", 29 lines up to the 30th step, then "destroy".
    ASSERT_EQ(first.outcome.stepsRun, 31);
    ASSERT_EQ(first.outcome.scenario.size(), 31U);
    EXPECT_EQ(first.outcome.scenario.front(), "create");
    EXPECT_EQ(first.outcome.scenario[1], "set matrixobject MTX");
    EXPECT_EQ(first.outcome.scenario.back(), "destroy");
    EXPECT_GT(first.outcome.hostEvents, 0);
    EXPECT_EQ(first.sent.size(), static_cast<std::size_t>(first.outcome.hostEvents));
    EXPECT_EQ(first.sent.back(), "AS");

    const fixed_run again = runFixed(operatorLines, 30);
    EXPECT_EQ(again.sent, first.sent);
    EXPECT_EQ(again.outcome.digest, first.outcome.digest);
    std::vector<std::string> otherLines = operatorLines;
    otherLines[3] = "press Enable_L1";  // a level toggled: its tick or cross is drawn anew
    EXPECT_NE(runFixed(otherLines, 30).outcome.digest, first.outcome.digest);
}

TEST(SoakLoop, AnUnreadableLineEndsTheRunAndKeepsTheLinesBeforeIt)
{
    std::vector<std::string> lines(40, "wait 100ms");
    lines.emplace_back("no such line");
    const fixed_run run = runFixed(lines, 1000);
    EXPECT_FALSE(run.outcome.passed);
    EXPECT_FALSE(run.ended);
    EXPECT_EQ(run.outcome.stepsRun, 41);
    EXPECT_EQ(run.outcome.failure.rfind("step 41: the soak wrote a line the simulator cannot read: no such line: ", 0),
              0U)
        << run.outcome.failure;
    ASSERT_EQ(run.outcome.recentLines.size(), 25U);
    EXPECT_EQ(run.outcome.recentLines.back(), "no such line");
    EXPECT_EQ(run.outcome.recentLines.front(), "wait 100ms");
    EXPECT_EQ(run.outcome.scenario.size(), 42U);
}

TEST(SoakLoop, AFailureTheSimulatorReportsEndsTheRun)
{
    const fixed_run run = runFixed({"set matrixobject MTX", "expect enabled Take"}, 100);
    EXPECT_FALSE(run.outcome.passed);
    EXPECT_FALSE(run.ended);
    EXPECT_EQ(run.outcome.stepsRun, 3);
    EXPECT_EQ(run.outcome.failure.rfind("step 3: the simulator reports: ", 0), 0U) << run.outcome.failure;
    EXPECT_EQ(run.outcome.recentLines,
              (std::vector<std::string>{"create", "set matrixobject MTX", "expect enabled Take"}));
}

TEST(SoakLoop, TheFirstFailureIsTheOneReported)
{
    soak_outcome outcome;
    soak_loop loop(outcome);
    loop.fail("the first");
    loop.fail("the second");
    EXPECT_FALSE(loop.passed());
    EXPECT_EQ(outcome.failure, "step 0: the first");
    EXPECT_FALSE(loop.step("wait 100ms"));
    EXPECT_TRUE(outcome.scenario.empty());
}

TEST(SoakReport, TellsAFailureAPassAndTheScenario)
{
    soak_outcome outcome;
    outcome.passed = false;
    outcome.stepsRun = 7;
    outcome.failure = "step 7: it broke";
    outcome.scenario = {"create", "wait 100ms", "press Take"};
    outcome.recentLines = {"wait 100ms", "press Take"};
    const soak_run_name run{"some_soak", 42, 100};

    std::ostringstream failure;
    reportSoakFailure(failure, run, outcome);
    EXPECT_EQ(failure.str(), "some_soak: FAILED with seed 42, step 7: it broke\n"
                             "  the last lines run:\n"
                             "    wait 100ms\n"
                             "    press Take\n"
                             "  replay: some_soak --seed 42 --steps 100\n");

    outcome.passed = true;
    outcome.seconds = 0.5;
    outcome.hostEvents = 12;
    outcome.digest = 0xabc;
    std::ostringstream pass;
    reportSoakPass(pass, run, outcome, "3 things");
    reportSoakPass(pass, run, outcome, "");
    EXPECT_EQ(pass.str(), "some_soak: passed 7 steps in 0.5 s (14 steps/s, 12 commands), 3 things, digest abc\n"
                          "some_soak: passed 7 steps in 0.5 s (14 steps/s, 12 commands), digest abc\n");

    const temp_installation folder;
    const std::string path = folder.root() + "/run.scn";
    ASSERT_TRUE(writeSoakScenario(path, run, outcome));
    std::ifstream in(path);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), "# some_soak --seed 42 --steps 100\ncreate\nwait 100ms\npress Take\n");
    EXPECT_FALSE(writeSoakScenario(folder.root() + "/no/such/folder/run.scn", run, outcome));
}

TEST(SoakRandom, BetweenReachesBothEndsAndNothingBeyond)
{
    soak_random random(7);
    bool low = false;
    bool high = false;
    for (int draw = 0; draw < 2000; ++draw) {
        const int value = random.between(-1, 3);
        ASSERT_GE(value, -1);
        ASSERT_LE(value, 3);
        low = low || value == -1;
        high = high || value == 3;
    }
    EXPECT_TRUE(low);
    EXPECT_TRUE(high);
    static const int items[] = {10, 20, 30};
    soak_random same(7);
    soak_random other(7);
    for (int draw = 0; draw < 50; ++draw)
        EXPECT_EQ(same.pick(items), items[other.below(3)]);
}

}  // namespace
