// router_link: how panel_host's facility reaches one router. The host's
// "RC" and "RP" go to the device's link; what the router reports comes back
// through router_reports, on the simulator's one thread, and becomes
// revertives queued on the virtual clock (never a direct call of the panel).
//
// Three links exist: simulated_router (the router played from its device
// file, as panel_host always did), swp08_link and videohub_link (a real
// router over TCP, see router_setup.h). The device_model of a router is what
// the host knows of it: for a simulated router the router itself, for a real
// one a mirror filled only from the router's own reports.
#pragma once

#include <string>

class device_model;

// The host side, told what the routers report.
class router_reports {
public:
    virtual ~router_reports() = default;
    // The router reports the source on a destination (whoever routed it):
    // a revertive when the destination is registered and the router online.
    virtual void reportChange(device_model& device, int destination) = 0;
    // The router answers a poll for one destination: a revertive, registered
    // or not.
    virtual void reportPolled(device_model& device, int destination) = 0;
    enum class level { detail, note, warning };
    // Something about the link itself for the transcript.
    virtual void reportLink(const device_model& device, const std::string& text, level how) = 0;
};

class router_link {
public:
    virtual ~router_link() = default;
    // "simulated", "SW-P-08 127.0.0.1:9000 matrix 0 level 0", ...
    virtual std::string describe() const = 0;
    // Routes `source` to `destination` (panel numbers). Returns "" when the
    // router took the request, else why it did not; the route itself shows
    // when the router reports it.
    virtual std::string connect(int source, int destination) = 0;
    // Asks the router for the sources on destinations first..last; each
    // answer arrives through reportPolled.
    virtual void poll(int first, int last) = 0;
    // No request is waiting for the router's answer.
    virtual bool settled() const { return true; }
};
