// clock_ticker: while the browser view serves, the virtual clock follows
// wall time (at the speed the page set, unless paused), what was printed
// meanwhile (what the clock made the panel print, what a router reported)
// goes to the pages every tick, paused or not, and the pages hear the
// clock now and then.
//
// Thread: the event loop's.
#pragma once

#include <chrono>

#include <boost/asio/steady_timer.hpp>

class event_loop;
class runner_adapter;

namespace web {

class live_feed;

class clock_ticker {
public:
    clock_ticker(event_loop& loop, runner_adapter& adapter, live_feed& feed);

    void start();
    void stop();
    // The clock runs again after a pause: the time paused is not made up.
    void resume() { lastTick_ = std::chrono::steady_clock::now(); }

private:
    void tick();
    void follow(std::chrono::steady_clock::time_point now);

    event_loop& loop_;
    runner_adapter& adapter_;
    live_feed& feed_;
    boost::asio::steady_timer timer_;
    std::chrono::steady_clock::time_point lastTick_;
    std::chrono::steady_clock::time_point lastClockReport_;
    double carry_ = 0;  // virtual milliseconds owed, less than one
    bool stopping_ = false;
};

}  // namespace web
