// videohub_link: a router reached over the Videohub Ethernet protocol (TCP,
// port 9990 by default). The router opens with a dump of its state; the
// link takes its labels and routes from it and from every block the router
// sends later, and from nothing else. "RC" sends a VIDEO OUTPUT ROUTING
// block and waits for the ACK (or NAK: a locked output) and the routing
// block that reports it; "RP" asks for the whole routing block and answers
// from it. INPUT LABELS and OUTPUT LABELS are names databases 0 and 1 of the
// device: a label that differs from the name the host holds becomes a names
// change for the panel, delivered once per index however often it changed.
// Labels longer than videohub::maxLabel bytes are refused. Blocks and lines
// the link does not know are skipped; a request not acknowledged in time
// counts as a lost router (TCP loses nothing, so nothing is sent again).
//
// The opening dump is the refresh after every connect: polls kept while the
// router was away are answered when it ends (END PRELUDE, or the routing
// block of an older router, or after the ACK and reply times when neither
// comes).
//
// Video routing only: no monitoring outputs, serial ports, processing units,
// frame buffers or locks of our own; an empty label reads as no name.
#pragma once

#include <memory>

#include <boost/asio/steady_timer.hpp>

#include "routers/network_link.h"
#include "routers/videohub_codec.h"

class videohub_link final : public network_link {
public:
    videohub_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
                  const link_timing& timing);
    ~videohub_link() override;
    videohub_link(const videohub_link&) = delete;
    videohub_link& operator=(const videohub_link&) = delete;

    std::string describe() const override;

private:
    std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) override;
    std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) override;
    void received(const std::uint8_t* bytes, std::size_t size) override;
    void connectionMade() override;
    void beginRefresh() override {}
    bool ready() const override { return connected() && preludeDone_; }
    void endPrelude();
    const char* protocolName() const override { return "Videohub"; }
    void handle(const videohub::block& found);
    void labels(const videohub::block& found, int database);
    void routing(const videohub::block& found);
    void deviceInfo(const videohub::block& found);

    videohub::reader reader_;
    bool preludeDone_ = false;
    boost::asio::steady_timer preludeTimer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
