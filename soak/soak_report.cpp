#include "soak_report.h"

#include <fstream>
#include <ios>
#include <string>

namespace {

std::ostream& replayCommand(std::ostream& out, const soak_run_name& run)
{
    return out << run.program << " --seed " << run.seed << " --steps " << run.steps;
}

}  // namespace

bool writeSoakScenario(const std::string& path, const soak_run_name& run, const soak_outcome& outcome)
{
    std::ofstream out(path, std::ios::trunc);
    replayCommand(out << "# ", run) << "\n";
    for (const std::string& line : outcome.scenario)
        out << line << '\n';
    return static_cast<bool>(out);
}

void reportSoakFailure(std::ostream& out, const soak_run_name& run, const soak_outcome& outcome)
{
    out << run.program << ": FAILED with seed " << run.seed << ", " << outcome.failure << "\n"
        << "  the last lines run:\n";
    for (const std::string& line : outcome.recentLines)
        out << "    " << line << '\n';
    replayCommand(out << "  replay: ", run) << '\n';
}

void reportSoakPass(std::ostream& out, const soak_run_name& run, const soak_outcome& outcome, const std::string& counts)
{
    out << run.program << ": passed " << outcome.stepsRun << " steps in " << outcome.seconds << " s ("
        << static_cast<long long>(outcome.stepsRun / (outcome.seconds > 0 ? outcome.seconds : 1)) << " steps/s, "
        << outcome.hostEvents << " commands), " << counts << (counts.empty() ? "" : ", ") << "digest " << std::hex
        << outcome.digest << std::dec << '\n';
}
