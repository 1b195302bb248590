// swp08_link: a router reached over SW-P-08 (TCP). "RC" sends a connect
// (02) and waits for the ACK and the router's connected message (04); "RP"
// asks for a tally dump (21) of the device's matrix and level and answers
// from the dump (22 or 23, or one tally 03 per destination, which some
// routers send instead). Every connected message, tally and dump for that
// matrix and level, from whichever controller routed and whether asked for
// or not, updates the router's state and reaches the panel as a revertive.
// Every good frame from the router is acknowledged; a bad one is answered
// with NAK, at most link_timing::naksPerSecond a second. A NAK from the
// router makes the link send the request again, up to 5 times; a request
// not acknowledged in time is sent again likewise, and after the sixth
// unanswered send the router counts as lost. A message with a byte out of
// its field's range is refused with a note.
//
// On every connect the link asks for a tally dump of its matrix and level;
// the destinations the dump leaves out within the ACK and reply times are
// interrogated (01) one by one, and a router that answers neither is told
// and left as it is.
//
// Plain addressing only: sources and destinations 0..1023 (on some routers
// 896..1023 are monitoring rows), matrices and levels 0..15; no salvos, no
// extended commands, no names (they come from the device file).
#pragma once

#include <chrono>
#include <vector>

#include "routers/network_link.h"
#include "routers/swp08_codec.h"

class swp08_link final : public network_link {
public:
    swp08_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
               const link_timing& timing, int matrix, int level);

    std::string describe() const override;

private:
    std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) override;
    std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) override;
    void received(const std::uint8_t* bytes, std::size_t size) override;
    void connectionMade() override { reader_ = swp08::reader(); }
    void beginRefresh() override;
    const char* protocolName() const override { return "SW-P-08"; }
    void message(const std::vector<std::uint8_t>& data);
    void tallyDump(const std::vector<std::uint8_t>& data);
    void badFrame(const std::string& problem);
    // The refresh: the dump ended; then the destinations it left out, one
    // at a time.
    void dumpEnded(const poll_result& result);
    void interrogateNext();

    int matrix_, level_;
    swp08::reader reader_;
    std::vector<int> toInterrogate_;  // panel destinations, last first
    std::chrono::steady_clock::time_point nakSecond_{};
    int naksThisSecond_ = 0;
};
