// runner_adapter: every call the web view makes into the simulator. The
// page speaks scenario lines; this runs them through the session (the same
// session_recorder the prompt uses, so --record and the page's record
// button write one recording), reports what each did, describes the whole
// simulated facility with every component as JSON, and moves the clock
// with wall time.
//
// Thread: the event loop's, like everything that touches the runner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class router_model;
class scenario_runner;
class session_recorder;
class transcript;

struct step_outcome {
    bool accepted = false;              // false: the text was not one step; `error` says why
    std::string error;                  // the parser's message, as a scenario file would get it
    std::string where;                  // "<browser>:LINE" of the error
    std::vector<std::string> failures;  // expectations that failed, "where: message"
    std::optional<std::string> answer;  // the component's answer, for a parameter step
};

// One key of the state object with its value, as JSON: "\"faults\":{...}".
struct state_part {
    std::string key;
    std::string member;
};

struct wall_clock_settings {
    bool running = true;  // virtual time follows wall time
    double speed = 1.0;   // virtual milliseconds per wall millisecond
};

class runner_adapter {
public:
    runner_adapter(scenario_runner& runner, router_model& routers, transcript& out, session_recorder& session);

    // Runs one scenario step given as text: one line, or a block ("expect
    // sent" ... "end") as several lines. `source` names the sender in
    // error positions ("<browser>"), its lines counted from 1. Text with a
    // bad line runs nothing.
    step_outcome runText(const std::string& text, const std::string& source);
    // Runs a scenario file's lines in order through the session, kept for
    // the recording like posted ones. False, with `error`, when it cannot
    // be read or has bad lines (nothing runs then).
    bool runFile(const std::string& path, std::string& error);

    // Virtual time passes without a step of its own (wall-clock following).
    void passTime(std::int64_t milliseconds);
    // No time passes; what is due now (a router's report) is delivered.
    void deliverDue();
    wall_clock_settings& clockSettings() { return clock_; }
    const wall_clock_settings& clockSettings() const { return clock_; }
    std::int64_t now() const;

    // GET /api/state: every component with its panels, the parameters the
    // host last set on each, the panels' controls, routers with crosspoints and
    // names, names devices and their packages, clock, faults, recording.
    std::string stateJson(const std::string& stylesJson) const;
    // The state's parts but the routers, the names devices and the styles,
    // in the state's order: what is compared whole to tell a change.
    // `withNow`: the clock's time, which moves all the time, is left out
    // without it.
    std::vector<state_part> parts(bool withNow) const;
    // The first of them.
    state_part clockPart(bool withNow) const;
    const router_model& routers() const { return routers_; }

    // The session: its recording holds every line run since panel_host
    // started, so it replays from a fresh panel_host.
    session_recorder& session() { return session_; }

private:
    scenario_runner& runner_;
    router_model& routers_;
    transcript& out_;
    session_recorder& session_;
    wall_clock_settings clock_;
};
