// router_setup: which devices of an installation are real routers, and the
// links that reach them.
//
// A device file chooses in its [Device] section:
//
//   Protocol=simulated | swp08 | videohub   (simulated when absent)
//   Address=HOST:PORT                       (swp08, videohub; Videohub's port defaults to 9990)
//   Matrix=N  Level=N                       (swp08; 0 and 0 when absent)
//   Offset=N                                panel number = wire number + N (default 1: panel
//                                           destination 1 is the router's 0; with 0 the park
//                                           source 0 is the router's source 0)
//
// On the command line, --router DEV=PROTOCOL[:HOST:PORT[:MATRIX:LEVEL]]
// overrides the file (its Offset= still holds).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "loop/event_loop.h"
#include "routers/network_link.h"

class router_model;

struct router_choice {
    std::string protocol = "simulated";
    link_address address;
    int matrix = 0;
    int level = 0;
    int offset = 1;
};

// Reads the [Device] keys above; false with `error` for a bad value.
bool readRouterChoice(const std::string& protocol, const std::string& address, const std::string& matrix,
                      const std::string& level, const std::string& offset, router_choice& choice, std::string& error);
// Reads "31=swp08:127.0.0.1:9000[:0:0]" over `choice`.
bool readRouterOverride(const std::string& text, int& device, router_choice& choice, std::string& error);

// Takes the link made for a device; the host (facility/simulated_host.h)
// routes that device's "RC" and "RP" through it from then on.
using link_sink = std::function<void(int device, std::unique_ptr<router_link> link)>;

class router_links {
public:
    explicit router_links(event_loop& loop, const link_timing& timing = link_timing()) : loop_(loop), timing_(timing) {}

    // Reads the choice of every router device (its [Device] keys as the
    // device model kept them), applies the overrides and hands `sink` a
    // link for each real router; what the routers report goes to
    // `reports`. False, with `error` naming the file or the option, for a
    // bad choice.
    bool setUp(router_model& routers, router_reports& reports, const link_sink& sink,
               const std::vector<std::string>& overrides, std::string& error);
    // Connects every link and waits (bounded) for the first attempts; one
    // line per link.
    std::vector<std::string> connectAll();
    // Before every step: polls the loop and waits (bounded) for answers
    // still due. What the routers reported meanwhile is on the clock by
    // then (revertives, name changes), however long ago it came.
    void settle();

    std::size_t size() const { return links_.size(); }
    // The link of a device, or null (for tests and views).
    network_link* link(int device) const;

private:
    event_loop& loop_;
    link_timing timing_;
    std::map<int, network_link*> links_;  // owned by the host
};
