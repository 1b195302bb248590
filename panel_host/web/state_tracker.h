// state_tracker: what changed in the page's state since it last looked, as
// a delta the pages merge into the state they hold. A step that routes one
// crosspoint sends that crosspoint, not the whole facility again: with a
// 4 MB state and a page that reads slowly, whole states pile up by the
// hundred megabytes.
//
// The state's small parts (clock, faults, components, panels, last answer,
// recording) are compared whole, as JSON; the devices one by one: a
// router's name and online state, each crosspoint, and each name, kept as
// a hash rather than a copy so that a large names database is not held
// twice. A device that comes, goes or changes size reshapes the state:
// only the whole state tells that.
//
// Thread: the event loop's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "web/runner_adapter.h"

class device_model;

namespace web {

class state_tracker {
public:
    // `styles`: the installation's state-sheet styles as JSON, part of
    // every whole state.
    state_tracker(const runner_adapter& adapter, std::string styles) : adapter_(adapter), styles_(std::move(styles)) {}

    struct change {
        bool any = false;       // something changed since the last look
        bool reshaped = false;  // only the whole state tells it (and the first look)
        // The parts that changed, {"faults": ..., "routers": [{"device": 31,
        // "crosspoints": {"3": 1}, "names": {"0": {"5": "CAM 5", "6": null}}}]};
        // "crosspoints" is the whole array when most of it changed.
        std::string delta;
    };
    change look();
    // The state as it is now: GET /api/state, and what a page starts from.
    std::string whole() const { return adapter_.stateJson(styles_); }

private:
    struct device_seen {
        bool router = false;
        int sources = 0, destinations = 0;
        std::string header;  // "name" and "online" as JSON members
        std::vector<int> crosspoints;
        std::map<int, std::vector<std::pair<int, std::uint64_t>>> names;  // database: (index, hash), by index
    };
    static device_seen see(const device_model& device);
    static bool sameShape(const device_seen& before, const device_seen& now);
    // Writes {"device": N, what changed} into `out`; false (nothing written) when nothing did.
    static bool writeChanges(std::string& out, const device_model& device, const device_seen& before,
                             const device_seen& now);

    const runner_adapter& adapter_;
    std::string styles_;
    std::vector<state_part> parts_;
    std::map<int, device_seen> devices_;
    bool looked_ = false;
};

}  // namespace web
