// interactive: the prompt of panel_host on a terminal. Lines are read with
// GNU readline (editing, history kept in ~/.panel_host_history) and run
// as scenario lines one by one; a block ("expect sent" ... "end") is read
// with a continuation prompt.
#pragma once

class session_recorder;

// Runs until end of input or "quit", every line through the session (which
// records it when recording). Returns the number of lines that could not be
// read.
int runInteractive(session_recorder& session);
