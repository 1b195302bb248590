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

std::string makeSummary()
{
    std::string out;
    for (const verb_entry& entry : scenarioVerbs()) {
        if (entry.word == nullptr)
            out += std::string(entry.help) + "\n";
        else if (entry.help != nullptr)
            addHelpLines(out, entry.help);
    }
    return out;
}

}  // namespace

const char* scenarioLanguageSummary()
{
    static const std::string summary = makeSummary();
    return summary.c_str();
}
