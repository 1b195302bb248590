#include "chaos_faults.h"

#include <vector>

namespace {

struct router_size {
    int device, inputs, outputs;
};

// The sample installation's routers as the doubles hold them.
const router_size sizes[] = {{31, 24, 32}, {32, 64, 240}, {33, 16, 16}};

const router_size& drawRouter(chaos_dice& dice) { return sizes[dice.below(3)]; }

std::string routeLine(const char* verb, chaos_dice& dice, const router_size& router)
{
    return std::string(verb) + " " + std::to_string(dice.below(router.outputs)) + " " +
           std::to_string(dice.below(router.inputs));
}

// Faults both protocols know. Several lines are joined by '\n'.
std::string commonFault(chaos_dice& dice, const router_size& router, std::string& kind)
{
    switch (dice.below(12)) {
    case 0:
        kind = "drop";
        return "drop";
    case 1:
        kind = "restart";
        return "restart " + std::to_string(1 + dice.below(router.inputs - 1)) + " " +
               std::to_string(50 + dice.below(250));
    case 2:
        kind = "late start";
        return "drop\nlate " + std::to_string(100 + dice.below(400));
    case 3:
        kind = "refuse";
        return "refuse on\ndrop";
    case 4:
        kind = "silence";
        return "silence on";
    case 5:
        kind = "slow reader";
        return "slow " + std::to_string(16 << dice.below(5));
    case 6:
        kind = "junk";
        return "junk " + std::to_string(100 + dice.below(5000));
    case 7:
        kind = "flood of reports";
        return "flood " + std::to_string(100 + dice.below(5000));
    case 8:
        kind = "out of range";
        return "out-of-range";
    case 9:
        kind = "unsolicited dump";
        return routeLine("set", dice, router) + "\n" + routeLine("set", dice, router) + "\ndump";
    default:
        kind = "other controller";
        return routeLine("route", dice, router);
    }
}

std::string swp08Fault(chaos_dice& dice, const router_size& router, std::string& kind)
{
    static const char* const answers[] = {"dump", "tallies", "none"};
    switch (dice.below(4)) {
    case 0:
        kind = "NAK";
        return "nak " + std::to_string(1 + dice.below(4));
    case 1:
        kind = "damaged frame";
        return "corrupt";
    case 2:
        kind = "dump answer";
        return std::string("dump-answer ") + answers[dice.below(3)];
    default: {
        kind = "unsolicited tally";
        std::string set = routeLine("set", dice, router);
        return set + "\ntally " + set.substr(4, set.find(' ', 4) - 4);
    }
    }
}

std::string videohubFault(chaos_dice& dice, int round, std::string& kind)
{
    if (dice.chance(50)) {
        kind = "flood of labels";
        return "flood-labels " + std::to_string(50 + dice.below(2000));
    }
    kind = "relabel";
    return "relabel 0 " + std::to_string(dice.below(12)) + " R" + std::to_string(round) + "|" +
           std::to_string(dice.below(100));
}

chaos_step drawAction(chaos_dice& dice)
{
    static const char* const names[] = {"A", "B", "C"};
    const std::string who = std::string(names[dice.below(3)]) + ": ";
    chaos_step step;
    switch (dice.below(3)) {
    case 0:
        step.kind = "undo";
        step.line = who + "press Undo\n";
        break;
    case 1:
        step.kind = "select";
        step.line = who + "set srcpkg " + std::to_string(drawSourcePackage(dice)) + "\n";
        break;
    default:
        step.kind = "take";
        step.line = who + "set srcpkg " + std::to_string(drawSourcePackage(dice)) + "\n" + who + "set destpkg " +
                    std::to_string(drawDestinationPackage(dice)) + "\n" + who + "press Take\n";
        break;
    }
    return step;
}

}  // namespace

int drawSourcePackage(chaos_dice& dice)
{
    static const int packages[] = {1, 2, 4, 5, 6, 8, 10, 11, 12};
    return packages[dice.below(9)];
}

int drawDestinationPackage(chaos_dice& dice)
{
    static const int packages[] = {1, 2, 3, 5, 6, 7};
    return packages[dice.below(6)];
}

chaos_step drawStep(chaos_dice& dice, int round)
{
    if (dice.chance(35))
        return drawAction(dice);
    const router_size& router = drawRouter(dice);
    chaos_step step;
    step.device = router.device;
    const bool own = dice.chance(35);
    if (own && router.device == 32)
        step.line = videohubFault(dice, round, step.kind);
    else if (own)
        step.line = swp08Fault(dice, router, step.kind);
    else
        step.line = commonFault(dice, router, step.kind);
    return step;
}
