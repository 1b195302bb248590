// What any soak run yields: whether it passed, the lines it ran, the digest
// that tells two runs of one seed apart from a changed one, and the failure
// with the lines just before it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct soak_outcome {
    bool passed = true;
    int stepsRun = 0;                      // scenario lines run (a step may take a few)
    std::string failure;                   // what went wrong, at which step
    std::vector<std::string> recentLines;  // the scenario lines just before it
    std::vector<std::string> scenario;     // every line run, a replayable scenario
    std::uint64_t digest = 0;              // of every line sent, in order
    std::int64_t hostEvents = 0;           // command lines the component sent
    double seconds = 0;                    // wall time of the run itself
};
