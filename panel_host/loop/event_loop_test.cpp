#include "loop/event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>

namespace {

// A handler that waits in a loop of its own (a router link inside the
// panel's "RC") makes every handler run meanwhile see the loop nested, so
// that none of them enters the panel again; the outer loop's handlers do not.
TEST(EventLoop, HandlersRunInsideAWaitSeeItNested)
{
    event_loop loop;
    std::vector<std::string> seen;
    boost::asio::post(loop.context(), [&] {
        seen.push_back(std::string("outer ") + (loop.nested() ? "nested" : "free"));
        bool inner = false;
        boost::asio::post(loop.context(), [&] {
            seen.push_back(std::string("inner ") + (loop.nested() ? "nested" : "free"));
            inner = true;
        });
        EXPECT_TRUE(loop.runUntil([&] { return inner; }, std::chrono::seconds(5)));
    });
    loop.run();
    boost::asio::post(loop.context(),
                      [&] { seen.push_back(std::string("later ") + (loop.nested() ? "nested" : "free")); });
    loop.poll();
    EXPECT_EQ(seen, (std::vector<std::string>{"outer free", "inner nested", "later free"}));
}

}  // namespace

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Work that never runs out, as a router link's retry timer never does.
struct endless_timer {
    explicit endless_timer(event_loop& loop) : timer(loop.context()) { arm(); }
    void arm()
    {
        timer.expires_after(milliseconds(5));
        timer.async_wait([this](const boost::system::error_code& error) {
            if (!error)
                arm();
        });
    }
    boost::asio::steady_timer timer;
};

void closeAfter(event_loop& loop, boost::asio::steady_timer& timer, milliseconds delay, milliseconds grace)
{
    timer.expires_after(delay);
    timer.async_wait([&loop, grace](const boost::system::error_code& error) {
        if (!error)
            loop.close(grace);
    });
}

long long millisecondsSince(steady_clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

TEST(EventLoop, ClosingEndsTheRunWhateverWorkIsLeft)
{
    event_loop loop;
    endless_timer retries(loop);
    boost::asio::steady_timer closer(loop.context());
    closeAfter(loop, closer, milliseconds(20), milliseconds(500));
    auto start = steady_clock::now();
    loop.run();
    EXPECT_TRUE(loop.closing());
    EXPECT_LT(millisecondsSince(start), 1000);
    // runFor returns at once too.
    start = steady_clock::now();
    loop.runFor(std::chrono::seconds(5));
    EXPECT_LT(millisecondsSince(start), 1000);
}

// A wait under way (a Take waiting for the router's answer) gets the grace,
// not its own bound; a second close ends it at once; past the deadline
// nothing runs any more.
TEST(EventLoop, AWaitUnderWayEndsAtTheGraceAndASecondCloseEndsItAtOnce)
{
    event_loop loop;
    endless_timer retries(loop);
    boost::asio::steady_timer closer(loop.context());
    closeAfter(loop, closer, milliseconds(10), milliseconds(300));
    auto start = steady_clock::now();
    EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::seconds(30)));
    const long long cut = millisecondsSince(start);
    EXPECT_GE(cut, 250);
    EXPECT_LT(cut, 3000);

    event_loop again;
    endless_timer moreRetries(again);
    boost::asio::steady_timer first(again.context()), second(again.context());
    closeAfter(again, first, milliseconds(10), std::chrono::seconds(20));
    closeAfter(again, second, milliseconds(50), milliseconds(0));
    start = steady_clock::now();
    EXPECT_FALSE(again.runUntil([] { return false; }, std::chrono::seconds(30)));
    EXPECT_LT(millisecondsSince(start), 3000);
    bool ran = false;
    boost::asio::post(again.context(), [&ran] { ran = true; });
    EXPECT_EQ(again.poll(), 0u);
    EXPECT_FALSE(ran);
}

TEST(EventLoop, EveryCloseHookRunsOnceWhileItLives)
{
    event_loop loop;
    int stopped = 0, gone = 0;
    event_loop::on_close listener(loop, [&stopped] { ++stopped; });
    {
        event_loop::on_close dropped(loop, [&gone] { ++gone; });
    }
    loop.close(milliseconds(100));
    loop.close(milliseconds(0));
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(gone, 0);
}

}  // namespace
