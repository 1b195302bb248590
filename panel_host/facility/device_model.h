// device_model: one device of the facility as the simulator plays it: a
// router's size, crosspoints and registrations, its names databases, its
// link keys and whether it is online. Read from a device file by
// device_model::fromIni (device_file.h tells the file's format).
#pragma once

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

    // Online: reachable. A device goes offline by a fault ("fault offline",
    // --offline: setOnline) or, for a router reached over a protocol, while
    // its link is down (setLinkUp). The host treats the two apart: a fault
    // loses what is sent to the device, a link that is down keeps the
    // panel's registrations and polls for when it is back.
    bool online() const { return online_ && linkUp_; }
    void setOnline(bool online) { online_ = online; }
    bool offlineByFault() const { return !online_; }
    bool linkDown() const { return !linkUp_; }
    void setLinkUp(bool up) { linkUp_ = up; }

    // The source on a destination, or nullopt outside 1..destinations.
    std::optional<int> crosspoint(int destination) const;
    route_result route(int source, int destination);
    // What a real router reports it carries: taken whatever the faults say
    // (a fault loses what reaches the panel, not the router's own state).
    route_result record(int source, int destination);
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
    bool linkUp_ = true;              // only a link to a real router puts it down
    std::map<int, int> crosspoints_;  // destinations not on source 0
    std::map<int, int> initial_;      // the same at start
    std::vector<std::pair<int, int>> registrations_;
    std::map<int, std::map<int, std::string>> names_;
    device_link_keys linkKeys_;
};

const char* describe(device_model::route_result result);
