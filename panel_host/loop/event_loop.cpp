#include "loop/event_loop.h"

std::size_t event_loop::poll()
{
    running counted(depth_);
    if (context_.stopped())
        context_.restart();
    return context_.poll();
}

bool event_loop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    running counted(depth_);
    auto end = std::chrono::steady_clock::now() + limit;
    if (context_.stopped())
        context_.restart();
    while (!done()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return false;
        // run_one_until returns 0 at the deadline, and also at once when no
        // work is left at all: then nothing more can make `done` hold.
        if (context_.run_one_until(end) == 0) {
            if (context_.stopped() && !done() && std::chrono::steady_clock::now() < end)
                return false;
        }
    }
    return true;
}

void event_loop::runFor(std::chrono::milliseconds span)
{
    running counted(depth_);
    if (context_.stopped())
        context_.restart();
    context_.run_for(span);
}

void event_loop::run()
{
    running counted(depth_);
    if (context_.stopped())
        context_.restart();
    context_.run();
}
