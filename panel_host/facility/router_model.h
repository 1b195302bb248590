// router_model: the facility's devices as the simulator plays them, read
// from the installation's device files config/system/dev_NNN.ini.
//
// Besides the "Database" section that the module itself reads, a device
// file holds the simulator's own sections:
//
//   [Device]          Name=Video router   Type=Router|Names
//                     Sources=N  Destinations=N   (override the sizes below)
//   [Database]        DatabaseSize_0=N (sources)  DatabaseSize_1=N (destinations)
//   [Names_0]         index=name lines of database 0 (source names)
//   [Names_1]         index=name lines of database 1 (destination names)
//   [Names_K]         any other names database K
//   [Crosspoints]     destination=source lines: the routes at start
//
// A router's size is Destinations=, else DatabaseSize_1, else the highest
// destination named or routed; its source count likewise from Sources= and
// DatabaseSize_0. DatabaseSize_K counts as the module reads it: with the
// module's own profile reader and number rules, so "32abc" is 32 for both
// (and a warning). Destinations not listed under [Crosspoints] carry
// source 0, the router's park source. A device without "Type" is a router
// when it has a destination count.
//
// Sizes and name indices are bounded by simulatorSizeLimit (65536); the
// crosspoints are kept sparse, so a large router costs what it routes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text/file_faults.h"

class ini_file;

// How a device is reached, as its [Device] section says: Protocol=,
// Address=, Matrix=, Level=, Offset= as written (empty when absent), and the
// file they were read from. The choice of link per device
// (routers/router_setup.h) reads them.
struct device_link_keys {
    std::string file;
    std::string protocol, address, matrix, level, offset;
};

class device_model {
public:
    enum class route_result { routed, not_a_router, offline, bad_destination, bad_source };

    device_model(int number, std::string name, bool router);
    // Reads everything but the number from a parsed device file. With
    // `faults`, what is wrong in it is reported there, named after the
    // file's path. When the file was loaded from a path, its database sizes
    // are read from that file by the module's own reader.
    static device_model fromIni(int number, const ini_file& ini, fault_list* faults = nullptr);

    int number() const { return number_; }
    const std::string& name() const { return name_; }
    bool isRouter() const { return router_; }
    int sources() const { return sources_; }
    int destinations() const { return destinations_; }
    void setSize(int sources, int destinations);

    const device_link_keys& linkKeys() const { return linkKeys_; }

    bool online() const { return online_; }
    void setOnline(bool online) { online_ = online; }

    // The source on a destination, or nullopt outside 1..destinations.
    std::optional<int> crosspoint(int destination) const;
    route_result route(int source, int destination);
    // Destinations whose source differs from the one they had at start.
    std::vector<int> changedDestinations() const;

    // Registrations: ranges of destinations whose changes are reported.
    void registerRange(int first, int last, bool add);
    void unregisterAll() { registrations_.clear(); }
    bool isRegistered(int destination) const;
    const std::vector<std::pair<int, int>>& registrations() const { return registrations_; }

    // Names databases.
    std::optional<std::string> name(int database, int index) const;
    void setName(int database, int index, const std::string& text);
    int namesIn(int database) const;

private:
    int number_;
    std::string name_;
    bool router_;
    int sources_ = 0;
    int destinations_ = 0;
    bool online_ = true;
    std::map<int, int> crosspoints_;  // destinations not on source 0
    std::map<int, int> initial_;      // the same at start
    std::vector<std::pair<int, int>> registrations_;
    std::map<int, std::map<int, std::string>> names_;
    device_link_keys linkKeys_;
};

const char* describe(device_model::route_result result);

// What the module makes of DatabaseSize_<database> in the device file at
// `path`: its profile reader, then its number rules. nullopt when the
// reader finds no such key there.
std::optional<std::int32_t> moduleDatabaseSize(const std::string& path, int database);

class router_model {
public:
    // Reads every dev_NNN.ini in `systemDir`, reporting what is wrong in
    // them to `faults`; what cannot be played (a size beyond the limit, a
    // crosspoint off the router) is left out of the model. False when the
    // folder cannot be read.
    bool load(const std::string& systemDir, fault_list& faults);
    // The same; false, with the first error in `error`, when there is one.
    bool load(const std::string& systemDir, std::string& error);
    void add(device_model device);

    device_model* device(int number);
    const device_model* device(int number) const;
    const std::map<int, device_model>& devices() const { return devices_; }

private:
    std::map<int, device_model> devices_;
};
