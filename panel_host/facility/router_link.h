// router_link: how panel_host's facility reaches one router. The host's
// "RC" and "RP" go to the device's link; what the router reports comes back
// through router_reports, on the simulator's one thread, and becomes
// revertives and name changes queued on the virtual clock (never a direct
// call of the panel).
//
// Three links exist: simulated_router (the router played from its device
// file, as panel_host always did), swp08_link and videohub_link (a real
// router over TCP, see router_setup.h). The device_model of a router is what
// the host knows of it: for a simulated router the router itself, for a real
// one the one state of that router, changed only by its link, and every
// change the link makes to it is reported here in the same turn of the loop.
#pragma once

#include <cstdint>
#include <string>

class device_model;

// The host side, told what the routers report.
class router_reports {
public:
    virtual ~router_reports() = default;
    // The source on a destination changed, or the router reported a route
    // (whoever made it): a revertive for every component registered for the
    // destination, while the router is online.
    virtual void reportChange(device_model& device, int destination) = 0;
    // The answer to a poll this side asked for, one destination: a
    // revertive, registered or not.
    virtual void reportPolled(device_model& device, int destination) = 0;
    // A name of the device changed (the model holds the new one already):
    // every component hears of it, once per index however often it changed.
    virtual void reportName(device_model& device, int database, int index)
    {
        (void)device, (void)database, (void)index;
    }
    enum class level { detail, note, warning };
    // Something about the link itself for the transcript.
    virtual void reportLink(const device_model& device, const std::string& text, level how) = 0;
    // `count` lines about the link were left out in the last second (a
    // router that talks too much).
    virtual void reportLeftOut(const device_model& device, std::uint64_t count, level how)
    {
        reportLink(device, "… " + std::to_string(count) + " more in the last second", how);
    }
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
    // answer arrives through answerTo.reportPolled. A real router whose link
    // is down keeps the poll and answers it once it is back.
    virtual void poll(int first, int last, router_reports& answerTo) = 0;
    // No request is waiting for the router's answer.
    virtual bool settled() const { return true; }
};
