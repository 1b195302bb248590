#include "facility/simulated_host.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <sstream>

#include "temp_installation.h"

namespace {

TEST(SimulatedHostHeader, CompilesOnItsOwn)
{
    facility_faults faults;
    EXPECT_EQ(faults.dropPercent, 0);
}

// A host with one small layout in a throw-away folder, a router 31 with
// eight destinations and a names device 20.
class SimulatedHost : public ::testing::Test {
protected:
    SimulatedHost()
        : out(text, transcript_style{1, false, false}), host(panels, routers, clock, out, installation.configDir())
    {
        installation.writeConfig("small.zelm_ui",
                                 "<zelm_ui name=\"Small\"><control id=\"Take\" kind=\"button\" text=\"Take\"/>"
                                 "<control id=\"alm_a\" kind=\"label\"/><control id=\"alm_b\" kind=\"label\"/>"
                                 "</zelm_ui>");
        device_model router(31, "Video", true);
        router.setSize(4, 8);
        router.setName(0, 2, "CAM|2");
        routers.add(router);
        routers.add(device_model(20, "Packages", false));
        routers.device(20)->setName(0, 1, "1,-,3");
    }

    const char* send(const std::string& line) { return host.send(line.c_str(), zelmSendCommand); }
    std::vector<std::string> due()
    {
        std::vector<std::string> seen;
        while (auto item = clock.next(clock.now()))
            seen.push_back(std::to_string(item->device) + "/" + std::to_string(item->destination) + "=" +
                           std::to_string(item->source));
        return seen;
    }

    temp_installation installation;
    std::ostringstream text;
    transcript out;
    panel_model panels;
    router_model routers;
    virtual_clock clock;
    simulated_host host;
};

TEST_F(SimulatedHost, ShowsPanelsAndKeepsControlState)
{
    EXPECT_EQ(send("PS '1' 'missing.zelm_ui'"), nullptr);
    // A panel that cannot be shown fails the run: nothing after it means much.
    std::vector<std::string> problems = host.takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind("PS: cannot show panel '1': ", 0), 0u) << problems[0];
    ASSERT_NE(send("PS '1' 'small.zelm_ui'"), nullptr);
    send("TP 'statesheet=high' '1' 'Take'");
    send("TP 'text=A=B' '1' 'Take'");
    send("CD '1' 'Take'");
    const panel_control* take = panels.find("1", "Take");
    ASSERT_NE(take, nullptr);
    EXPECT_FALSE(take->enabled);
    EXPECT_EQ(*take->property("text"), "A=B");
    send("CE '1' 'Take'");
    EXPECT_TRUE(take->enabled);

    const char* answer = send("TG '1' 'Take' 'statesheet'");
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "statesheet=high");
    host.send(answer, zelmGiveBack);
    answer = send("XI '1' 'alm_'");
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "alm_a,alm_b");
    host.send(answer, zelmGiveBack);
    EXPECT_EQ(send("XI '1' 'zz'"), nullptr);
    EXPECT_TRUE(host.takeUnreturnedAnswers().empty());
    EXPECT_TRUE(host.takeProblems().empty());
    EXPECT_EQ(host.sent().size(), 9u);
}

TEST_F(SimulatedHost, WarnsNamingTheCommandAboutUnknownControlsAndPanels)
{
    send("PS '1' 'small.zelm_ui'");
    send("TP 'text=x' '1' 'Nope'");
    send("CE '2' 'Take'");
    EXPECT_EQ(send("TG '1' 'Nope' 'text'"), nullptr);
    send("TP 'no equals sign' '1' 'Take'");
    EXPECT_EQ(out.warnings(), 4);
    std::string shown = text.str();
    EXPECT_NE(shown.find("warning: TP: panel '1' (Small) has no control 'Nope'"), std::string::npos);
    EXPECT_NE(shown.find("warning: CE: no panel '2' is shown"), std::string::npos);
    EXPECT_NE(shown.find("warning: TG: panel '1' (Small) has no control 'Nope'"), std::string::npos);
    EXPECT_NE(shown.find("warning: TP: 'no equals sign' is not property=value"), std::string::npos);
    // Warnings are not protocol faults.
    EXPECT_TRUE(host.takeProblems().empty());
}

TEST_F(SimulatedHost, RoutesRegistrationsPollsAndNames)
{
    send("RR 31 1 4");
    send("RR 31 7 8 'ADD'");
    EXPECT_TRUE(due().empty());
    send("RC 31 2 3 ',' 0");
    send("RC 31 3 5 ',' 1");  // not registered: no revertive
    send("RC 31 4 8 ',' 0");
    EXPECT_EQ(due(), (std::vector<std::string>{"31/3=2", "31/8=4"}));
    EXPECT_EQ(routers.device(31)->crosspoint(5), 3);
    send("RP 31 0 99");  // clipped to the router's destinations
    EXPECT_EQ(due().size(), 8u);
    send("RU 31");
    send("RC 31 1 1 ',' 0");
    EXPECT_TRUE(due().empty());

    const char* name = send("RN 31 0 2");
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "CAM|2");
    host.send(name, zelmGiveBack);
    EXPECT_EQ(send("RN 31 0 3"), nullptr);
    const char* package = send("RN 20 0 1");
    ASSERT_NE(package, nullptr);
    EXPECT_STREQ(package, "1,-,3");
    host.send(package, zelmGiveBack);
    host.send(nullptr, zelmGiveBack);  // the frame gives back null answers too
    EXPECT_TRUE(host.takeProblems().empty());
}

TEST_F(SimulatedHost, RefusedRoutesChangeNothing)
{
    send("RR 31 1 8");
    send("RC 31 9 1 ',' 0");  // no such source
    send("RC 31 1 9 ',' 0");  // no such destination
    send("RC 20 1 1 ',' 0");  // not a router
    send("RC 77 1 1 ',' 0");  // no such device
    EXPECT_TRUE(due().empty());
    EXPECT_EQ(routers.device(31)->changedDestinations(), std::vector<int>{});
    EXPECT_EQ(out.warnings(), 4);
}

TEST_F(SimulatedHost, AnOfflineRouterIgnoresCommandsAndAnswersNothing)
{
    send("RR 31 1 8");
    routers.device(31)->setOnline(false);
    send("RC 31 2 1 ',' 0");
    send("RP 31 1 8");
    EXPECT_EQ(send("RN 31 0 2"), nullptr);
    EXPECT_TRUE(due().empty());
    EXPECT_EQ(routers.device(31)->crosspoint(1), 0);
    routers.device(31)->setOnline(true);
    send("RC 31 2 1 ',' 0");
    EXPECT_EQ(due(), std::vector<std::string>{"31/1=2"});
}

// A stand-in for a link to a real router: it keeps what it is asked.
struct kept_link : router_link {
    std::vector<std::string> asked;
    std::string describe() const override { return "kept"; }
    std::string connect(int source, int destination) override
    {
        asked.push_back("connect " + std::to_string(source) + " " + std::to_string(destination));
        return std::string();
    }
    void poll(int first, int last, router_reports&) override
    {
        asked.push_back("poll " + std::to_string(first) + " " + std::to_string(last));
    }
};

TEST_F(SimulatedHost, ARealRouterWhoseLinkIsDownKeepsRegistrationsAndPolls)
{
    auto link = std::make_unique<kept_link>();
    kept_link& kept = *link;
    host.setLink(31, std::move(link));
    device_model& router = *routers.device(31);
    router.setLinkUp(false);
    EXPECT_FALSE(router.online());
    send("RR 31 1 8");
    send("RP 31 1 8");
    send("RC 31 2 1 ',' 0");
    const char* name = send("RN 31 0 2");  // from the host's names
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "CAM|2");
    host.send(name, zelmGiveBack);
    EXPECT_EQ(kept.asked, std::vector<std::string>{"poll 1 8"});
    EXPECT_TRUE(host.isRegistered(31, 8));
    EXPECT_NE(text.str().find("device 31 is offline: RC is ignored"), std::string::npos);

    // Back: what the router reports reaches the registration made meanwhile,
    // merged with what is still on its way.
    router.setLinkUp(true);
    router.record(3, 5);
    host.reportChange(router, 5);
    router.record(4, 5);
    host.reportChange(router, 5);
    EXPECT_EQ(due(), std::vector<std::string>{"31/5=4"});

    // A fault is another matter: everything is lost, as for a simulated router.
    router.setOnline(false);
    send("RR 31 1 2");
    send("RP 31 1 2");
    EXPECT_EQ(kept.asked.size(), 1u);
    EXPECT_TRUE(host.isRegistered(31, 8));
}

TEST_F(SimulatedHost, FaultsDelayDropAndDuplicateRevertives)
{
    send("RR 31 1 8");
    host.faults().delay = 250;
    send("RC 31 2 1 ',' 0");
    EXPECT_TRUE(due().empty());
    clock.advanceTo(250);
    EXPECT_EQ(due(), std::vector<std::string>{"31/1=2"});
    host.faults().delay = 0;
    host.faults().dropPercent = 100;
    send("RP 31 1 8");
    EXPECT_TRUE(due().empty());
    host.faults().dropPercent = 0;
    host.faults().duplicatePercent = 100;
    send("RC 31 3 2 ',' 0");
    EXPECT_EQ(due(), (std::vector<std::string>{"31/2=3", "31/2=3"}));
    EXPECT_NE(text.str().find("fault: 8 revertives lost"), std::string::npos);
}

TEST_F(SimulatedHost, SameSeedSameLosses)
{
    auto lossesWith = [this](std::uint32_t seed) {
        host.seed(seed);
        host.faults().dropPercent = 50;
        send("RR 31 1 8");
        send("RP 31 1 8");
        return due();
    };
    std::vector<std::string> first = lossesWith(42);
    std::vector<std::string> again = lossesWith(42);
    EXPECT_EQ(first, again);
    EXPECT_LT(first.size(), 8u);
}

TEST_F(SimulatedHost, ReportsAnswersNotGivenBackOrGivenBackTwice)
{
    const char* kept = send("RN 31 0 2");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(host.takeUnreturnedAnswers(), std::vector<std::string>{"RN 31 0 2"});
    EXPECT_TRUE(host.takeUnreturnedAnswers().empty());  // reported once
    host.send(kept, zelmGiveBack);
    host.send(kept, zelmGiveBack);
    char foreign[] = "x";
    host.send(foreign, zelmGiveBack);
    const char* shown = send("PS '1' 'small.zelm_ui'");
    host.send(shown, zelmGiveBack);
    EXPECT_EQ(host.takeProblems(),
              (std::vector<std::string>{"the answer to \"RN 31 0 2\" was given back twice",
                                        "a text the host never handed out was given back",
                                        "the answer to PS was given back, though it is never to be"}));
}

TEST_F(SimulatedHost, MalformedCommandsAreProtocolFaults)
{
    send("ZZ 1");
    send("RC 31 x 1 ',' 0");
    send("RC 31 1 1 ',' 2");
    send("ET one");
    host.send("AS", 3);
    EXPECT_EQ(host.takeProblems(),
              (std::vector<std::string>{"malformed command \"ZZ 1\": unknown command \"ZZ\"",
                                        "RC: \"x\" is not a number", "RC: the flag \"2\" is neither 0 nor 1",
                                        "ET: \"one\" is not a number", "send with unknown kind 3: \"AS\""}));
}

TEST_F(SimulatedHost, TimersAndNotices)
{
    send("ET 1 1000");
    EXPECT_TRUE(clock.timerRunning(1));
    send("ET 1");
    EXPECT_FALSE(clock.timerRunning(1));
    send("HN 'selected=-1'");
    EXPECT_EQ(host.notices(), std::deque<std::string>{"selected=-1"});
    // A long run keeps only the last ones.
    for (std::size_t notice = 0; notice < simulated_host::keptNotices + 5; ++notice)
        send("HN 'n=" + std::to_string(notice) + "'");
    ASSERT_EQ(host.notices().size(), simulated_host::keptNotices);
    EXPECT_EQ(host.notices().front(), "n=5");
    EXPECT_EQ(host.notices().back(), "n=" + std::to_string(simulated_host::keptNotices + 4));
    host.clearSent();
    EXPECT_TRUE(host.sent().empty());
}

TEST(LayoutPath, RelativePathsAreReadBelowTheLayoutFolder)
{
    EXPECT_EQ(resolveLayoutPath("TessalyQ.zelm_ui", "/opt/panels"),
              (std::filesystem::path("/opt/panels") / "TessalyQ.zelm_ui").string());
    std::string absolute = std::filesystem::absolute("TessalyQ.zelm_ui").string();
    EXPECT_EQ(resolveLayoutPath(absolute, "/opt/panels"), absolute);
    EXPECT_EQ(resolveLayoutPath("x.zelm_ui", ""), "x.zelm_ui");
}

}  // namespace
