// panel_soak: a seeded random run of the take / undo panel in the
// simulator, checked after every step (see soak_run.h).
//
//   panel_soak [--seed N] [--steps N] [--module PATH] [--layouts DIR]
//              [--write-scenario FILE] [--write-installation DIR]
//
// Without --seed a fresh seed is drawn; it is printed first, and the same
// seed with the same --steps replays the run exactly. --write-scenario
// writes the run as a scenario file that panel_host replays too, against
// the generated installation that --write-installation keeps (with
// --installation DIR --system SYS).
// Exit status: 0 passed, 1 an invariant failed, 2 bad usage or setup.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <string>

#include "app/options.h"
#include "soak_report.h"
#include "soak_run.h"

namespace {

bool readNumber(const char* text, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0';
}

const char* const usage = "usage: panel_soak [--seed N] [--steps N] [--module PATH] [--layouts DIR]\n"
                          "                  [--write-scenario FILE] [--write-installation DIR]\n";

const char* const help = "A seeded random run of the take / undo panel in the simulator, checked after\n"
                         "every step. Without --seed a fresh seed is drawn and printed; the same seed\n"
                         "with the same --steps replays the run exactly.\n"
                         "  --seed N                    seed of the run (0 to 4294967295)\n"
                         "  --steps N                   number of steps (default 20000, at most 100000000)\n"
                         "  --module PATH               the panel module (default: Tessaly_Q next to panel_soak)\n"
                         "  --layouts DIR               the folder of the panel's layout\n"
                         "  --write-scenario FILE       write the run as a scenario that panel_host replays\n"
                         "  --write-installation DIR    keep the generated installation there (for panel_host\n"
                         "                              --installation DIR --system SYS)\n"
                         "Exit status: 0 passed, 1 an invariant failed, 2 bad usage or setup.\n";

}  // namespace

int main(int argc, char** argv)
{
    soak_settings settings;
    settings.seed = std::random_device{}();
    std::string scenarioFile;
    host_options paths;
    for (int at = 1; at < argc; ++at) {
        const std::string option = argv[at];
        const bool hasValue = at + 1 < argc;
        long long number = 0;
        if (option == "--help" || option == "-h") {
            std::cout << usage << '\n' << help;
            return 0;
        }
        if (option == "--seed" && hasValue && readNumber(argv[at + 1], number) && number >= 0 && number <= UINT32_MAX) {
            settings.seed = static_cast<std::uint32_t>(number);
        } else if (option == "--steps" && hasValue && readNumber(argv[at + 1], number) && number > 0 &&
                   number <= 100000000) {
            settings.steps = static_cast<int>(number);
        } else if (option == "--module" && hasValue) {
            paths.module = argv[at + 1];
        } else if (option == "--layouts" && hasValue) {
            paths.layouts = argv[at + 1];
        } else if (option == "--write-scenario" && hasValue) {
            scenarioFile = argv[at + 1];
        } else if (option == "--write-installation" && hasValue) {
            settings.keepInstallation = argv[at + 1];
        } else {
            std::cerr << "panel_soak: bad or incomplete option \"" << option << "\"\n" << usage;
            return 2;
        }
        ++at;
    }
    paths.installation = "unused";  // the soak writes an installation of its own
    applyDefaults(paths, executableDirectory(argc > 0 ? argv[0] : nullptr));
    settings.modulePath = paths.module;
    settings.layoutDir = paths.layouts;
    settings.loadData = paths.data;

    std::cout << "panel_soak: seed " << settings.seed << ", " << settings.steps << " steps" << std::endl;
    const soak_result result = runSoak(settings);
    const soak_run_name run{"panel_soak", settings.seed, settings.steps};

    if (!scenarioFile.empty() && !writeSoakScenario(scenarioFile, run, result)) {
        std::cerr << "panel_soak: cannot write " << scenarioFile << '\n';
        return 2;
    }
    if (!result.passed) {
        reportSoakFailure(std::cerr, run, result);
        return result.stepsRun == 0 ? 2 : 1;
    }
    reportSoakPass(std::cout, run, result,
                   std::to_string(result.armings) + " armings, " + std::to_string(result.takesChecked) +
                       " Take/Undo restorations compared");
    return 0;
}
