// event_loop: the simulator's one thread of control. Everything that calls
// the panel, reads a router's socket, serves the browser view or moves the
// clock runs as a handler of this one io_context, on the thread that runs
// it, so the panel is never called from two places at once.
//
// The program owns one event_loop and hands it to whatever needs to wait:
// the web server, router connections, the wall-clock ticker, the prompt. A
// scenario run that needs none of them never runs it, and behaves exactly
// as before.
//
// Ending: the program ends its run through close() (app/run_end.h), never
// by waiting for the loop to run out of work, which a router link retrying
// its connection never does. Once closed, run() and runFor() return after
// the handler that is running; runUntil() and poll() still run handlers
// until the close's deadline, so that a request already sent to a router
// can be answered, and nothing at all after it.
//
// Thread: every call on the thread that owns the loop. Nothing throws out of
// poll() or runFor() but what a handler throws.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

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
    // `limit` of wall time has passed, or the close's deadline. True when
    // `done()` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    // Runs handlers for `span` of wall time, or until closed.
    void runFor(std::chrono::milliseconds span);

    // Runs until closed, stop() or until no work is left.
    void run();
    void stop() { context_.stop(); }

    // Ends the loop's work: every on_close hook runs now (a listener stops
    // accepting), and the loops return as said above; waits already under
    // way get `grace` at most. Closing again can only shorten the grace.
    void close(std::chrono::milliseconds grace);
    bool closing() const { return closing_; }

    // Something to stop when the loop closes, for as long as this lives.
    class on_close {
    public:
        on_close(event_loop& loop, std::function<void()> stop);
        ~on_close();
        on_close(const on_close&) = delete;
        on_close& operator=(const on_close&) = delete;

    private:
        friend class event_loop;
        event_loop& loop_;
        std::function<void()> stop_;
    };

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
    // Past the close's deadline nothing runs any more.
    bool over() const { return closing_ && std::chrono::steady_clock::now() >= deadline_; }

    int depth_ = 0;
    bool closing_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::vector<on_close*> closers_;

    boost::asio::io_context context_;
};
