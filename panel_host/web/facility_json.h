// facility_json: the simulated facility as the page's state carries it:
// the faults in force, the routers with their crosspoints and names, and
// the devices that hold only names. Each writes one key of the state
// object into `out`.
#pragma once

#include <functional>
#include <string>

#include "text/file_faults.h"

namespace json {
class writer;
}
class device_model;
class router_model;
struct facility_faults;

// The names databases the page shows (0 sources, 1 destinations, ...),
// and how far up the indices are looked for names: the simulator's bound,
// which every way in (scenario lines, the page, the routers' reports)
// keeps to, so a name past it is never shown.
constexpr int nameDatabases = 10;
constexpr int nameProbeLimit = simulatorSizeLimit + 1;

// Every name of one database of `device`, by rising index.
void forEachName(const device_model& device, int database,
                 const std::function<void(int index, const std::string& name)>& visit);

// "faults": {"delay", "drop", "duplicate", "offline": [device, ...]}.
void writeFaults(json::writer& out, const facility_faults& faults, const router_model& routers);
// "routers": [{"device", "name", "online", "sources", "destinations",
// "crosspoints", "names"}, ...]; crosspoints[i] is the source on
// destination i + 1, 0 for none.
void writeRouters(json::writer& out, const router_model& routers);
// "namesDevices": [{"device", "name", "online", "names"}, ...].
void writeNamesDevices(json::writer& out, const router_model& routers);
// "packages": [{"device", "name", "sources": [{"index", "name"}, ...],
// "destinations": [...]}, ...]: what the page's package picker offers.
// Each names device (one that is not a router) that holds names in
// database 0 (source packages) or 1 (destination packages), in index
// order; at most maxPackagesListed of each.
void writePackages(json::writer& out, const router_model& routers);
constexpr int maxPackagesListed = 1024;
