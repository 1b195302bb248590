#include "loop/event_loop.h"

#include <algorithm>
#include <utility>

std::size_t event_loop::poll()
{
    running counted(depth_);
    if (over())
        return 0;
    if (context_.stopped())
        context_.restart();
    return context_.poll();
}

bool event_loop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    running counted(depth_);
    const auto end = std::chrono::steady_clock::now() + limit;
    if (context_.stopped())
        context_.restart();
    while (!done()) {
        // A close while waiting shortens the wait to its deadline.
        auto stopAt = closing_ ? std::min(end, deadline_) : end;
        if (std::chrono::steady_clock::now() >= stopAt)
            return false;
        // run_one_until returns 0 at the deadline, and also at once when no
        // work is left at all: then nothing more can make `done` hold.
        if (context_.run_one_until(stopAt) == 0) {
            if (context_.stopped() && !done() && std::chrono::steady_clock::now() < stopAt)
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
    const auto end = std::chrono::steady_clock::now() + span;
    while (!closing_ && context_.run_one_until(end) > 0) {
    }
}

void event_loop::run()
{
    running counted(depth_);
    if (context_.stopped())
        context_.restart();
    while (!closing_ && context_.run_one() > 0) {
    }
}

void event_loop::close(std::chrono::milliseconds grace)
{
    const auto deadline = std::chrono::steady_clock::now() + grace;
    if (closing_) {
        deadline_ = std::min(deadline_, deadline);
        return;
    }
    closing_ = true;
    deadline_ = deadline;
    // A hook may end another's owner (a server closing its pages): the list
    // is taken first, and each hook is looked for again before it runs.
    std::vector<on_close*> closers = closers_;
    for (on_close* closer : closers)
        if (std::find(closers_.begin(), closers_.end(), closer) != closers_.end())
            closer->stop_();
}

event_loop::on_close::on_close(event_loop& loop, std::function<void()> stop) : loop_(loop), stop_(std::move(stop))
{
    loop_.closers_.push_back(this);
}

event_loop::on_close::~on_close()
{
    auto& closers = loop_.closers_;
    closers.erase(std::remove(closers.begin(), closers.end(), this), closers.end());
}
