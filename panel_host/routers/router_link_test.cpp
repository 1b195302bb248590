// The SW-P-08 and Videohub links against the protocol doubles, over TCP on
// loopback, on one event loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "routers/doubles/router_doubles.h"
#include "routers/swp08_codec.h"
#include "routers/swp08_link.h"
#include "routers/videohub_link.h"
#include "temp_installation.h"

namespace {

using namespace std::chrono_literals;

struct recorded_reports : router_reports {
    std::vector<std::string> events;
    void reportChange(device_model& device, int destination) override
    {
        events.push_back("change " + std::to_string(destination) + "<-" +
                         std::to_string(*device.crosspoint(destination)));
    }
    void reportPolled(device_model& device, int destination) override
    {
        events.push_back("polled " + std::to_string(destination) + "<-" +
                         std::to_string(*device.crosspoint(destination)));
    }
    void reportName(device_model& device, int database, int index) override
    {
        events.push_back("name " + std::to_string(database) + "/" + std::to_string(index) + " " +
                         device.name(database, index).value_or("(none)"));
    }
    void reportLink(const device_model&, const std::string& text, level how) override
    {
        if (how != level::detail)
            events.push_back(std::string(how == level::note ? "note: " : "warning: ") + text);
    }
    bool has(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
    bool hasStart(const std::string& start) const
    {
        return std::any_of(events.begin(), events.end(),
                           [&](const std::string& event) { return event.rfind(start, 0) == 0; });
    }
};

// Quick retries; answers may take long (valgrind runs these tests too), as
// only the test of a router that never answers waits for a time-out.
link_timing testTiming(std::chrono::milliseconds ack = 2000ms)
{
    link_timing timing;
    timing.ack = ack;
    timing.reply = 2000ms;
    timing.firstRetry = 50ms;
    timing.longestRetry = 200ms;
    timing.connect = 2000ms;
    return timing;
}

// A 24 x 32 router whose output o carries input o % 24, seen by a link with
// the default offset: panel destination d carries panel source d (d <= 24).
class RouterLink : public ::testing::TestWithParam<std::string> {
protected:
    RouterLink() : device(31, "Video", true), other(31, "Video", true)
    {
        device.setSize(24, 32);
        other.setSize(24, 32);
        double_state state = double_state::ofSize(24, 32);
        for (int o = 0; o < 32; ++o)
            state.routes[static_cast<std::size_t>(o)] = o % 24;
        if (swp08())
            router = std::make_unique<swp08_double>(loop.context(), state);
        else
            router = std::make_unique<videohub_double>(loop.context(), state);
        std::string error;
        EXPECT_TRUE(router->listen(0, error)) << error;
        link = makeLink(device, reports);
        link->start();
        EXPECT_TRUE(link->waitForFirstAttempt());
        // What the refresh after the connect reported is another test's.
        reports.events.clear();
    }

    bool swp08() const { return GetParam() == "swp08"; }
    std::unique_ptr<network_link> makeLink(device_model& model, recorded_reports& to, link_timing timing = testTiming())
    {
        link_address address{"127.0.0.1", router->port()};
        if (swp08())
            return std::make_unique<swp08_link>(loop, model, to, address, 1, timing, 0, 0);
        return std::make_unique<videohub_link>(loop, model, to, address, 1, timing);
    }
    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done, 20000ms); }

    event_loop loop;
    device_model device, other;
    recorded_reports reports, otherReports;
    std::unique_ptr<router_double> router;
    std::unique_ptr<network_link> link;
};

TEST_P(RouterLink, RoutesPollsAndHearsASecondClient)
{
    link->poll(1, 3, reports);
    EXPECT_EQ(reports.events, (std::vector<std::string>{"polled 1<-1", "polled 2<-2", "polled 3<-3"}));
    reports.events.clear();

    EXPECT_EQ(link->connect(5, 3), "");
    EXPECT_EQ(router->state().routes[2], 4);
    EXPECT_EQ(reports.events, std::vector<std::string>{"change 3<-5"});
    EXPECT_EQ(*device.crosspoint(3), 5);

    // A second client routes: the first hears it as a report.
    auto second = makeLink(other, otherReports);
    second->start();
    ASSERT_TRUE(second->waitForFirstAttempt());
    EXPECT_EQ(second->connect(9, 12), "");
    EXPECT_TRUE(runUntil([&] { return reports.has("change 12<-9"); })) << ::testing::PrintToString(reports.events);

    EXPECT_EQ(link->connect(0, 3), "source 0 has no number on the router (the park source; see Offset=)");
    EXPECT_EQ(link->connect(1, 0), "destination 0 has no number on the router");
}

TEST_P(RouterLink, IsLostAndFoundAgainAndRefreshesItsStateThenAnswersThePollsKept)
{
    router->refuse(true);
    router->dropClients();
    ASSERT_TRUE(runUntil([&] { return !device.online(); }));
    EXPECT_TRUE(reports.hasStart("note: the router closed the connection; offline, next attempt in 0.05 s"))
        << ::testing::PrintToString(reports.events);
    EXPECT_EQ(link->connect(2, 2), "the router is offline");
    // Attempts while the router refuses are not told one by one.
    loop.runFor(300ms);
    EXPECT_EQ(std::count_if(reports.events.begin(), reports.events.end(),
                            [](const std::string& e) { return e.find("offline") != std::string::npos; }),
              1);
    // A poll while it is away is kept, and answered once it is back.
    reports.events.clear();
    link->poll(3, 4, reports);
    EXPECT_EQ(link->pollsWaiting(), 1u);

    // It comes back routed otherwise: the refresh finds it and tells it as
    // changes, then answers the poll from what it found.
    router->setRouteQuietly(3, 9);
    router->refuse(false);
    ASSERT_TRUE(runUntil([&] { return device.online() && link->settled() && reports.has("polled 4<-10"); }))
        << ::testing::PrintToString(reports.events);
    EXPECT_EQ(reports.events,
              (std::vector<std::string>{"note: not connected: the poll of 3 to 4 is answered once the router is back",
                                        "note: connected again to " + link->describe(), "change 4<-10",
                                        "note: state refreshed: 32 destinations read, 1 changed", "polled 3<-3",
                                        "polled 4<-10"}));
    EXPECT_EQ(link->connect(2, 2), "");
}

TEST_P(RouterLink, ARouterThatNeverAcknowledgesIsOffline)
{
    link.reset();
    link = makeLink(device, reports, testTiming(100ms));
    link->start();
    ASSERT_TRUE(link->waitForFirstAttempt());
    router->silence(true);
    std::string refusal = link->connect(2, 2);
    EXPECT_EQ(refusal,
              swp08() ? "the router is offline (no ACK to 6 requests)" : "the router is offline (no ACK to 1 request)");
    EXPECT_FALSE(device.online());
    std::size_t connects = 0;
    for (const auto& request : router->requests())
        connects += request.rfind(swp08() ? "02 " : "VIDEO OUTPUT ROUTING: 1 1", 0) == 0 ? 1 : 0;
    EXPECT_EQ(connects, swp08() ? 6u : 1u);
}

// Polls asked while the router is away are kept to be answered on its
// return, within a limit counted in entries: an asker's new range joins its
// kept one, an asker beyond the limit is told its poll is dropped, and
// every poll kept is answered once the router is back.
TEST_P(RouterLink, PollsKeptWhileAwayStayWithinTheirLimitAndAreAnswered)
{
    router->refuse(true);
    router->dropClients();
    ASSERT_TRUE(runUntil([&] { return !device.online(); }));
    std::vector<recorded_reports> askers(network_link::maxWaitingPolls + 6);
    for (std::size_t at = 0; at < network_link::maxWaitingPolls; ++at)
        link->poll(1, 1, askers[at]);
    // A new second of notes (they are limited to a few a second), so that
    // the warnings below are told.
    loop.runFor(1100ms);
    reports.events.clear();
    for (std::size_t at = network_link::maxWaitingPolls; at < askers.size(); ++at)
        link->poll(1, 1, askers[at]);
    link->poll(20, 20, askers[1]);  // a scattered range of a kept asker: joined, not dropped
    EXPECT_EQ(link->pollsWaiting(), network_link::maxWaitingPolls);
    EXPECT_EQ(std::count(reports.events.begin(), reports.events.end(),
                         "warning: too many polls kept; the poll of 1 to 1 is dropped"),
              6)
        << ::testing::PrintToString(reports.events);
    EXPECT_FALSE(reports.hasStart("warning: too many polls kept; the poll of 20"));

    router->refuse(false);
    ASSERT_TRUE(
        runUntil([&] { return link->settled() && askers[network_link::maxWaitingPolls - 1].has("polled 1<-1"); }));
    EXPECT_EQ(link->pollsWaiting(), 0u);
    for (std::size_t at = 0; at < askers.size(); ++at)
        EXPECT_EQ(askers[at].has("polled 1<-1"), at < network_link::maxWaitingPolls) << "asker " << at;
    for (int destination = 2; destination <= 20; ++destination)
        EXPECT_TRUE(askers[1].has("polled " + std::to_string(destination) + "<-" + std::to_string(destination)))
            << ::testing::PrintToString(askers[1].events);
}

INSTANTIATE_TEST_SUITE_P(Protocols, RouterLink, ::testing::Values("swp08", "videohub"),
                         [](const auto& param) { return param.param; });

class Swp08Link : public RouterLink {};

TEST_P(Swp08Link, SendsAgainAfterANakAndGivesUpAfterSix)
{
    auto* swp = static_cast<swp08_double*>(router.get());
    swp->nakNext(2);
    EXPECT_EQ(link->connect(7, 4), "");
    EXPECT_EQ(std::count(router->requests().begin(), router->requests().end(), "02 00 00 03 06"), 3);
    EXPECT_TRUE(reports.has("note: NAK: request sent again (3 of 6)"));
    swp->nakNext(6);
    EXPECT_EQ(link->connect(8, 4), "the router answered NAK 6 times");
    EXPECT_TRUE(device.online());
}

TEST_P(Swp08Link, AnswersABadChecksumWithNakAndSkipsJunk)
{
    auto* swp = static_cast<swp08_double*>(router.get());
    swp->corruptNext();
    router->routeByOther(0, 5);
    router->sendRaw("\x41\x42\x43");
    router->routeByOther(1, 6);
    ASSERT_TRUE(runUntil([&] { return reports.has("change 2<-7"); })) << ::testing::PrintToString(reports.events);
    // The damaged frame comes again, right, after the link's NAK.
    ASSERT_TRUE(runUntil([&] { return reports.has("change 1<-6"); })) << ::testing::PrintToString(reports.events);
    EXPECT_TRUE(reports.hasStart("note: SW-P-08: bad checksum "));
    EXPECT_TRUE(reports.hasStart("note: SW-P-08: 3 bytes outside any frame skipped"));
}

// A peer that sends nothing but damaged frames gets at most naksPerSecond
// NAKs a second, or the NAKs would fill the line back to it; the limit is
// a second's, and the next second NAKs again.
TEST_P(Swp08Link, DamagedFramesAreNakedAtMostTheRateASecond)
{
    std::vector<std::uint8_t> frame = swp08::frame(swp08::crosspointMessage(0x03, {0, 0, 4, 5}));
    std::uint8_t& checksum = frame[frame.size() - 3];
    checksum = static_cast<std::uint8_t>(checksum ^ 0x01);
    ASSERT_NE(checksum, swp08::dle);
    const std::string damaged(frame.begin(), frame.end());
    auto naks = [&] { return std::count(router->requests().begin(), router->requests().end(), "NAK"); };
    const int rate = testTiming().naksPerSecond;

    std::string burst;
    for (int i = 0; i < 3 * rate; ++i)
        burst += damaged;
    router->sendRaw(burst);
    ASSERT_TRUE(runUntil([&] { return naks() >= rate; }));
    loop.runFor(300ms);
    EXPECT_EQ(naks(), rate);
    EXPECT_TRUE(reports.hasStart("note: SW-P-08: bad checksum ")) << ::testing::PrintToString(reports.events);

    loop.runFor(1000ms);
    router->sendRaw(damaged + damaged);
    ASSERT_TRUE(runUntil([&] { return naks() >= rate + 2; }));
    loop.runFor(100ms);
    EXPECT_EQ(naks(), rate + 2);
    EXPECT_TRUE(device.online());
    EXPECT_EQ(*device.crosspoint(5), 5);  // no damaged frame was taken as a tally
}

INSTANTIATE_TEST_SUITE_P(Protocol, Swp08Link, ::testing::Values("swp08"));

class VideohubLink : public RouterLink {};

TEST_P(VideohubLink, TakesLabelsLocksAndSkipsWhatItDoesNotKnow)
{
    // The opening dump named everything.
    EXPECT_EQ(*device.name(0, 5), "Input 5");
    EXPECT_EQ(*device.name(1, 1), "Output 1");
    auto* hub = static_cast<videohub_double*>(router.get());
    hub->relabel(0, 4, "CAM 5");
    hub->relabel(1, 0, "PGM");
    ASSERT_TRUE(runUntil([&] { return reports.has("name 1/1 PGM"); })) << ::testing::PrintToString(reports.events);
    EXPECT_EQ(reports.events, (std::vector<std::string>{"name 0/5 CAM 5", "name 1/1 PGM"}));
    // A label that does not change is no news.
    hub->relabel(1, 0, "PGM");
    reports.events.clear();

    hub->lockByOther(2);
    loop.runFor(50ms);
    EXPECT_EQ(link->connect(1, 3), "the router answered NAK (the output may be locked by another client)");

    router->sendRaw("FUTURE FEATURE:\nsomething\n\nVIDEO OUTPUT ROUTING:\n" + std::string(5000, '7') + "\n5 x\n\n");
    router->routeByOther(6, 1);
    ASSERT_TRUE(runUntil([&] { return reports.has("change 7<-2"); })) << ::testing::PrintToString(reports.events);
    EXPECT_TRUE(reports.has("note: Videohub: unknown block \"FUTURE FEATURE\" skipped"));
    EXPECT_TRUE(reports.has("note: Videohub: a line longer than 4096 characters; its rest was skipped"));
    EXPECT_TRUE(reports.has("note: Videohub: routing line \"5 x\" skipped"));
    EXPECT_FALSE(reports.hasStart("name "));
}

INSTANTIATE_TEST_SUITE_P(Protocol, VideohubLink, ::testing::Values("videohub"));

}  // namespace
