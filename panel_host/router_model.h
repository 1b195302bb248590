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
// DatabaseSize_0. Destinations not listed under [Crosspoints] carry
// source 0, the router's park source. A device without "Type" is a router
// when it has a destination count.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ini_file;

class device_model {
public:
    enum class route_result { routed, not_a_router, offline, bad_destination, bad_source };

    device_model(int number, std::string name, bool router);
    // Reads everything but the number from a parsed device file.
    static device_model fromIni(int number, const ini_file& ini);

    int number() const { return number_; }
    const std::string& name() const { return name_; }
    bool isRouter() const { return router_; }
    int sources() const { return sources_; }
    int destinations() const { return destinations_; }
    void setSize(int sources, int destinations);

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
    std::vector<int> crosspoints_;  // index 0 unused
    std::vector<int> initial_;
    std::vector<std::pair<int, int>> registrations_;
    std::map<int, std::map<int, std::string>> names_;
};

const char* describe(device_model::route_result result);

class router_model {
public:
    // Reads every dev_NNN.ini in `systemDir`. False, with `error`, when the
    // folder cannot be read.
    bool load(const std::string& systemDir, std::string& error);
    void add(device_model device);

    device_model* device(int number);
    const device_model* device(int number) const;
    const std::map<int, device_model>& devices() const { return devices_; }

private:
    std::map<int, device_model> devices_;
};
