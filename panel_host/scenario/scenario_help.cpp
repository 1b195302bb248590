// The summary of the language, for the "help" line and the end of --help:
// made from the verb table's rows, in their order.
#include "scenario/scenario_grammar.h"

namespace {

// Descriptions start in this column, after the two blanks every line of
// the summary starts with.
constexpr std::size_t descriptionColumn = 37;

void addHelpLines(std::string& out, std::string_view help)
{
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(help, at, line)) {
        std::size_t tab = line.find('\t');
        std::string_view synopsis = line.substr(0, tab);
        out += "  ";
        out += synopsis;
        if (tab != std::string_view::npos) {
            // A synopsis too long for the column puts its description below.
            if (synopsis.size() < descriptionColumn)
                out.append(descriptionColumn - synopsis.size(), ' ');
            else
                out += "\n  " + std::string(descriptionColumn, ' ');
            out += line.substr(tab + 1);
        }
        out += '\n';
    }
}

// The last part of the table lists the prompt's own keys; the page has no
// prompt, so its summary ends before them with what the page offers.
constexpr std::string_view promptHeading = "At the prompt";
constexpr const char* browserPart = "In the browser view:\n";
constexpr const char* browserHelp = "help\tthis list\n"
                                    "buttons, forms, router rows\tsend these same lines (the transcript shows each);\n"
                                    "\tTab moves between them, Enter or Space presses";

std::string makeSummary(summary_place place)
{
    std::string out;
    for (const verb_entry& entry : scenarioVerbs()) {
        if (entry.word == nullptr) {
            if (place == summary_place::browser &&
                std::string_view(entry.help).substr(0, promptHeading.size()) == promptHeading) {
                out += browserPart;
                addHelpLines(out, browserHelp);
                break;
            }
            out += std::string(entry.help) + "\n";
        } else if (entry.help != nullptr) {
            addHelpLines(out, entry.help);
        }
    }
    return out;
}

}  // namespace

const char* scenarioLanguageSummary(summary_place place)
{
    static const std::string terminal = makeSummary(summary_place::terminal);
    static const std::string browser = makeSummary(summary_place::browser);
    return place == summary_place::browser ? browser.c_str() : terminal.c_str();
}
