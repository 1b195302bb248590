// The router links wired to the runner, against the protocol doubles over
// TCP on loopback: the demo scenario gives the same transcript on either
// double as on the simulated router, and a router's label change reaches
// the panel from the loop, once per label however often it changed.
#include "app/router_wiring_run.h"

namespace {

using namespace wiring_test;

std::string runDemo(const std::string& protocol)
{
    std::ifstream file(std::string(ZELM_SOURCE_DIR) + "/examples/scenarios/demo.scn");
    std::stringstream scenario;
    scenario << file.rdbuf();
    run_settings settings;
    settings.protocol = protocol;
    sample_run demo(settings);
    demo.run(scenario.str());
    return demo.finish();
}

run_settings videohub()
{
    run_settings settings;
    settings.protocol = "videohub";
    return settings;
}

TEST(VideohubNames, ALabelChangeOnTheRouterIsShownByThePanel)
{
    sample_run run(videohub());
    run.run("create\nset matrixobject MTX\nset uselevels 1,2,3\nset srcpkg 5\nset destpkg 3\n"
            "expect text Src_L1 \"VTR 1\"\n");
    static_cast<videohub_double*>(run.router.get())->relabel(0, 4, "VTR|1 NEW");  // panel source 5
    run.runFor(100ms);
    run.run("say next\nexpect text Src_L1 \"VTR|1 NEW\"\nset srcpkg 5\nexpect text Src_L1 \"VTR 1 NEW\"\n");
    std::string transcript = run.finish();
    EXPECT_NE(transcript.find("name 5 of database 0 on device 31 becomes \"VTR|1 NEW\""), std::string::npos)
        << transcript;
}

TEST(VideohubNames, AFloodOfLabelsCostsOneEntryAndOneChangePerLabel)
{
    sample_run run(videohub());
    run.run("create\nset matrixobject MTX\nset uselevels 1,2,3\nset srcpkg 1\nset destpkg 3\n");
    auto* hub = static_cast<videohub_double*>(run.router.get());
    // 20,000 changes of input 1's label while no step runs: the host's
    // database follows each, the clock holds one delivery.
    hub->floodLabels(20000);
    ASSERT_TRUE(run.runUntil([&] { return run.routers().device(31)->name(0, 1) == std::string("Flood 20000"); }));
    EXPECT_EQ(run.clock().pending(), 1u);
    run.run("say next\nexpect text Src_L1 \"Flood 20000\"\n");
    std::string transcript = run.finish();
    EXPECT_EQ(linesWith(transcript, "on device 31 becomes").size(), 1u) << transcript;
    EXPECT_EQ(linesWith(transcript, "name 1 of database 0 on device 31 becomes \"Flood 20000\"").size(), 1u);
}

TEST(DemoAgainstDoubles, TranscriptEqualsTheSimulatedRouters)
{
    std::string simulated = runDemo("simulated");
    EXPECT_NE(simulated.find("revertives from 31: 1<12 2<12 3<5"), std::string::npos);
    EXPECT_EQ(runDemo("swp08"), simulated);
    EXPECT_EQ(runDemo("videohub"), simulated);
}

}  // namespace
