// videohub_link: a router reached over the Videohub Ethernet protocol (TCP,
// port 9990 by default). The router opens with a dump of its state; the
// link takes its labels and routes from it and from every block the router
// sends later, and from nothing else. "RC" sends a VIDEO OUTPUT ROUTING
// block and waits for the ACK (or NAK: a locked output) and the routing
// block that reports it; "RP" asks for the whole routing block and answers
// from it. INPUT LABELS and OUTPUT LABELS are names databases 0 and 1 of the
// device: a label that changes after the opening dump becomes a names change
// for the panel. Blocks and lines the link does not know are skipped; a
// request not acknowledged in time counts as a lost router (TCP loses
// nothing, so nothing is sent again).
//
// Video routing only: no monitoring outputs, serial ports, processing units,
// frame buffers or locks of our own; an empty label reads as no name.
#pragma once

#include "routers/network_link.h"
#include "routers/videohub_codec.h"

class videohub_link final : public network_link {
public:
    videohub_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
                  link_timing timing);

    std::string describe() const override;

private:
    std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) override;
    std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) override;
    void received(const std::uint8_t* bytes, std::size_t size) override;
    void connectionMade() override;
    bool ready() const override { return connected() && preludeDone_; }
    const char* protocolName() const override { return "Videohub"; }
    void handle(const videohub::block& found);
    void labels(const videohub::block& found, int database);
    void routing(const videohub::block& found);
    void deviceInfo(const videohub::block& found);

    videohub::reader reader_;
    bool preludeDone_ = false;
    bool firstDump_ = true;  // names of the very first dump are the starting state, not changes
};
