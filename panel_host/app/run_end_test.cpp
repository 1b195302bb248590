#include "app/run_end.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <streambuf>

#include <boost/asio/steady_timer.hpp>

#include "app/output_watch.h"
#include "loop/event_loop.h"

namespace {

using std::chrono::milliseconds;

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

#if !defined(_WIN32)
void raiseAfter(boost::asio::steady_timer& timer, milliseconds delay, int signal)
{
    timer.expires_after(delay);
    timer.async_wait([signal](const boost::system::error_code& error) {
        if (!error)
            std::raise(signal);
    });
}

// The loop never runs out of work, and a signal still ends it.
TEST(RunEnd, EverySignalEndsARunThatNeverRunsOutOfWork)
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        event_loop loop;
        run_end ending(loop);
        endless_timer retries(loop);
        boost::asio::steady_timer sender(loop.context());
        raiseAfter(sender, milliseconds(20), signal);
        loop.run();
        EXPECT_TRUE(ending.requested());
        EXPECT_EQ(ending.why(), signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
    }
}

// At the prompt Ctrl-C drops the line; once given back it ends the run,
// and a second one cuts the grace of what still waits.
TEST(RunEnd, ThePromptTakesCtrlCAndASecondOneEndsAtOnce)
{
    event_loop loop;
    run_end ending(loop);
    int dropped = 0;
    ending.takeInterrupts([&dropped] { ++dropped; });
    std::raise(SIGINT);
    loop.poll();
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(ending.requested());
    ending.takeInterrupts(nullptr);

    endless_timer retries(loop);
    boost::asio::steady_timer first(loop.context()), second(loop.context());
    raiseAfter(first, milliseconds(10), SIGINT);
    raiseAfter(second, milliseconds(60), SIGINT);
    auto start = std::chrono::steady_clock::now();
    // A Take waiting for its router: the first Ctrl-C gives it the grace,
    // the second ends it.
    EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::seconds(30)));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ending.why(), "SIGINT");
    EXPECT_LT(took, run_end::grace);
}

// A scenario run never runs the loop: check() sees the signal between lines.
TEST(RunEnd, CheckSeesASignalWithoutTheLoop)
{
    event_loop loop;
    run_end ending(loop);
    ending.check();
    EXPECT_FALSE(ending.requested());
    std::raise(SIGTERM);
    ending.check();
    EXPECT_EQ(ending.why(), "SIGTERM");
}

#endif

// A buffer whose writes fail, as a pipe's whose reader left.
class closed_buffer final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(RunEnd, AClosedOutputEndsTheRunOnce)
{
    event_loop loop;
    run_end ending(loop);
    closed_buffer closed;
    std::ostream stream(&closed);
    int told = 0;
    {
        output_watch watch(stream, [&] {
            ++told;
            ending.outputClosed();
        });
        stream << "the transcript" << std::flush;
        stream.clear();
        stream << "more" << std::flush;
    }
    EXPECT_EQ(stream.rdbuf(), &closed);
    EXPECT_EQ(told, 1);
    ending.check();
    EXPECT_EQ(ending.why(), "the output was closed");
}

TEST(RunEnd, TheWatchSeesEveryWriteBeforeItIsMade)
{
    std::ostringstream text;
    int before = 0;
    {
        output_watch watch(text, nullptr);
        watch.beforeWrite([&] { before += text.str().empty() ? 1 : 100; });
        text << "report" << '\n';
    }
    EXPECT_EQ(text.str(), "report\n");
    EXPECT_EQ(before, 101);
}

}  // namespace
