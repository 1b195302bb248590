// run_end: the one way a run of panel_host ends, whatever it runs (the
// browser view, the prompt, a scenario) and whatever router links, timers
// or connections are open. SIGINT, SIGTERM and SIGHUP, "quit" or Ctrl-D at
// the prompt, and a standard output that was closed all end it here, in
// this order:
//
//   1. stop accepting: the loop closes and its on_close hooks run at once
//      (the browser view's listener);
//   2. close the links: a wait already under way (a Take sent to a router)
//      gets `grace` at most, then nothing of the loop runs again;
//   3. write the recording (--record), 4. print the summary, 5. exit with
//      the usual status: main's part (app/main.cpp).
//
// The whole of it takes well under a second. A second signal while it
// runs cuts the grace at once; the recording is still written. SIGPIPE is
// ignored, so a write to a closed output fails instead of killing the
// program, and ends the run as above. A scenario run that ends before its
// last line counts that as a failure, so its exit status is never 0.
//
// At the prompt Ctrl-C keeps its meaning, dropping the line being typed:
// the prompt takes SIGINT while it reads (takeInterrupts).
//
// The signal handler only writes the signal's number to a pipe, which the
// loop reads like any other event, so signals are handled on the one
// thread; between the lines of a scenario run, check() looks at a flag
// and costs no system call while no signal came. (Windows, which has no
// such pipe, only has the flag.)
//
// Thread: the program's one thread; one run_end at a time.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>

#if !defined(_WIN32)
#  include <boost/asio/posix/stream_descriptor.hpp>
#endif

class event_loop;

class run_end {
public:
    // How long a wait already under way may go on once the run is to end.
    static constexpr std::chrono::milliseconds grace{500};

    // Takes SIGINT, SIGTERM and SIGHUP from here on, and ignores SIGPIPE.
    explicit run_end(event_loop& loop);
    // Gives the signals back to their default handling.
    ~run_end();
    run_end(const run_end&) = delete;
    run_end& operator=(const run_end&) = delete;

    // While set, SIGINT calls `interrupt` instead of ending the run; an
    // empty function gives it back.
    void takeInterrupts(std::function<void()> interrupt) { interrupt_ = std::move(interrupt); }

    // Ends the run for `why` ("quit"); nothing when it is already ending.
    void request(const std::string& why);
    // A write to standard output failed: the output was closed. Called from
    // inside the write, so the run ends from the loop or at the next check().
    void outputClosed();
    bool requested() const { return !why_.empty(); }
    // What ended the run: "SIGTERM", "quit", "the output was closed".
    const std::string& why() const { return why_; }

    // Handles what came since the last look (signals, a closed output)
    // without waiting.
    void check();

private:
    void handle(int signal);
    void watch();

    event_loop& loop_;
    std::function<void()> interrupt_;
    std::string why_;
    bool outputGone_ = false;
#if !defined(_WIN32)
    boost::asio::posix::stream_descriptor pipe_;
    std::array<unsigned char, 64> received_{};
#endif
};
