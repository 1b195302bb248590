// What a real router does to the panel's truth, through the whole road:
// the runner and its panel module, the links wired as panel_host wires
// them, and a protocol double on loopback that misbehaves on command. Each
// test runs scenario lines whose expectations say what the panel must show
// or route, and reads the transcript for what the host told.
#include "app/router_wiring_run.h"

#include <algorithm>

namespace {

using namespace wiring_test;

// The demo's start: the panel registers and polls routers 31 and 32.
const char* const configure = "create\nset matrixobject MTX\nset uselevels 1,2,3\n";

run_settings on(const std::string& protocol)
{
    run_settings settings;
    settings.protocol = protocol;
    return settings;
}

bool carries(sample_run& run, int destination, int source)
{
    return run.runUntil([&] { return run.routers().device(31)->crosspoint(destination) == source; });
}

class RouterTruth : public ::testing::TestWithParam<std::string> {};

// The router answers half a second after panel_host started: what the panel
// asked meanwhile is answered then, and from then on every route reaches it.
TEST_P(RouterTruth, StartingBeforeTheRouterIsAnOrdinaryCase)
{
    run_settings settings = on(GetParam());
    settings.startLate = true;
    settings.routerRoutes = {{2, 3}};  // MON 3 carries CAM 4 (the file says VTR 1)
    sample_run run(settings);
    run.run(configure);
    run.router->refuse(false);
    ASSERT_TRUE(run.runUntil([&] { return run.linkSettled(); }));
    run.run("say the router is up\nexpect crosspoint 31 3 4\nset srcpkg 1\nset destpkg 3\npress Take\n"
            "expect text Src_UL1 \"CAM 4\"\nexpect crosspoint 31 3 1\n");
    run.router->routeByOther(2, 10);  // another controller: STUDIO B to MON 3
    ASSERT_TRUE(carries(run, 3, 11));
    run.run("say another controller routed\nset srcpkg 2\nset destpkg 3\npress Take\n"
            "expect text Src_UL1 \"STUDIO B\"\npress Undo\nexpect crosspoint 31 3 11\n");
    std::string transcript = run.finish();
    EXPECT_EQ(linesWith(transcript, "router 31: not connected: the poll of 1 to 32 is answered once").size(), 1u)
        << transcript;
    // The kept poll is answered with the router's routing, whole: what the
    // refresh found changed first, then the rest.
    EXPECT_EQ(linesWith(transcript, "revertives from 31: 3<4 13<1 ").size(), 1u) << transcript;
    EXPECT_EQ(linesWith(transcript, "(32 in all)").size(), 1u) << transcript;
    // Another controller's route, then the Undo of the Take that followed.
    EXPECT_EQ(linesWith(transcript, "revertive from 31: 3<11").size(), 2u) << transcript;
}

// A router tells of changes it made without a connected message: a tally of
// one output, a dump of all. The panel hears them, so that Undo restores
// what the router carried.
TEST(RouterTruthSwp08, UnsolicitedTalliesAndDumpsReachThePanel)
{
    sample_run run(on("swp08"));
    run.run(configure);
    auto* swp = static_cast<swp08_double*>(run.router.get());
    swp->setRouteQuietly(0, 9);   // STUDIO A on MON 1
    swp->setRouteQuietly(1, 10);  // STUDIO B on MON 2
    swp->setRouteQuietly(2, 11);  // BARS on MON 3
    swp->sendTally(0);
    swp->sendDump();
    ASSERT_TRUE(carries(run, 3, 12));
    run.run("say the router told\nset srcpkg 1\nset destpkg 3\npress Take\nexpect text Src_UL1 \"BARS\"\n"
            "press Undo\nexpect crosspoint 31 3 12\n"
            "set srcpkg 1\nset destpkg 1\npress Take\nexpect text Src_UL1 \"STUDIO A\"\n"
            "set srcpkg 1\nset destpkg 2\npress Take\nexpect text Src_UL1 \"STUDIO B\"\n");
    std::string transcript = run.finish();
    EXPECT_EQ(linesWith(transcript, "revertives from 31: 1<10 2<11 3<12").size(), 1u) << transcript;
}

// The router restarts with other routing: the link reads its whole state
// again, however the router answers the dump, and the panel hears of every
// destination that changed.
class RouterRestart : public ::testing::TestWithParam<std::string> {};

TEST_P(RouterRestart, ARouterThatRestartsWithOtherRoutingIsReadAgain)
{
    std::string way = GetParam();
    sample_run run(on(way == "videohub" ? "videohub" : "swp08"));
    run.run(configure);
    if (way != "videohub")
        runDoubleCommand(*run.router, "dump-answer " + way);
    // Every output moves three inputs on: MON 3 carries source 5 + 3 = 8 (SAT 1).
    EXPECT_EQ(runDoubleCommand(*run.router, "restart 3 100"), "");
    device_model& device = *run.routers().device(31);
    const double_state& truth = run.router->state();
    auto same = [&] {
        for (int output = 0; output < truth.outputs; ++output)
            if (device.crosspoint(output + 1) != truth.routes[static_cast<std::size_t>(output)] + 1)
                return false;
        return true;
    };
    ASSERT_TRUE(run.runUntil([&] { return run.linkSettled() && same(); }));
    run.run("say after the restart\nset srcpkg 1\nset destpkg 3\npress Take\nexpect text Src_UL1 \"SAT 1\"\n"
            "press Undo\nexpect crosspoint 31 3 8\n");
    std::string transcript = run.finish();
    EXPECT_EQ(linesWith(transcript, "router 31: state refreshed: 32 destinations read, 32 changed").size(), 1u)
        << transcript;
    EXPECT_EQ(linesWith(transcript, "revertives from 31: 1<15 2<15 3<8 ").size(), 1u) << transcript;
    EXPECT_TRUE(linesWith(transcript, "polled destinations").empty()) << transcript;
}

// Bytes beyond their field's range are refused, never read with the top bit
// masked off; numbers beyond the simulator's limit likewise.
TEST_P(RouterTruth, OutOfRangeBytesAndIndicesAreRefused)
{
    sample_run run(on(GetParam()));
    run.run(configure);
    run.router->sendOutOfRange();
    run.router->routeByOther(0, 3);  // a good report behind them
    ASSERT_TRUE(carries(run, 1, 4));
    run.run("say after\nexpect crosspoint 31 7 6\nexpect crosspoint 31 1 4\n");
    std::string transcript = run.finish();
    if (GetParam() == "swp08") {
        EXPECT_EQ(linesWith(transcript, "router 31: SW-P-08: message 4 refused: byte 4 (86, the destination) out "
                                        "of its range 00 to 7F")
                      .size(),
                  1u)
            << transcript;
        EXPECT_EQ(linesWith(transcript, "router 31: reports source 2 on destination 65537, beyond the simulator's "
                                        "limit of 65536; refused")
                      .size(),
                  1u)
            << transcript;
    } else {
        EXPECT_EQ(linesWith(transcript, "router 31: names index 70001 of database 0, beyond the simulator's limit "
                                        "of 65536; refused")
                      .size(),
                  1u)
            << transcript;
        EXPECT_EQ(linesWith(transcript, "router 31: Videohub: label 1 longer than 255 bytes; skipped").size(), 1u);
        EXPECT_EQ(linesWith(transcript, "on destination 70001, beyond the simulator's limit of 65536; refused").size(),
                  1u);
    }
}

// A router sending nothing but junk costs the transcript a few lines a
// second, and the count of the rest.
TEST_P(RouterTruth, JunkCostsAFewLinesASecond)
{
    sample_run run(on(GetParam()));
    run.run(configure);
    std::size_t before = run.text().size();
    run.router->floodJunk(200000);
    run.runFor(1500ms);
    std::string told = run.text().substr(before);
    EXPECT_LT(told.size(), 20000u) << told.substr(0, 2000);
    EXPECT_FALSE(linesWith(told, "more notes from router 31 in the last second").empty()) << told.substr(0, 2000);
    EXPECT_GT(run.link()->notesLeftOut(), 1000u);
    // Damaged frames get a NAK each only up to a rate.
    const auto& asked = run.router->requests();
    EXPECT_LE(std::count(asked.begin(), asked.end(), "NAK"), 60);
    run.run("say after\nexpect crosspoint 31 3 5\n");
    run.finish();
}

// A router that floods and reads slowly: what waits to be sent to it stays
// bounded, the link is dropped and tried again, and what it flooded costs
// the clock one revertive.
TEST(RouterTruthSwp08, APeerThatFloodsAndReadsSlowlyIsDroppedWithBoundedBuffers)
{
    run_settings settings = on("swp08");
    settings.timing.maxOutgoing = 64 * 1024;
    settings.timing.sendBuffer = 4096;
    sample_run run(settings);
    run.run(configure);
    run.router->readSlowly(64);
    run.router->floodReports(1000000);
    const std::string dropped = "router 31: more than 64 KiB waiting to be sent: the router reads too slowly; offline";
    ASSERT_TRUE(run.runUntil([&] { return !linesWith(run.text(), dropped).empty(); }, 30000ms))
        << run.text().substr(0, 4000);
    EXPECT_LE(run.link()->connection().mostOutgoing(), 64u * 1024u);
    EXPECT_LE(run.clock().pending(), 1u);
    run.router->readSlowly(0);
    // The flood ended when its client left; the routing it left is the truth.
    ASSERT_TRUE(run.runUntil([&] { return run.linkSettled() && !run.router->isFlooding(); }));
    int source = run.router->state().routes[0] + 1;
    ASSERT_TRUE(carries(run, 1, source));  // its last reports may still be on the way
    run.run("say after\nexpect crosspoint 31 1 " + std::to_string(source) + "\n");
    std::string transcript = run.finish();
    EXPECT_EQ(linesWith(transcript, "router 31: connected again to SW-P-08").size(), 1u) << transcript;
}

INSTANTIATE_TEST_SUITE_P(Protocols, RouterTruth, ::testing::Values("swp08", "videohub"),
                         [](const auto& param) { return param.param; });
INSTANTIATE_TEST_SUITE_P(Answers, RouterRestart, ::testing::Values("dump", "tallies", "none", "videohub"),
                         [](const auto& param) { return param.param; });

}  // namespace
