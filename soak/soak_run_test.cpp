#include "soak_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/options.h"

namespace {

soak_settings settingsFor(std::uint32_t seed, int steps)
{
    host_options paths;
    paths.installation = "unused";
    const char* binDir = std::getenv("ZELM_BIN_DIR");
    applyDefaults(paths, binDir != nullptr ? binDir : ".");
    soak_settings settings;
    settings.seed = seed;
    settings.steps = steps;
    settings.modulePath = paths.module;
    settings.layoutDir = paths.layouts;
    settings.loadData = paths.data;
    return settings;
}

TEST(SoakRun, HeaderCompilesOnItsOwn)
{
    const soak_result result;
    EXPECT_TRUE(result.passed);
}

TEST(SoakRun, ShortRunsPassAndCheckRestorations)
{
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const soak_result result = runSoak(settingsFor(seed, 3000));
        ASSERT_TRUE(result.passed) << "seed " << seed << ": " << result.failure;
        // A random step may take a few lines (a reconfiguration, a re-creation);
        // the destruction at the end comes on top.
        EXPECT_GE(result.stepsRun, 3000);
        EXPECT_LE(result.stepsRun, 3000 + 10);
        EXPECT_EQ(result.scenario.size(), static_cast<std::size_t>(result.stepsRun));
        EXPECT_EQ(result.scenario.back(), "destroy");
        EXPECT_GT(result.armings, 0);
        EXPECT_GT(result.takesChecked, 0) << "seed " << seed << ": no Take/Undo pair was compared";
    }
}

TEST(SoakRun, TheSameSeedReplaysTheSameRun)
{
    const soak_result first = runSoak(settingsFor(42, 2000));
    const soak_result again = runSoak(settingsFor(42, 2000));
    const soak_result other = runSoak(settingsFor(43, 2000));
    ASSERT_TRUE(first.passed) << first.failure;
    EXPECT_EQ(first.scenario, again.scenario);
    EXPECT_EQ(first.digest, again.digest);
    EXPECT_NE(first.digest, other.digest);
}

TEST(SoakRun, AModuleThatCannotBeLoadedIsReportedNotRun)
{
    soak_settings settings = settingsFor(1, 10);
    settings.modulePath = "/nonexistent/Tessaly_Q.so";
    const soak_result result = runSoak(settings);
    EXPECT_FALSE(result.passed);
    EXPECT_EQ(result.stepsRun, 0);
    EXPECT_NE(result.failure.find("cannot load the module"), std::string::npos) << result.failure;
}

}  // namespace
