#include "interactive.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#if defined(ZELM_HAVE_READLINE)
#  include <readline/history.h>
#  include <readline/readline.h>
#endif

#include "scenario_parser.h"
#include "session_recorder.h"

namespace {

std::string historyFile()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return std::string();
    return std::string(home) + "/.panel_host_history";
}

// The terminal seam: line editing and a kept history through readline where
// it exists; elsewhere (Windows, whose console edits lines itself) plain
// lines from standard input and no history file.
#if defined(ZELM_HAVE_READLINE)
void openHistory(const std::string& file)
{
    using_history();
    if (!file.empty())
        read_history(file.c_str());
}

bool readLine(const char* prompt, std::string& line)
{
    char* raw = readline(prompt);
    if (raw == nullptr)
        return false;
    line = raw;
    std::free(raw);
    return true;
}

void remember(const std::string& line)
{
    add_history(line.c_str());
}

void saveHistory(const std::string& file)
{
    if (file.empty())
        return;
    stifle_history(1000);
    write_history(file.c_str());
}
#else
void openHistory(const std::string&) {}

bool readLine(const char* prompt, std::string& line)
{
    std::cout << prompt << std::flush;
    return static_cast<bool>(std::getline(std::cin, line));
}

void remember(const std::string&) {}
void saveHistory(const std::string&) {}
#endif

}  // namespace

int runInteractive(session_recorder& session)
{
    const std::string history = historyFile();
    openHistory(history);

    std::cout << "panel_host: type scenario lines; \"help\" lists them, \"quit\" ends.\n";
    int badLines = 0;
    for (;;) {
        std::string line;
        if (!readLine(session.inBlock() ? "     ...> " : "panel_host> ", line)) {
            std::cout << '\n';
            break;
        }
        if (!line.empty() && line.find_first_not_of(" \t") != std::string::npos)
            remember(line);
        if (!session.inBlock() && (line == "quit" || line == "exit"))
            break;
        for (const auto& error : session.runLine(line).errors) {
            std::cout << error.message << '\n';
            ++badLines;
        }
    }
    saveHistory(history);
    return badLines;
}
