// The checks of the panel soak (see soak_run.h for what must hold), made
// from the outside after the lines the soak's generator runs: what the
// component holds at the host, the "Take" lamp, the destruction, and the
// crosspoints a Take and its Undo must leave as they were. The generator
// tells them what it did that they cannot see in the commands (a
// reconfiguration, a Take about to run, an outside route in between).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "facility/router_model.h"
#include "soak_loop.h"
#include "soak_run.h"

class panel_soak_checks {
public:
    // Follows every command the component sends through `loop`.
    panel_soak_checks(soak_loop& loop, router_model& routers, soak_result& result);

    bool takeEnabled();
    bool enabled(const char* control);
    // No drops, no delay, every router online: the tallies the panel polls
    // come back as they are.
    bool faultsClean();

    // After any line: "Take" is enabled only between an arming and whatever
    // ends it. `before`: whether it was enabled before the line. True when
    // the line armed "Take" anew (or re-armed it).
    bool afterLine(const std::string& line, bool before);
    // Before "press Clear": whether it can end an armed "Take".
    void beforeClear() { enabledBeforeClear_ = enabled("Clear"); }
    // After "destroy": the component let go of everything.
    // `warningsBefore`: the simulator's warnings before the line.
    void afterDestroy(int warningsBefore);

    // The panel was configured for these level routers; it polled them.
    void configured(const std::vector<int>& routersOfLevels);
    // A Take is about to be performed: the crosspoints to compare after
    // its Undo, when nothing in between spoils the comparison.
    void beforeTake();
    // An Undo was performed: compares, when the Take before it allows.
    void afterUndo();
    // Something happened after the Take that its Undo cannot be expected
    // to put back (a level toggled, an outside route, a fault, a Clear).
    void forgetSnapshot() { restore_.valid = false; }
    // The facility may have answered a poll with a fault in force.
    void facilityChanged();

private:
    void track(const std::string& line);

    struct take_snapshot {
        bool valid = false;
        std::map<std::pair<int, int>, int> crosspoints;
    };

    soak_loop& loop_;
    router_model& routers_;
    soak_result& result_;
    std::vector<int> routersOfLevels_ = std::vector<int>(3, 0);
    bool talliesCurrent_ = false;
    std::set<std::string> registeredByPanel_;
    std::set<std::string> timersByPanel_;
    bool enabledBeforeClear_ = true;
    std::int64_t armedAt_ = 0;
    take_snapshot restore_;
};
