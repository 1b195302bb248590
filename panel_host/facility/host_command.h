// host_command: one command line that a component sent, cut into its word
// and arguments.
//
//   "TP 'text=CAM 1' '1' 'Src_L1'"  ->  word "TP", args "text=CAM 1" "1" "Src_L1"
//   "RC 3 5 7 ',' 1"                ->  word "RC", args "3" "5" "7" "," "1"
//
// Components put text arguments in single quotes without escaping anything,
// so a quote inside a text arrives verbatim. The parser therefore reads the
// quoted part of a line as one run from its first to its last quote and cuts
// it at "' '": the texts before the command's free text (the text of "TP",
// the notice of "HN" ...) from the left, those after it from the right, so
// that whatever quotes the free text holds stay in it. Bare words before and
// after the quoted run (numbers, the route flag) are arguments of their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct host_command {
    std::string word;               // "TP", "RC", ...; empty for an empty line
    std::vector<std::string> args;  // in the order they appear
    std::string error;              // why the line could not be read; empty when fine
    bool ok() const { return error.empty(); }
};

// What the host knows of each command: how many arguments in all (min..max)
// and which of its quoted arguments is free text. Unknown words are
// reported in `error`.
host_command parseHostCommand(std::string_view line);

// Reads a whole decimal number (optional sign), false for anything else,
// including numbers out of the 32-bit range.
bool readInt32(std::string_view text, int& out);
