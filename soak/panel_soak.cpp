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
#include <iostream>
#include <random>
#include <string>

#include "app/options.h"
#include "soak_options.h"
#include "soak_report.h"
#include "soak_run.h"

namespace {

int run(int argc, char** argv)
{
    soak_settings settings;
    settings.seed = std::random_device{}();
    std::string scenarioFile;
    host_options paths;
    CLI::App app("A seeded random run of the take / undo panel in the simulator, checked after every step.\n"
                 "Without --seed a fresh seed is drawn and printed; the same seed with the same --steps\n"
                 "replays the run exactly.",
                 "panel_soak");
    app.add_option("--seed", settings.seed, "Seed of the run (0 to 4294967295).");
    app.add_option("--steps", settings.steps, "Number of steps (default 20000).")->check(CLI::Range(1, 100000000));
    app.add_option("--module", paths.module, "The panel module (default: Tessaly_Q next to panel_soak).");
    app.add_option("--layouts", paths.layouts, "The folder of the panel's layout.");
    app.add_option("--write-scenario", scenarioFile, "Write the run as a scenario that panel_host replays.");
    app.add_option("--write-installation", settings.keepInstallation,
                   "Keep the generated installation there (for panel_host --installation DIR --system SYS).");
    app.footer("Exit status: 0 passed, 1 an invariant failed, 2 bad usage or setup.");
    int status = 0;
    if (!readSoakOptions(app, argc, argv, status))
        return status;
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

}  // namespace

int main(int argc, char** argv) { return runSoakProgram("panel_soak", run, argc, argv); }
