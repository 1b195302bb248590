// prompt_lines: what the prompt does with what is typed, however it is read
// (readline_prompt.h on a terminal with readline, whole lines on Windows):
// a line runs through the session, "quit" and "exit" end the run through
// run_end, Ctrl-C drops the line and an open block, Ctrl-D ends the run
// after reporting a block left open. A line that cannot be read is a
// failure, numbered "<terminal>:N", and counted.
//
// Thread: the program's one thread.
#pragma once

#include <string>
#include <vector>

class run_end;
class session_recorder;
class transcript;
struct scenario_error;

class prompt_lines {
public:
    prompt_lines(session_recorder& session, transcript& out, run_end& ending);

    // The main prompt, or the continuation prompt inside a block.
    const char* prompt() const;
    // A whole line typed.
    void line(const std::string& text);
    // Ctrl-C: the line typed is gone, and an open block with it.
    void cancelled();
    // Ctrl-D: the end of input.
    void ended();

    int badLines() const { return badLines_; }

private:
    void report(const std::vector<scenario_error>& errors);

    session_recorder& session_;
    transcript& out_;
    run_end& ending_;
    int badLines_ = 0;
};
