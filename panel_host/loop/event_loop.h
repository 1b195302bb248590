// event_loop: the simulator's one thread of control. Everything that calls
// the panel, reads a router's socket, serves the browser view or moves the
// clock runs as a handler of this one io_context, on the thread that runs
// it, so the panel is never called from two places at once.
//
// The program owns one event_loop and hands it to whatever needs to wait:
// the web server, router connections, the wall-clock ticker. A scenario run
// that needs none of them never runs it, and behaves exactly as before.
//
// Thread: every call on the thread that owns the loop. Nothing throws out of
// poll() or runFor() but what a handler throws.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

#include <boost/asio/io_context.hpp>

class event_loop {
public:
    event_loop() = default;
    event_loop(const event_loop&) = delete;
    event_loop& operator=(const event_loop&) = delete;

    boost::asio::io_context& context() { return context_; }

    // Runs every handler that is ready now, without waiting; the number run.
    // Called between scenario steps, so that reports from real routers
    // arrive between events.
    std::size_t poll();

    // Runs handlers until `done()` holds (checked after each handler) or
    // `limit` of wall time has passed. True when `done()` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    // Runs handlers for `span` of wall time.
    void runFor(std::chrono::milliseconds span);

    // Runs until stop() or until no work is left.
    void run();
    void stop() { context_.stop(); }

    // True while a handler waits in a loop of its own (a router link waiting
    // for its router's answer inside the panel's "RC" or "RP"). Handlers
    // that would call the panel check it first: the panel is in the middle
    // of an event then, and must not be entered again.
    bool nested() const { return depth_ > 1; }

private:
    // Counts the loops running on this thread, the outer one included.
    struct running {
        explicit running(int& depth) : depth_(depth) { ++depth_; }
        ~running() { --depth_; }
        running(const running&) = delete;
        running& operator=(const running&) = delete;
        int& depth_;
    };
    int depth_ = 0;

    boost::asio::io_context context_;
};
