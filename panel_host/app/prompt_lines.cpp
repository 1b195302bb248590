#include "app/prompt_lines.h"

#include <iostream>

#include "app/run_end.h"
#include "scenario/scenario_parser.h"
#include "scenario/session_recorder.h"
#include "text/transcript.h"

namespace {

constexpr const char* mainPrompt = "panel_host> ";
constexpr const char* blockPrompt = "     ...> ";

}  // namespace

prompt_lines::prompt_lines(session_recorder& session, transcript& out, run_end& ending)
    : session_(session), out_(out), ending_(ending)
{
}

const char* prompt_lines::prompt() const { return session_.inBlock() ? blockPrompt : mainPrompt; }

void prompt_lines::line(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    const std::string bare = first == std::string::npos ? std::string()
                                                        : text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    // Inside a block "quit" is read as one of its lines.
    if (!session_.inBlock() && (bare == "quit" || bare == "exit")) {
        ending_.request("quit");
        return;
    }
    report(session_.runLine(text).errors);
}

void prompt_lines::cancelled()
{
    std::cout << "^C" << std::endl;
    if (session_.inBlock()) {
        session_.dropBlock();
        std::cout << "(the open block is dropped)" << std::endl;
    }
}

void prompt_lines::ended()
{
    std::cout << '\n';
    report(session_.finish());
    ending_.request("the end of input");
}

void prompt_lines::report(const std::vector<scenario_error>& errors)
{
    for (const auto& error : errors) {
        out_.failure(error.where(), error.message);
        ++badLines_;
    }
    out_.flush();
}
