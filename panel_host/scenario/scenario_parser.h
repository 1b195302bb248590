// scenario_parser: reads the line-based scenario language of panel_host.
//
// One step per line; '#' starts a comment outside quotes; a word in double
// quotes may hold blanks (\" and \\ inside). Two expectations take a block
// of lines, ended by a line "end":
//
//   expect sent
//     RC 31 5 7 ',' 0
//     HN 'selected=-1'
//   end
//
// The parser only checks the form of each line (known words, numbers where
// numbers belong); whether a control or a device exists is the runner's
// business. It keeps no state beyond the open block (and a refused
// UTF-16 file), so it can read a file or an interactive session line by
// line. A UTF-8 byte-order mark on the first line is skipped; a NUL in a
// line is an error.
//
// Which lines there are, and how each one's words are read, is the verb
// table's (scenario/scenario_grammar.h); this header still brings the
// table, the words and the step, for those who include only it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/scenario_grammar.h"
#include "scenario/scenario_step.h"
#include "scenario/scenario_words.h"

class scenario_parser {
public:
    explicit scenario_parser(std::string fileName);

    // Reads one line (without its line end). Completed steps are appended
    // to `steps`, problems to `errors`.
    void feed(std::string_view line, std::vector<scenario_step>& steps, std::vector<scenario_error>& errors);
    // Call at the end of input: reports a block still open.
    void finish(std::vector<scenario_error>& errors);
    // True while a block waits for its "end".
    bool inBlock() const { return open_ != nullptr; }
    // Forgets an open block (the prompt's Ctrl-C).
    void dropBlock() { open_.reset(); }
    int lineNumber() const { return lineNumber_; }

private:
    // Takes a byte-order mark and a '\r' off the line; false for a line
    // that is not read (a NUL in it, the first of a UTF-16 file).
    bool readable(std::string_view& line, std::vector<scenario_error>& errors);
    void addBlockLine(std::string_view line, std::vector<scenario_step>& steps);
    void readLine(std::string_view line, std::vector<scenario_step>& steps, std::vector<scenario_error>& errors);

    std::string file_;
    int lineNumber_ = 0;
    bool refused_ = false;  // not a UTF-8 text: the rest is not read
    std::unique_ptr<scenario_step> open_;
};

struct parsed_scenario {
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
};

// Reads a whole scenario text (lines separated by '\n', "\r\n" accepted).
parsed_scenario parseScenario(std::string_view text, const std::string& fileName);

// The most bad lines reported for one scenario: a binary file or a file of
// another language gives a screenful, not a flood.
constexpr std::size_t mostBadLines = 20;
// Checks a whole scenario text without keeping its steps, so a huge
// scenario costs no more than its text. Returns its bad lines; past
// `mostBadLines` of them reading stops, and one more error says where.
std::vector<scenario_error> checkScenario(std::string_view text, const std::string& fileName);

// Several components: "use NAME" makes NAME the component that later lines
// address, and "NAME: LINE" addresses one line. Only the lines that speak
// to a component (create, destroy, set, get, param, press, revertive,
// tick, show PANEL and the expectations but crosspoint) take a name; the
// facility's lines (route, rename, wait, fault ...) take none.
bool addressesComponent(step_kind kind);
