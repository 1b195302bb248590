// chaos_soak: the panel against misbehaving routers on loopback, seeded
// (see chaos_soak.h).
//
//   chaos_soak [--seconds N] [--seed N] [--rounds N] [--module PATH] [--layouts DIR]
//              [--transcript FILE]
//
// Without --seed a fresh seed is drawn; it is printed first. A line of
// figures with the resident memory is printed every 10 s.
// Exit status: 0 passed, 1 a check failed, 2 bad usage or setup.
#include <cstdint>
#include <iostream>
#include <random>
#include <string>

#include "app/options.h"
#include "chaos_soak.h"
#include "soak_options.h"

namespace {

int run(int argc, char** argv)
{
    chaos_settings settings;
    settings.seed = std::random_device{}();
    host_options paths;
    CLI::App app("The panel against misbehaving routers: routers 31 and 33 on SW-P-08 doubles, 32 on a\n"
                 "Videohub double (127.0.0.1), three panel components, faults drawn from the seed. After\n"
                 "each round it checks the host's view of each router, each component's tallies and the\n"
                 "undo labels after a Take. Without --seed a fresh seed is drawn and printed.",
                 "chaos_soak");
    app.add_option("--seconds", settings.seconds, "Run for about N seconds (default 30).")
        ->check(CLI::Range(1.0, 604800.0));
    app.add_option("--seed", settings.seed, "Seed of the run (0 to 4294967295).");
    app.add_option("--rounds", settings.maxRounds, "Stop after N rounds (a failing run names its round).")
        ->check(CLI::Range(1, 100000000));
    app.add_option("--module", paths.module, "The panel module (default: Tessaly_Q next to chaos_soak).");
    app.add_option("--layouts", paths.layouts, "The folder of the panel's layout.");
    app.add_option("--transcript", settings.transcriptFile,
                   "Write the whole transcript there (every revertive: large).");
    app.footer("Exit status: 0 passed, 1 a check failed, 2 bad usage or setup.");
    int status = 0;
    if (!readSoakOptions(app, argc, argv, status))
        return status;
    applyDefaults(paths, executableDirectory(argc > 0 ? argv[0] : nullptr));
    settings.modulePath = paths.module;
    settings.layoutDir = paths.layouts;
    settings.installation = paths.installation;
    settings.progress = &std::cout;

    std::cout << "chaos_soak: seed " << settings.seed << ", " << static_cast<long>(settings.seconds) << " s"
              << std::endl;
    const chaos_result result = runChaosSoak(settings);
    (result.passed ? std::cout : std::cerr) << describe(result, settings.seed);
    if (!result.passed)
        return result.rounds == 0 ? 2 : 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return runSoakProgram("chaos_soak", run, argc, argv); }
