// scenario_step: one line of a scenario as the parser hands it to the
// runner, and a line the parser could not read.
//
// What each kind of line looks like, and what it does, is written once: in
// the verb table (scenario/scenario_grammar.cpp), which the parser, its
// messages and "help" all read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class step_kind {
    create,
    destroy,
    set,
    get,
    param,
    press,
    route,
    rename,
    wait,
    revertive,
    tick,
    show_panel,
    show_router,
    say,
    fault_delay,
    fault_drop,
    fault_duplicate,
    fault_seed,
    fault_offline,
    fault_online,
    fault_clear,
    after,
    expect_sent,
    expect_answer,
    expect_property,  // "expect text" too, with the property "text"
    expect_enabled,   // "expect disabled" too, with flag false
    expect_crosspoint,
    expect_timer,
    help,
    use_component,
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
    bool hasText = false;              // create with data, press with event text, show router with range, answer given
    bool flag = false;                 // press force; expect enabled (true) / disabled (false); timer running
    std::vector<std::string> lines;    // expect sent / expect answer blocks
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
