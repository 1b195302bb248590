// The request queue on its own, without a socket: a stand-in sender writes
// what goes out into one transcript with what the queue reports, and the
// tests call the time-outs themselves (one test lets the timer do it, on an
// io_context of its own).
#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>

#include "routers/request_queue.h"

namespace {

using namespace std::chrono_literals;

struct transcript : request_sender {
    std::vector<std::string> lines;
    request_queue* queue = nullptr;
    bool may = true;

    void tellRequests(const std::string& text, router_reports::level how) override
    {
        lines.push_back(std::string(how == router_reports::level::detail ? "detail: "
                                    : how == router_reports::level::note ? "note: "
                                                                         : "warning: ") +
                        text);
    }
    bool mayRequest() const override { return may; }
    void routeUnreported(int destination) override { lines.push_back("ask of " + std::to_string(destination)); }
    void sendRequest(const std::vector<std::uint8_t>& bytes) override
    {
        lines.push_back("sent " + std::string(bytes.begin(), bytes.end()));
    }
    // As the link does: the connection goes, and every request with it.
    void unanswered(const std::string& why) override
    {
        lines.push_back("dropped: " + why);
        queue->abandon(why);
    }
    // How a poll ended, as the link tells it.
    poll_done pollDone()
    {
        return [this](const poll_result& result) {
            if (!result.refusal.empty()) {
                lines.push_back("warning: poll of " + std::to_string(result.first) + " to " +
                                std::to_string(result.last) + " refused: " + result.refusal);
                return;
            }
            for (int d = result.first; d <= result.last; ++d)
                if (result.answered[static_cast<std::size_t>(d - result.first)])
                    lines.push_back("polled " + std::to_string(d));
            int polled = result.last - result.first + 1;
            if (result.count() < polled)
                lines.push_back("warning: reported " + std::to_string(result.count()) + " of the " +
                                std::to_string(polled) + " polled destinations");
        };
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(lines);
        return taken;
    }
};

std::vector<std::uint8_t> bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

using lines = std::vector<std::string>;

class RequestQueue : public ::testing::Test {
protected:
    explicit RequestQueue(const link_timing& timing = link_timing()) : queue(context, timing, log)
    {
        log.queue = &queue;
    }
    void addPoll(const std::string& text, int first, int last, bool mayGoUnanswered = false)
    {
        queue.addPoll(bytes(text), first, last, log.pollDone(), mayGoUnanswered);
    }

    boost::asio::io_context context;  // never run: the tests time out by hand
    transcript log;
    request_queue queue;
};

TEST_F(RequestQueue, SendsOneAtATimeAndEndsARouteOnItsReport)
{
    // Requests wait while the link may not request (a Videohub's opening dump).
    log.may = false;
    auto outcome = queue.addRoute(bytes("route 5 to 3"), 5, 3);
    addPoll("poll 1-2", 1, 2);
    queue.trySending();
    EXPECT_EQ(log.take(), lines{});
    log.may = true;
    queue.trySending();
    queue.trySending();
    EXPECT_EQ(log.take(), lines{"sent route 5 to 3"});

    // A report of another destination, or no change, is not the route's.
    queue.acknowledged();
    queue.reported(4, true);
    queue.reported(3, false);
    EXPECT_FALSE(queue.settled());
    EXPECT_EQ(log.take(), lines{});
    queue.reported(3, true);
    EXPECT_EQ(*outcome, "");
    EXPECT_EQ(log.take(), lines{"sent poll 1-2"});

    queue.acknowledged();
    queue.acknowledged();
    queue.reported(2, false);
    queue.reported(1, false);
    EXPECT_TRUE(queue.settled());
    // A route ACKed and never reported still counts as taken.
    auto second = queue.addRoute(bytes("route 7 to 8"), 7, 8);
    queue.trySending();
    queue.acknowledged();
    queue.timedOut();
    EXPECT_EQ(*second, "");
    EXPECT_EQ(log.take(),
              (lines{"detail: an ACK that answers no request, ignored", "polled 1", "polled 2", "sent route 7 to 8",
                     "detail: no report of destination 8 after the route", "ask of 8"}));
    queue.acknowledged();
    EXPECT_EQ(log.take(), lines{"detail: an ACK that answers no request, ignored"});
}

TEST_F(RequestQueue, SendsAgainAfterATimeOutAndDropsTheRouterAfterTheLast)
{
    queue.setMaxAttempts(3);
    auto outcome = queue.addRoute(bytes("route 5 to 3"), 5, 3);
    addPoll("poll 1-2", 1, 2);
    queue.trySending();
    queue.timedOut();
    queue.timedOut();
    EXPECT_EQ(*outcome, "");
    queue.timedOut();
    EXPECT_EQ(*outcome, "the router is offline (no ACK to 3 requests)");
    EXPECT_TRUE(queue.settled());
    // The poll behind it went with the connection, unanswered and untold.
    queue.timedOut();
    EXPECT_EQ(log.take(), (lines{"sent route 5 to 3", "detail: no ACK in 1 s: request sent again", "sent route 5 to 3",
                                 "detail: no ACK in 1 s: request sent again", "sent route 5 to 3",
                                 "dropped: no ACK to 3 requests"}));

    // A link that never sends again (TCP loses nothing) gives up at once.
    queue.setMaxAttempts(1);
    auto lone = queue.addRoute(bytes("route 1 to 1"), 1, 1);
    queue.trySending();
    queue.timedOut();
    EXPECT_EQ(*lone, "the router is offline (no ACK to 1 request)");
    EXPECT_EQ(log.take(), (lines{"sent route 1 to 1", "dropped: no ACK to 1 request"}));
}

TEST_F(RequestQueue, EndsAPollAnsweredInPartWithWhatItHas)
{
    addPoll("poll 1-4", 1, 4);
    addPoll("poll 5-6", 5, 6);
    queue.trySending();
    EXPECT_FALSE(queue.pollAnswerDue());
    queue.acknowledged();
    EXPECT_TRUE(queue.pollAnswerDue());
    queue.reported(4, true);  // a change answers a poll too
    queue.reported(2, false);
    queue.reported(7, false);
    queue.timedOut();  // the reply is late: what came is reported
    EXPECT_EQ(log.take(), (lines{"sent poll 1-4", "polled 2", "polled 4",
                                 "warning: reported 2 of the 4 polled destinations", "sent poll 5-6"}));

    // A protocol that knows its answer is complete ends the poll itself.
    queue.finishPoll();  // not yet acknowledged: nothing ends
    queue.acknowledged();
    queue.reported(6, false);
    queue.finishPoll();
    EXPECT_TRUE(queue.settled());
    queue.finishPoll();
    EXPECT_EQ(log.take(), (lines{"polled 6", "warning: reported 1 of the 2 polled destinations"}));
}

TEST_F(RequestQueue, SendsAgainAfterANakAndTakesARefusal)
{
    queue.setMaxAttempts(3);
    auto outcome = queue.addRoute(bytes("route 5 to 3"), 5, 3);
    addPoll("poll 1-2", 1, 2);
    queue.resend();  // nothing in flight yet
    queue.trySending();
    queue.resend();
    queue.resend();
    EXPECT_EQ(*outcome, "");
    queue.resend();
    EXPECT_EQ(*outcome, "the router answered NAK 3 times");
    EXPECT_EQ(log.take(), (lines{"detail: a NAK that answers no request, ignored", "sent route 5 to 3",
                                 "note: NAK: request sent again (2 of 3)", "sent route 5 to 3",
                                 "note: NAK: request sent again (3 of 3)", "sent route 5 to 3", "sent poll 1-2"}));

    // A NAK after the ACK answers nothing; a refusal ends the request.
    queue.acknowledged();
    queue.resend();
    queue.refused("locked");
    queue.refused("locked");
    auto refusedRoute = queue.addRoute(bytes("route 2 to 2"), 2, 2);
    queue.trySending();
    queue.refused("locked");
    EXPECT_EQ(*refusedRoute, "locked");
    EXPECT_TRUE(queue.settled());
    EXPECT_EQ(log.take(),
              (lines{"detail: a NAK that answers no request, ignored", "warning: poll of 1 to 2 refused: locked",
                     "detail: a refusal (locked) that answers no request, ignored", "sent route 2 to 2"}));
}

TEST_F(RequestQueue, TakesAnswersThatComeBeforeTheAck)
{
    // Some routers answer a tally dump with tallies first and the ACK after.
    auto route = queue.addRoute(bytes("route 5 to 3"), 5, 3);
    addPoll("poll 1-2", 1, 2);
    queue.trySending();
    queue.reported(3, true);
    EXPECT_EQ(*route, "");
    queue.reported(1, false);
    queue.reported(2, false);
    EXPECT_TRUE(queue.settled());
    EXPECT_EQ(log.take(), (lines{"sent route 5 to 3", "sent poll 1-2", "polled 1", "polled 2"}));

    // Part of an answer before a missing ACK ends the poll with that part.
    addPoll("poll 1-3", 1, 3);
    queue.trySending();
    queue.reported(3, false);
    queue.timedOut();
    EXPECT_EQ(log.take(), (lines{"sent poll 1-3", "polled 3", "warning: reported 1 of the 3 polled destinations"}));
}

TEST_F(RequestQueue, APollThatMayGoUnansweredEndsAtItsFirstMissingAck)
{
    addPoll("dump", 1, 4, true);
    auto route = queue.addRoute(bytes("route 1 to 1"), 1, 1);
    queue.trySending();
    queue.timedOut();
    EXPECT_EQ(log.take(), (lines{"sent dump", "warning: poll of 1 to 4 refused: no ACK", "sent route 1 to 1"}));
    // The router is still there: the route behind it goes out as ever.
    queue.acknowledged();
    queue.reported(1, true);
    EXPECT_EQ(*route, "");
    EXPECT_TRUE(queue.settled());
}

link_timing quick()
{
    link_timing timing;
    timing.ack = 20ms;
    timing.reply = 20ms;
    return timing;
}

class RequestQueueTimer : public RequestQueue {
protected:
    RequestQueueTimer() : RequestQueue(quick()) {}
};

TEST_F(RequestQueueTimer, TimesOutOnTheLoopAndNotAfterTheConnectionWent)
{
    queue.setMaxAttempts(2);
    auto outcome = queue.addRoute(bytes("route 5 to 3"), 5, 3);
    queue.trySending();
    context.run_for(5s);  // ends when the queue waits for nothing more
    EXPECT_EQ(*outcome, "the router is offline (no ACK to 2 requests)");

    // The reply's time-out, then a request abandoned with its timer running.
    addPoll("poll 1-2", 1, 2);
    queue.trySending();
    queue.acknowledged();
    queue.reported(1, false);
    context.restart();
    context.run_for(5s);
    auto abandoned = queue.addRoute(bytes("route 1 to 1"), 1, 1);
    queue.trySending();
    queue.abandon("gone");
    context.restart();
    context.run_for(5s);
    EXPECT_EQ(*abandoned, "the router is offline (gone)");
    EXPECT_EQ(log.take(), (lines{"sent route 5 to 3", "detail: no ACK in 0.02 s: request sent again",
                                 "sent route 5 to 3", "dropped: no ACK to 2 requests", "sent poll 1-2", "polled 1",
                                 "warning: reported 1 of the 2 polled destinations", "sent route 1 to 1"}));
}

}  // namespace
