// network_link: what the SW-P-08 and Videohub links share, on top of two
// pieces of their own: the TCP connection with its retries and its one
// bounded outgoing queue (tcp_connection.h), and the requests waiting for
// the router (request_queue.h). The link puts the numbering between the
// panel and the wire, the device's state and the transcript around them;
// the protocol links read the bytes and say what the router answered.
//
// One truth: the device_model of the router is changed only here, from what
// the router reports, and every change is reported to the host in the same
// turn of the loop (router_reports): a source that differs, or a route the
// router says was made, becomes reportChange (revertives for every
// component registered), a name that differs becomes reportName. Whatever
// the path: an answer to a poll, a tally or route the router sends of its
// own accord, a dump, the refresh after a connect.
//
// Numbering: panel number = wire number + offset (offset 1 by default, so
// panel destination 1 is the router's destination 0). A panel number whose
// wire number would be below 0 (the park source 0, with offset 1) has none.
// Numbers past the simulator's limit (65,536) are refused with a note.
//
// Connecting: on every connect the link refreshes the router's whole state
// (the protocol says how: beginRefresh), then answers the polls the panel
// made while the router was away or the refresh ran, from the refreshed
// state. Starting before the router is an ordinary case: the panel's
// registrations and polls wait for it.
//
// Failure: a connection refused or dropped, or a request the router never
// acknowledges, puts the link down (the device is offline): "RC" is
// ignored, revertives on their way are lost, the connection tries again
// (link_timing). Lines about the link are rate-limited (note_limiter.h).
//
// Waiting: connect() and poll() are called while the panel is inside one of
// its events. They send the request and run the event loop until the router
// has answered (bounded by link_timing), so that the revertives queue up in
// the same order as a simulated router's; handlers that run meanwhile never
// call the panel, they only change the model and queue revertives and name
// changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "facility/router_link.h"
#include "facility/router_model.h"
#include "loop/event_loop.h"
#include "routers/link_settings.h"
#include "routers/note_limiter.h"
#include "routers/request_queue.h"
#include "routers/tcp_connection.h"

class network_link : public router_link, private connection_events, private request_sender {
public:
    network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address, int offset,
                 const link_timing& timing);
    network_link(const network_link&) = delete;
    network_link& operator=(const network_link&) = delete;

    // Starts connecting (and reconnecting whenever the connection is lost).
    void start();
    // Runs the loop until the first attempt has succeeded (and the refresh
    // is over) or failed (bounded).
    bool waitForFirstAttempt();
    bool connected() const { return connection_.connected(); }
    bool linkReady() const { return ready(); }
    bool refreshing() const { return refreshing_; }

    // Polls kept while the router is away, one an asker and range; past
    // this an asker's poll joins its kept one, or is dropped with a warning.
    static constexpr std::size_t maxWaitingPolls = 64;

    std::string connect(int source, int destination) override;
    void poll(int first, int last, router_reports& answerTo) override;
    bool settled() const override { return requests_.settled() && !refreshing_; }
    // Runs the loop until settled() (bounded by the timing).
    void waitSettled();

    // For tests: the connection (its outgoing bytes), the polls kept, the
    // lines left out.
    const tcp_connection& connection() const { return connection_; }
    std::size_t pollsWaiting() const { return waitingPolls_.size(); }
    std::uint64_t notesLeftOut() const { return notes_.leftOut(); }

protected:
    // Protocol hooks.
    virtual std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) = 0;
    virtual std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) = 0;
    virtual void received(const std::uint8_t* bytes, std::size_t size) = 0;
    virtual void connectionMade() {}
    // Asks for the router's whole state after a connect; refreshed() ends it.
    virtual void beginRefresh() = 0;
    // Requests wait while the link is not ready (a Videohub's opening dump).
    virtual bool ready() const { return connected(); }
    virtual const char* protocolName() const = 0;

    // For the protocols: what the router answered to the request in flight.
    request_queue& requests() { return requests_; }
    // The router reported the source on a destination (wire numbers).
    // `made`: it reports a route being made (a connected message, a routing
    // block of its own accord), a change even when the source is the same.
    void reported(int wireDestination, int wireSource, bool made);
    void send(const std::vector<std::uint8_t>& bytes) { connection_.send(bytes); }
    void tell(const std::string& text, router_reports::level how = router_reports::level::note);
    // The router names index `wireIndex` of names database 0 (inputs) or 1
    // (outputs); an empty name is no name.
    void nameReported(int database, int wireIndex, const std::string& name);
    // The refresh is over: the kept polls are answered from what it found.
    void refreshed();
    // The panel destinations the router has wire numbers for (first > last
    // when the size is not known).
    void wireRange(int& first, int& last) const;
    // Destinations of wireRange() the refresh has not heard of.
    std::vector<int> unrefreshed() const;

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
    void tellRequests(const std::string& text, router_reports::level how) override { tell(text, how); }
    void routeUnreported(int destination) override;

    bool pollRange(int& first, int& last) const;
    // A poll to answer once the refresh is over, merged with those kept.
    void keepPoll(int first, int last, router_reports& answerTo);
    // Answers first..last to `to` for the destinations `answered` says.
    void answerPoll(router_reports& to, int first, int last, const std::vector<bool>& answered);

    struct waiting_poll {
        router_reports* to;
        int first, last;
    };
    note_limiter notes_;
    tcp_connection connection_;
    request_queue requests_;
    bool everConnected_ = false;
    bool reconnected_ = false;      // the connection is not the first
    bool toldUnreachable_ = false;  // retries of an unreachable router are told once
    bool refreshing_ = false;
    int refreshChanges_ = 0;
    std::vector<bool> fresh_;  // per panel destination: the refresh heard of it
    std::vector<waiting_poll> waitingPolls_;
    int maxWire_ = 1 << 20;
};
