// A seeded soak of the take / undo panel in the simulator: a random run of
// operator actions (parameters, presses, time passing) and facility events
// (outside routes, name changes, faults), generated from one seed so that
// the same seed replays the same run exactly. After every step it checks,
// from the outside, what must always hold:
//
//  - every answer the host handed out came back once (the simulator's own
//    protocol checks report nothing);
//  - "Take" turns enabled only on a package selection, runs its flash timer
//    while enabled, and is disabled after its time-out, a Take, a Clear or
//    a selection that is not ready;
//  - after a Take and an Undo with every tally current (no fault since the
//    last full poll), no level toggled, no router shared between levels and
//    no outside route in between, every crosspoint on destinations 1 to 200
//    of every router is as it was before the Take;
//  - on destruction every registered router is unregistered ("RU"), a
//    running take timer is stopped ("ET 1") and "AS" is the last command.
//
// The run is spread over files by job: the generator (soak_run.cpp), the
// checks (panel_soak_checks.cpp), the installation it generates
// (panel_soak_installation.cpp), on the loop, random source and report
// that every soak shares (soak_loop, soak_random, soak_report).
#pragma once

#include <cstdint>
#include <string>

#include "soak_outcome.h"

struct soak_settings {
    std::uint32_t seed = 1;
    int steps = 20000;
    std::string modulePath;  // the panel module
    std::string layoutDir;   // folder of TessalyQ.zelm_ui
    std::string loadData;    // the data text for the export
    // When set, the generated installation is copied here at the end, so
    // that panel_host can replay the run's scenario against it.
    std::string keepInstallation;
};

// The outcome of a panel soak, with what its checks counted.
struct soak_result : soak_outcome {
    int takesChecked = 0;  // Take/Undo pairs whose restoration was compared
    int armings = 0;       // times "Take" turned enabled
};

// Runs the soak in a generated installation of its own (QV_ROOT and
// QV_SYSTEM point at it while it runs). Never throws on a failing panel;
// the result says what failed.
soak_result runSoak(const soak_settings& settings);
