// session_recorder: runs the scenario lines a person gives panel_host one
// at a time (typed at the prompt, posted by a browser view) and keeps them
// as a scenario that replays the session:
//
//   # Recorded by panel_host: ...
//   create
//   set srcpkg 1
//   wait 2500ms                  <- virtual time that passed between two steps
//   press Take
//   # The state at the end of the recording.
//   expect text Src_UL1 "VTR 1"  <- every control of every panel: its text
//   expect disabled Take            (when set) and its enabled state
//   expect crosspoint 31 3 1     <- every crosspoint routed during the run
//
// Each line is recorded as it was given, a block ("expect sent" ... "end")
// with its lines. Lines that could not be read run nothing and are not
// recorded; a step that failed without changing anything (an expectation,
// a "create" of a component that exists, a line for a component that does
// not) is kept only as a comment, so the recording replays green. With several components the final expectations
// carry the component's name ("B: expect text ..."). "help" is not kept.
//
// Thread: the simulator's one thread, like the runner it drives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/scenario_parser.h"

class scenario_runner;

class session_recorder {
public:
    // `source` names the lines in messages ("<terminal>", "<browser>").
    session_recorder(scenario_runner& runner, std::string source);

    struct line_result {
        std::vector<scenario_error> errors;  // the line could not be read; nothing ran
        int stepsRun = 0;                    // 0 too while a block waits for its "end"
        std::size_t failures = 0;            // failures the line's step added
        bool keepGoing = true;               // false when the runner stops on a failure
    };
    // Reads one line with the scenario parser, runs the step it completes,
    // and records it while recording.
    line_result runLine(std::string_view line);
    // Runs a whole scenario text line by line, each as runLine() would,
    // until the runner stops on a failure; then finish(). False when it
    // stopped early.
    bool runText(std::string_view text);
    // True while a block waits for its "end".
    bool inBlock() const { return parser_.inBlock(); }
    // Forgets a block still waiting for its "end" (Ctrl-C at the prompt).
    void dropBlock();
    // The end of input: a block still open is reported as not closed.
    std::vector<scenario_error> finish();
    // Names the lines given from now on `source` in messages and counts them
    // from 1 again; a block still open is forgotten. The browser view runs
    // its scenario file under the file's name, then each text a page posts
    // as "<browser>" from its line 1.
    void readFrom(std::string source);

    // Records a line for a step that ran without runLine (the prompt's own
    // "create", faults given on the command line).
    void recordLine(const std::string& line);

    // A session records from its construction, so that what it writes
    // replays from the facility's start; a view's "record" button simply
    // writes it. start() forgets what was kept and records from now (for a
    // facility still as it started); stop() keeps nothing more. A recording
    // that leaves out steps that changed the facility may not replay.
    void start();
    void stop() { recording_ = false; }
    bool recording() const { return recording_; }

    // The recording as scenario text: the lines so far, then the final
    // expectations from the facility's state now.
    std::string scenarioText() const;
    // Writes scenarioText() to `path`, whole or not at all
    // (scenario/recording_file.h). False, with `error`, when it cannot; a
    // recording already there is then left as it was, and `error` says so.
    bool write(const std::string& path, std::string& error) const;
    // Whether write() could write to `path`, asked before a run starts
    // without touching a recording already there. False, with `error`.
    static bool canWrite(const std::string& path, std::string& error);

private:
    void keep(const std::vector<std::string>& lines);

    scenario_runner& runner_;
    scenario_parser parser_;
    std::vector<std::string> block_;  // lines of the step being read
    std::vector<std::string> lines_;  // the recording
    bool recording_ = true;
    std::int64_t lastTime_ = 0;
};

// A word of a scenario line: as it is when it needs no quotes, else in
// double quotes with \" and \\.
std::string quotedScenarioWord(const std::string& text);
