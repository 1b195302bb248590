// runner_adapter: every call the web view makes into the simulator. The
// page speaks scenario lines; this turns them into steps for the runner,
// reports what each did, describes the whole simulated facility as JSON,
// moves the clock with wall time and keeps the session's lines for a
// recording.
//
// One component for now: "components" in the state lists the one the
// scenario language knows, and every panel carries component "". Where the
// language names several, this is the one file to extend: list them in
// "components", name each panel's component, and let the runner's own
// recorder (once it has one) write the recording.
//
// Thread: the event loop's, like everything that touches the runner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class router_model;
class scenario_runner;
class transcript;

struct step_outcome {
    bool accepted = false;  // false: the text was not one step; `error` says why
    std::string error;      // the parser's message, as a scenario file would get it
    std::string where;      // "<browser>:LINE" of the error
    std::vector<std::string> failures;  // expectations that failed, "where: message"
    std::optional<std::string> answer;  // the component's answer, for a parameter step
};

struct wall_clock_settings {
    bool running = true;  // virtual time follows wall time
    double speed = 1.0;   // virtual milliseconds per wall millisecond
};

class runner_adapter {
public:
    runner_adapter(scenario_runner& runner, router_model& routers, transcript& out);

    // Runs one scenario step given as text: one line, or a block ("expect
    // sent" ... "end") as several lines. `source` names the sender in
    // error positions ("<browser>").
    step_outcome runText(const std::string& text, const std::string& source);
    // Runs a scenario file's lines in order, kept for the recording like
    // typed ones. False, with `error`, when it cannot be read or has bad
    // lines (nothing runs then).
    bool runFile(const std::string& path, std::string& error);

    // Virtual time passes without a step of its own (wall-clock following).
    void passTime(std::int64_t milliseconds);
    wall_clock_settings& clockSettings() { return clock_; }
    const wall_clock_settings& clockSettings() const { return clock_; }
    std::int64_t now() const;

    // GET /api/state: panels with their controls, routers with crosspoints
    // and names, names devices, clock, faults, components, recording.
    std::string stateJson(const std::string& stylesJson) const;

    // Recording. The recorded scenario holds every line run in this session
    // from its start (so it replays from a fresh panel_host), "wait" lines
    // for the virtual time between them, and at the end "expect" lines for
    // every control's text and enabled state and every crosspoint that
    // differs from the installation's start.
    bool recording() const { return recording_; }
    bool startRecording(std::string& error);
    bool stopRecording(std::string& scenario, std::string& error);

private:
    struct logged_line {
        std::int64_t start, end;  // virtual time before and after the step
        std::string text;
    };
    std::string finalExpectations() const;

    scenario_runner& runner_;
    router_model& routers_;
    transcript& out_;
    wall_clock_settings clock_;
    std::vector<logged_line> log_;
    bool recording_ = false;
    std::size_t recordingFrom_ = 0;  // first line run after "Record"
};

// A scenario word quoted so that the parser reads it back as `text`.
std::string scenarioWord(const std::string& text);
