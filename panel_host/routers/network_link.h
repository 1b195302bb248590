// network_link: what the SW-P-08 and Videohub links share, on top of two
// pieces of their own: the TCP connection with its retries and its one
// outgoing queue (tcp_connection.h), and the requests waiting for the
// router (request_queue.h). The link puts the numbering between the panel
// and the wire, the device's online state and the transcript around them;
// the protocol links read the bytes and say what the router answered.
//
// Numbering: panel number = wire number + offset (offset 1 by default, so
// panel destination 1 is the router's destination 0). A panel number whose
// wire number would be below 0 (the park source 0, with offset 1) has none.
//
// Failure: a connection refused or dropped, or a request the router never
// acknowledges, puts the device offline, as "fault offline" does: commands
// to it are ignored, no revertives arrive, lookups go unanswered. The
// connection then tries again (link_timing). Once connected again the link
// is online and polls every registered destination again, so the panel's
// tallies are refreshed.
//
// Waiting: connect() and poll() are called while the panel is inside one of
// its events. They send the request and run the event loop until the router
// has answered (bounded by link_timing), so that the revertives queue up in
// the same order as a simulated router's; handlers that run meanwhile never
// call the panel, they only queue revertives and name changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "facility/router_link.h"
#include "facility/router_model.h"
#include "loop/event_loop.h"
#include "routers/link_settings.h"
#include "routers/request_queue.h"
#include "routers/tcp_connection.h"

// A name the router reported that differs from what the host knew.
struct name_change {
    int device, database, index;
    std::string name;
};

class network_link : public router_link, private connection_events, private request_sender {
public:
    network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
                 link_timing timing);
    network_link(const network_link&) = delete;
    network_link& operator=(const network_link&) = delete;

    // Starts connecting (and reconnecting whenever the connection is lost).
    void start();
    // Runs the loop until the first attempt has succeeded or failed (bounded).
    bool waitForFirstAttempt();
    bool connected() const { return connection_.connected(); }
    bool linkReady() const { return ready(); }

    std::string connect(int source, int destination) override;
    void poll(int first, int last) override;
    bool settled() const override { return requests_.settled(); }
    // Runs the loop until settled() (bounded by the timing).
    void waitSettled();

    // Names the router changed since the last call.
    std::vector<name_change> takeNameChanges();

protected:
    // Protocol hooks.
    virtual std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) = 0;
    virtual std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) = 0;
    virtual void received(const std::uint8_t* bytes, std::size_t size) = 0;
    virtual void connectionMade() {}
    // Requests wait while the link is not ready (a Videohub's opening dump).
    virtual bool ready() const { return connected(); }
    virtual const char* protocolName() const = 0;

    // For the protocols: what the router answered to the request in flight.
    request_queue& requests() { return requests_; }
    // The router reported the source on a destination (wire numbers).
    void reported(int wireDestination, int wireSource, bool change);
    void send(const std::vector<std::uint8_t>& bytes) { connection_.send(bytes); }
    void tell(const std::string& text, router_reports::level how = router_reports::level::note);
    void nameReported(int database, int wireIndex, const std::string& name, bool quiet);

    int toPanel(int wire) const { return wire + offset_; }
    // -1 when the panel number has no wire number.
    int toWire(int panel) const;
    int maxWire() const { return maxWire_; }
    void setMaxWire(int highest) { maxWire_ = highest; }

    event_loop& loop_;
    device_model& device_;
    router_reports& reports_;
    link_address address_;
    int offset_;
    link_timing timing_;

private:
    // connection_events
    void connectionOpened() override;
    void bytesReceived(const std::uint8_t* bytes, std::size_t size) override { received(bytes, size); }
    void connectionBroken(const std::string& why, bool wasConnected, std::chrono::milliseconds nextAttempt) override;
    // request_sender
    bool mayRequest() const override { return ready(); }
    void sendRequest(const std::vector<std::uint8_t>& bytes) override { send(bytes); }
    void unanswered(const std::string& why) override { connection_.drop(why); }

    bool pollRange(int& first, int& last) const;
    void pollRegistered();

    tcp_connection connection_;
    request_queue requests_;
    bool everConnected_ = false;
    bool toldUnreachable_ = false;  // retries of an unreachable router are told once
    std::vector<name_change> nameChanges_;
    int maxWire_ = 1 << 20;
};
