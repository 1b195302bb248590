// How a soak program tells its run: the scenario file that replays it, the
// failure with its seed and the lines before it, the summary of a pass.
// `program` names the soak ("panel_soak"); the replay command it prints is
// `program --seed SEED --steps STEPS`.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "soak_outcome.h"

struct soak_run_name {
    const char* program;
    std::uint32_t seed;
    int steps;
};

// Writes every line the run ran, after a comment naming the run, as a
// scenario that panel_host replays. False when the file cannot be written.
bool writeSoakScenario(const std::string& path, const soak_run_name& run, const soak_outcome& outcome);

// The failure, the lines just before it and the command that replays it.
void reportSoakFailure(std::ostream& out, const soak_run_name& run, const soak_outcome& outcome);

// The summary of a passed run: steps, time, rate, commands, then `counts`
// (what the soak's own checks counted, "" for none) and the digest.
void reportSoakPass(std::ostream& out, const soak_run_name& run, const soak_outcome& outcome,
                    const std::string& counts);
