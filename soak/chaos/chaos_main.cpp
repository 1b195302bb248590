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
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "app/options.h"
#include "chaos_soak.h"

namespace {

bool readNumber(const char* text, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0';
}

const char* const usage = "usage: chaos_soak [--seconds N] [--seed N] [--rounds N] [--module PATH] [--layouts DIR]\n"
                          "                  [--transcript FILE]\n";

const char* const help = "The panel against misbehaving routers: routers 31 and 33 on SW-P-08 doubles, 32 on a\n"
                         "Videohub double (127.0.0.1), three panel components, faults drawn from the seed. After\n"
                         "each round it checks the host's view of each router, each component's tallies and the\n"
                         "undo labels after a Take. Without --seed a fresh seed is drawn and printed.\n"
                         "  --seconds N     run for about N seconds (default 30, at most 604800)\n"
                         "  --seed N        seed of the run (0 to 4294967295)\n"
                         "  --rounds N      stop after N rounds (a failing run names its round)\n"
                         "  --module PATH   the panel module (default: Tessaly_Q next to chaos_soak)\n"
                         "  --layouts DIR   the folder of the panel's layout\n"
                         "  --transcript FILE  write the whole transcript there (every revertive: large)\n"
                         "Exit status: 0 passed, 1 a check failed, 2 bad usage or setup.\n";

}  // namespace

int main(int argc, char** argv)
{
    chaos_settings settings;
    settings.seed = std::random_device{}();
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
        } else if (option == "--seconds" && hasValue && readNumber(argv[at + 1], number) && number > 0 &&
                   number <= 604800) {
            settings.seconds = static_cast<double>(number);
        } else if (option == "--rounds" && hasValue && readNumber(argv[at + 1], number) && number > 0 &&
                   number <= 100000000) {
            settings.maxRounds = static_cast<int>(number);
        } else if (option == "--module" && hasValue) {
            paths.module = argv[at + 1];
        } else if (option == "--transcript" && hasValue) {
            settings.transcriptFile = argv[at + 1];
        } else if (option == "--layouts" && hasValue) {
            paths.layouts = argv[at + 1];
        } else {
            std::cerr << "chaos_soak: bad or incomplete option \"" << option << "\"\n" << usage;
            return 2;
        }
        ++at;
    }
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
