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
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class step_kind {
    create,             // create [DATA]
    destroy,            // destroy
    set,                // set NAME VALUE
    get,                // get WHAT            (parameter "return=WHAT")
    param,              // param TEXT          (raw parameter text)
    press,              // press CONTROL [EVENTTEXT] [on PANEL] [force]
    route,              // route DEVICE SOURCE DESTINATION
    rename,             // rename DEVICE DATABASE INDEX NAME
    wait,               // wait TIME
    revertive,          // revertive DEVICE DESTINATION SOURCE
    tick,               // tick TIMER
    show_panel,         // show [PANEL]
    show_router,        // show router DEVICE [FIRST [LAST]]
    say,                // say TEXT
    fault_delay,        // fault delay TIME
    fault_drop,         // fault drop PERCENT
    fault_duplicate,    // fault duplicate PERCENT
    fault_seed,         // fault seed NUMBER
    fault_offline,      // fault offline DEVICE
    fault_online,       // fault online DEVICE
    fault_clear,        // fault clear
    after,              // after TIME LINE
    expect_sent,        // expect sent (block) | expect sent nothing
    expect_answer,      // expect answer [TEXT] (block without TEXT) | expect answer none
    expect_property,    // expect property CONTROL PROPERTY VALUE [on PANEL]; expect text CONTROL VALUE
    expect_enabled,     // expect enabled CONTROL [on PANEL]; expect disabled ... (enabled = false)
    expect_crosspoint,  // expect crosspoint DEVICE DESTINATION SOURCE
    expect_timer,       // expect timer ID running|stopped
    help,               // help (interactive)
    use_component,      // use NAME            (the component later lines address)
};

struct scenario_step {
    step_kind kind = step_kind::say;
    std::string file;
    int line = 0;

    std::string name;      // parameter name, control id, get/param text
    std::string text;      // value, event text, name, say text, load data, expected text
    std::string property;  // expect property
    std::string panel = "1";
    std::int64_t a = 0, b = 0, c = 0;  // numbers, in the order the line gives them
    std::int64_t time = 0;             // milliseconds: wait, after, fault delay
    bool hasText = false;  // create with data, press with event text, show router with range, answer given
    bool flag = false;     // press force; expect enabled (true) / disabled (false); timer running
    std::vector<std::string> lines;  // expect sent / expect answer blocks
    std::shared_ptr<const scenario_step> inner;  // after: the scheduled step
    std::string component;  // "NAME: line": the component this line addresses; empty: the current one

    std::string where() const { return file + ":" + std::to_string(line); }
};

struct scenario_error {
    std::string file;
    int line = 0;
    std::string message;
    std::string where() const { return file + ":" + std::to_string(line); }
};

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
// The line starting at `at` (without its '\n'), with `at` moved past it;
// false at the end of the text.
bool nextLine(std::string_view text, std::size_t& at, std::string_view& line);

// Splits one scenario line into words: blanks separate, double quotes group
// (with \" and \\), '#' at the start of a word ends the line. False, with
// `error` set, for an unterminated quote.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error);

// "250", "250ms", "3s", "1.5s" -> milliseconds. False for anything else or a
// negative time.
bool readTime(std::string_view text, std::int64_t& milliseconds);
// The longest time one line may wait, schedule ("after") or delay
// revertives by: a day. It keeps the virtual clock far from overflowing.
constexpr std::int64_t longestTime = 24LL * 3600 * 1000;

// Several components: "use NAME" makes NAME the component that later lines
// address, and "NAME: LINE" addresses one line. Only the lines that speak
// to a component (create, destroy, set, get, param, press, revertive,
// tick, show PANEL and the expectations but crosspoint) take a name; the
// facility's lines (route, rename, wait, fault ...) take none.
bool addressesComponent(step_kind kind);
// A component name: a letter, then letters, digits, '_' or '-'.
bool isComponentName(std::string_view name);

// The summary of every line the language knows, for "help" and --help.
const char* scenarioLanguageSummary();
