// network_link: what the SW-P-08 and Videohub links share: one TCP
// connection on the simulator's event loop, the numbering between the panel
// and the wire, one request in flight at a time, and what happens when the
// router goes away.
//
// Numbering: panel number = wire number + offset (offset 1 by default, so
// panel destination 1 is the router's destination 0). A panel number whose
// wire number would be below 0 (the park source 0, with offset 1) has none.
//
// Failure: a connection refused or dropped, or a request the router never
// acknowledges, puts the device offline, as "fault offline" does: commands
// to it are ignored, no revertives arrive, lookups go unanswered. The link
// then tries again after 0.5 s, 1 s, 2 s, 4 s and from then on every 8 s
// (link_timing). Once connected again it is online and polls every
// registered destination again, so the panel's tallies are refreshed.
//
// Waiting: connect() and poll() are called while the panel is inside one of
// its events. They send the request and run the event loop until the router
// has answered (bounded by link_timing), so that the revertives queue up in
// the same order as a simulated router's; handlers that run meanwhile never
// call the panel, they only queue revertives and name changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "loop/event_loop.h"
#include "facility/router_link.h"
#include "facility/router_model.h"

struct link_timing {
    std::chrono::milliseconds ack{1000};     // for the router's ACK of a request
    std::chrono::milliseconds reply{1000};   // for the report that follows the ACK
    std::chrono::milliseconds firstRetry{500};
    std::chrono::milliseconds longestRetry{8000};
    std::chrono::milliseconds connect{2000};  // for a connection to be made
};

struct link_address {
    std::string host;
    std::uint16_t port = 0;
};

// A name the router reported that differs from what the host knew.
struct name_change {
    int device, database, index;
    std::string name;
};

class network_link : public router_link {
public:
    network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                 int offset, link_timing timing);
    ~network_link() override;
    network_link(const network_link&) = delete;
    network_link& operator=(const network_link&) = delete;

    // Starts connecting (and reconnecting whenever the connection is lost).
    void start();
    // Runs the loop until the first attempt has succeeded or failed (bounded).
    bool waitForFirstAttempt();
    bool connected() const { return connected_; }
    bool linkReady() const { return ready(); }

    std::string connect(int source, int destination) override;
    void poll(int first, int last) override;
    bool settled() const override { return requests_.empty(); }
    // Runs the loop until settled() (bounded by the timing).
    void waitSettled();

    // Names the router changed since the last call.
    std::vector<name_change> takeNameChanges();

protected:
    struct request {
        enum class kind { route, poll } what = kind::route;
        std::vector<std::uint8_t> bytes;
        int first = 0, last = 0;     // panel destinations: the route's, or the polled range
        int source = 0;              // panel source of a route
        int attempts = 0;
        bool acknowledged = false;
        std::string refusal;         // why it failed, when it did
        std::vector<bool> answered;  // poll: per destination of the range
        bool reported = false;       // route: the router reported the destination
        std::shared_ptr<std::string> outcome;  // route: the refusal, "" when made
    };

    // Protocol hooks.
    virtual std::vector<std::uint8_t> routeRequest(int wireSource, int wireDestination) = 0;
    virtual std::vector<std::uint8_t> pollRequest(int wireFirst, int wireLast) = 0;
    virtual void received(const std::uint8_t* bytes, std::size_t size) = 0;
    virtual void connectionMade() {}
    // Requests wait while the link is not ready (a Videohub's opening dump).
    virtual bool ready() const { return connected_; }
    virtual const char* protocolName() const = 0;

    // For the protocols: the router acknowledged / refused the request in
    // flight, or reported the source on a destination (wire numbers).
    void acknowledged();
    void refused(const std::string& why);
    void resend();
    void reported(int wireDestination, int wireSource, bool change);
    void lost(const std::string& why);
    void send(const std::vector<std::uint8_t>& bytes);
    void tell(const std::string& text, router_reports::level how = router_reports::level::note);
    void trySending();
    void nameReported(int database, int wireIndex, const std::string& name, bool quiet);
    // The request in flight is an acknowledged poll.
    bool pollAnswerDue() const
    {
        return !requests_.empty() && requests_.front().acknowledged && requests_.front().what == request::kind::poll;
    }
    // Ends that poll with the answers it has.
    void finishPoll()
    {
        if (pollAnswerDue())
            finishRequest();
    }

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
    std::deque<request> requests_;
    bool connected_ = false;
    bool everConnected_ = false;
    int maxAttempts_ = 6;  // the first send and 5 resends

private:
    void attempt();
    void scheduleRetry();
    void readMore();
    void writeFront();
    void armTimer(std::chrono::milliseconds span);
    void timedOut();
    void finishRequest();
    void pollRegistered();

    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer retryTimer_;
    boost::asio::steady_timer requestTimer_;
    std::chrono::milliseconds nextRetry_;
    std::uint64_t generation_ = 0;  // connection count: handlers of an old connection stop
    bool firstAttemptOver_ = false;
    bool toldUnreachable_ = false;  // retries of an unreachable router are told once
    bool writing_ = false;
    std::deque<std::vector<std::uint8_t>> outgoing_;
    std::vector<std::uint8_t> readBuffer_;
    std::vector<name_change> nameChanges_;
    int maxWire_ = 1 << 20;
    std::shared_ptr<bool> alive_;
};
