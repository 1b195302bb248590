// chaos_faults: what the chaos soak draws from its seed: faults of the
// routers, as lines of the doubles' commands (routers/doubles/
// double_commands.h), and actions of the operators, as scenario lines.
// Drawing reads nothing but the dice, so that one seed draws one sequence
// whatever the timing on the wire did.
#pragma once

#include <cstdint>
#include <random>
#include <string>

// The seed's dice. Counted with plain modulo, so that a seed draws the
// same on every standard library.
class chaos_dice {
public:
    explicit chaos_dice(std::uint32_t seed) : random_(seed) {}
    // 0 to n - 1.
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::mt19937 random_;
};

struct chaos_step {
    std::string kind;  // the fault's kind ("restart", "junk", ...) or "take", "undo", "select"
    int device = 0;    // the router a fault is done to (0 for an action)
    std::string line;  // the double's command, or the scenario lines of an action
    bool action() const { return device == 0; }
};

// One fault of one of the routers (31, 32, 33), or one operator's action.
chaos_step drawStep(chaos_dice& dice, int round);

// The source and destination packages whose every level (Video, Audio 1,
// Audio 2) has a router index in the sample installation, within the
// panel's tally (destinations up to 200): a Take on them routes all three.
int drawSourcePackage(chaos_dice& dice);
int drawDestinationPackage(chaos_dice& dice);
