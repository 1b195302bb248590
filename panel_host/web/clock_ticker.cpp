#include "web/clock_ticker.h"

#include <algorithm>
#include <cstdint>

#include "loop/event_loop.h"
#include "web/live_feed.h"
#include "web/runner_adapter.h"

namespace web {

namespace {

// The wall clock moves the virtual clock this often; a stall of the loop
// (a long step) is not made up beyond `maxCatchUp`.
constexpr std::chrono::milliseconds tickEvery{20};
constexpr double maxCatchUp = 250.0;
constexpr std::chrono::milliseconds clockReportEvery{250};

}  // namespace

clock_ticker::clock_ticker(event_loop& loop, runner_adapter& adapter, live_feed& feed)
    : loop_(loop), adapter_(adapter), feed_(feed), timer_(loop.context())
{
}

void clock_ticker::start()
{
    lastTick_ = lastClockReport_ = std::chrono::steady_clock::now();
    tick();
}

void clock_ticker::stop()
{
    stopping_ = true;
    timer_.cancel();
}

void clock_ticker::tick()
{
    timer_.expires_after(tickEvery);
    timer_.async_wait([this](boost::system::error_code ec) {
        if (ec || stopping_)
            return;
        // Inside the panel's own event (a router link waiting for its
        // router) the clock holds; the time is made up at the next tick.
        if (!loop_.nested())
            follow(std::chrono::steady_clock::now());
        tick();
    });
}

void clock_ticker::follow(std::chrono::steady_clock::time_point now)
{
    double wall = std::chrono::duration<double, std::milli>(now - lastTick_).count();
    lastTick_ = now;
    const wall_clock_settings& settings = adapter_.clockSettings();
    if (settings.running) {
        carry_ += std::min(wall, maxCatchUp) * settings.speed;
        auto whole = static_cast<std::int64_t>(carry_);
        carry_ -= static_cast<double>(whole);
        adapter_.passTime(whole);
    } else {
        // No time passes, but what a router reported is due now: the panel
        // gets it while the clock is paused too.
        adapter_.deliverDue();
    }
    // Paused or not, what was printed (a router's notes) goes to the pages
    // now, rather than piling up until the clock runs again.
    feed_.publish(false);
    if (now - lastClockReport_ >= clockReportEvery) {
        lastClockReport_ = now;
        feed_.publishClock();
    }
}

}  // namespace web
