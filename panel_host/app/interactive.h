// interactive: the prompt of panel_host on a terminal. Lines are read with
// GNU readline (editing, history kept in ~/.panel_host_history) and run
// as scenario lines one by one; a block ("expect sent" ... "end") is read
// with a continuation prompt.
//
// The prompt takes exactly the lines of a scenario file, so a session can
// be pasted into one: nothing is created until the first "create". A line
// that cannot be read is a failure like a failed expectation, numbered
// "<terminal>:N". Ctrl-C drops the line being typed (and an open block);
// Ctrl-D, "quit" or "exit" end the session, and the component still alive
// is destroyed by the caller.
#pragma once

class session_recorder;
class transcript;

// Runs until end of input or "quit", every line through the session (which
// records it when recording). Returns the number of lines that could not be
// read (each reported as a failure through `out`).
int runInteractive(session_recorder& session, transcript& out);
