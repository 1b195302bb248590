// scenario_grammar: the verb table, where every line of the scenario
// language is written once: its word (and sub-word: "fault delay",
// "expect sent", "show router"), the usage its messages give, its lines in
// the summary that "help" and --help print, and the reader that turns its
// words into a step. The parser reads lines through it; the summary is
// made from it.
//
// A new line is a new row and its reader (scenario_grammar.cpp), a new
// step_kind (scenario_step.h), and what the runner does with it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scenario/scenario_step.h"
#include "scenario/scenario_words.h"

// Reads the line's words into the step (its kind first); false, through
// the line_reader, when the line is not well formed.
using verb_reader = bool (*)(line_reader& line, scenario_step& step);

struct verb_entry {
    // The line's first word, or its first word and sub-word ("fault delay").
    // Null for a heading of the summary (given as `help`).
    const char* word;
    // What messages about the line's form give after "usage: ". Null for a
    // line that takes anything, and for the bare word of a family of
    // sub-words ("fault", "expect"), whose messages list the sub-words.
    const char* usage;
    // The row's lines in the summary, each "SYNOPSIS\tWHAT IT DOES": the
    // description is set in a column; a line "\tMORE" goes on with it, a
    // line without '\t' has none. Null when an earlier row's lines show
    // this one too ("fault drop" in the line of "fault delay").
    const char* help;
    // Null for a line the table only names for the summary: the component
    // prefix "NAME:" (the parser takes it off first), the prompt's own
    // words.
    verb_reader reader;
};

struct verb_table {
    const verb_entry* first;
    const verb_entry* last;
    const verb_entry* begin() const { return first; }
    const verb_entry* end() const { return last; }
};

// Every row, in the order of the summary.
verb_table scenarioVerbs();

// The row named `word` (headings and rows without a reader included);
// null when there is none.
const verb_entry* findVerbEntry(std::string_view word);

// The sub-words of the family `word` ("delay", "drop", ... of "fault"), in
// table order.
std::vector<std::string> subWordsOf(std::string_view word);

// Reads one line's words (a component name already taken off) into
// `step` through the table. False, with `message` set, for a line that is
// not well formed or not known; `block` is set for a step that still waits
// for its block of lines.
bool readStep(const std::vector<std::string>& words, std::string_view raw, scenario_step& step, bool& block,
              std::string& message);

// Where "help" is read: a terminal (the prompt, a scenario, --help) or the
// browser view, whose page has no prompt keys to list.
enum class summary_place { terminal, browser };

// The summary of every line the language knows, for "help" and --help,
// made from the rows (scenario_help.cpp). The browser's lists the rows up
// to the prompt's own, then what the page adds.
const char* scenarioLanguageSummary(summary_place place = summary_place::terminal);
