// chaos_soak: a seeded soak of the panel against misbehaving routers. Three
// routers of the sample installation run on protocol doubles on loopback
// (31 and 33 on SW-P-08, 32 on Videohub), three components of the panel
// module share them, and each round draws from the seed a few faults (a
// dropped link, a restart with other routing, a late start, NAKs, damaged
// frames, junk, floods of reports and labels, a slow reader, silence,
// unsolicited tallies and dumps, another controller routing, out-of-range
// bytes) and operator Takes. After each round the routers are left alone
// until every link has settled, and three things are checked:
//
//  - the host's view of each router equals the double's own table;
//  - each component's tallies (the last revertive it was handed for each
//    destination it registered) equal the double's table;
//  - after a Take, the undo labels name what the router carried.
//
// The seed fixes the faults and actions drawn, in order; the timing on the
// wire is the machine's, so a failure is reproduced by the seed and the
// round it names, not byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

class chaos_facility;

struct chaos_settings {
    std::uint32_t seed = 1;
    double seconds = 30;             // the run stops after the round that passes this
    int maxRounds = 0;               // 0: no limit but time
    std::string modulePath;          // the panel module
    std::string layoutDir;           // folder of TessalyQ.zelm_ui
    std::string installation;        // QV_ROOT of the sample installation
    std::string transcriptFile;      // when set, the whole transcript (verbosity 2) is written there
    double reportEverySeconds = 10;  // an RSS line this often on `progress`
    std::ostream* progress = nullptr;
    // How long the routers may take to settle after a round.
    double quietLimitSeconds = 20;
    // Called after each round's faults, before the quiet period: a test
    // does what the host cannot know of, to see the checks catch it.
    std::function<void(chaos_facility&, int round)> afterFaults;
};

struct rss_sample {
    double seconds = 0;
    long kib = 0;
};

struct chaos_result {
    bool passed = true;
    int rounds = 0;                     // rounds run (a round: faults and actions, then a quiet period and the checks)
    int steps = 0;                      // faults and actions carried out
    int actions = 0;                    // of those, the operators' (selections, Take, Undo)
    std::string failure;                // what failed, with the round
    std::string recentTranscript;       // the transcript's last lines at the failure
    std::map<std::string, int> faults;  // faults carried out, by kind
    long routerChecks = 0;              // routers whose whole table was compared
    long tallyChecks = 0;               // (component, destination) tallies compared
    long labelChecks = 0;               // undo labels compared after a Take
    std::vector<rss_sample> rss;        // at the start, every reportEverySeconds, at the end
    double seconds = 0;
};

// Runs the soak. Never throws on a failing host; the result says what
// failed. A setup that cannot start (no module, no port) fails at round 0.
chaos_result runChaosSoak(const chaos_settings& settings);

// The figures of a run, a few lines for a person.
std::string describe(const chaos_result& result, std::uint32_t seed);

// Resident memory of this process in KiB (0 where it cannot be read).
long residentKiB();
