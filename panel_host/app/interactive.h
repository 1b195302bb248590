// interactive: the prompt of panel_host on a terminal. Lines are read with
// GNU readline (editing, history kept in ~/.panel_host_history) and run
// as scenario lines one by one; a block ("expect sent" ... "end") is read
// with a continuation prompt.
//
// The prompt takes exactly the lines of a scenario file, so a session can
// be pasted into one: nothing is created until the first "create". A line
// that cannot be read is a failure like a failed expectation, numbered
// "<terminal>:N". Ctrl-C drops the line being typed (and an open block);
// Ctrl-D, "quit" or "exit" end the session through run_end, as SIGTERM and
// SIGHUP do, and the component still alive is destroyed by the caller.
//
// The prompt runs on the program's one event loop: readline is handed a
// key whenever the terminal has one, and in between the loop runs the
// router links. What a router reports while the operator is idle (another
// controller's route, a name changed) is delivered and printed at once,
// above the line being typed, which is then drawn again as it was
// (readline_prompt.h; what a line does is prompt_lines.h). Windows,
// without readline, reads whole lines and shows reports with the next line.
#pragma once

#include <functional>

class event_loop;
class output_watch;
class run_end;
class session_recorder;
class transcript;

struct prompt_hooks {
    event_loop* loop = nullptr;
    run_end* ending = nullptr;
    output_watch* output = nullptr;  // standard output's watch: the line is kept off what prints
    output_watch* errors = nullptr;  // standard error's
    // Delivers what the routers reported; run while the prompt waits for
    // keys. Empty without router links.
    std::function<void()> idle;
};

// Runs until end of input, "quit" or the end of the run, every line through
// the session (which records it when recording). Returns the number of
// lines that could not be read (each reported as a failure through `out`).
int runInteractive(session_recorder& session, transcript& out, const prompt_hooks& hooks);
