// interactive: the prompt of panel_host on a terminal. Lines are read with
// GNU readline (editing, history kept in ~/.panel_host_history) and run
// as scenario lines one by one; a block ("expect sent" ... "end") is read
// with a continuation prompt.
#pragma once

class scenario_runner;

// Runs until end of input or "quit". Returns the number of lines that
// could not be read.
int runInteractive(scenario_runner& runner);
