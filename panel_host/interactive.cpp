#include "interactive.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <readline/history.h>
#include <readline/readline.h>

#include "scenario_parser.h"
#include "scenario_runner.h"

namespace {

std::string historyFile()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return std::string();
    return std::string(home) + "/.panel_host_history";
}

}  // namespace

int runInteractive(scenario_runner& runner)
{
    std::string history = historyFile();
    using_history();
    if (!history.empty())
        read_history(history.c_str());

    std::cout << "panel_host: type scenario lines; \"help\" lists them, \"quit\" ends.\n";
    scenario_parser parser("<terminal>");
    int badLines = 0;
    for (;;) {
        char* raw = readline(parser.inBlock() ? "     ...> " : "panel_host> ");
        if (raw == nullptr) {
            std::cout << '\n';
            break;
        }
        std::string line(raw);
        std::free(raw);
        if (!line.empty() && line.find_first_not_of(" \t") != std::string::npos)
            add_history(line.c_str());
        if (!parser.inBlock() && (line == "quit" || line == "exit"))
            break;
        std::vector<scenario_step> steps;
        std::vector<scenario_error> errors;
        parser.feed(line, steps, errors);
        for (const auto& error : errors) {
            std::cout << error.message << '\n';
            ++badLines;
        }
        for (const auto& step : steps)
            runner.run(step);
    }
    if (!history.empty()) {
        stifle_history(1000);
        write_history(history.c_str());
    }
    return badLines;
}
