// swp08_link: a router reached over SW-P-08 (TCP). "RC" sends a connect
// (02) and waits for the ACK and the router's connected message (04); "RP"
// asks for a tally dump (21) of the device's matrix and level and answers
// from the dump (22 or 23). Every connected message for that matrix and
// level, from whichever controller routed, is a report. Every good frame from
// the router is acknowledged; a bad one is answered with NAK. A NAK from the
// router makes the link send the request again, up to 5 times; a request
// not acknowledged in time is sent again likewise, and after the sixth
// unanswered send the router counts as lost.
//
// Plain addressing only: sources and destinations 0..1023 (on some routers
// 896..1023 are monitoring rows), matrices and levels 0..15; no salvos, no
// extended commands, no names (they come from the device file).
#pragma once

#include "routers/network_link.h"
#include "routers/swp08_codec.h"

class swp08_link final : public network_link {
public:
    swp08_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
               link_timing timing, int matrix, int level);

    std::string describe() const override;

private:
    std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) override;
    std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) override;
    void received(const std::uint8_t* bytes, std::size_t size) override;
    void connectionMade() override { reader_ = swp08::reader(); }
    const char* protocolName() const override { return "SW-P-08"; }
    void message(const std::vector<std::uint8_t>& data);

    int matrix_, level_;
    swp08::reader reader_;
};
