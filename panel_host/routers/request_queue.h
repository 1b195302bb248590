// request_queue: what a router link has asked of its router and not yet
// heard the end of. One request is in flight at a time, in the order asked;
// the next goes out when the one before has ended.
//
// A request ends when:
// - a route: the router reported the destination as changed after its ACK,
//   or no report came within link_timing::reply of the ACK (the route still
//   counts as taken);
// - a poll: the router reported every destination of the range after its
//   ACK, or the protocol says its answer is complete (finishPoll), or the
//   reply time ran out; each destination answered becomes a polled report,
//   the others are told as missing;
// - the router refused it (a Videohub's NAK, or an SW-P-08 NAK to the last
//   attempt): a route gives the refusal as its outcome, a poll is told as
//   refused;
// - the connection is gone (abandon): every request fails with it.
// A request not acknowledged within link_timing::ack, or answered with a
// NAK, is sent again, up to maxAttempts sends in all; after the last one
// goes unacknowledged the sender is told the router no longer answers.
//
// Numbers here are panel numbers; the link turns wire numbers into them
// before reporting. The queue sends only through its request_sender, so a
// test drives it with a fake one and calls timedOut() itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "facility/router_link.h"
#include "facility/router_model.h"
#include "routers/link_settings.h"

// What the queue sends through: the link, or a test's stand-in.
class request_sender {
public:
    virtual ~request_sender() = default;
    // Requests may go out (connected, past any opening exchange).
    virtual bool mayRequest() const = 0;
    virtual void sendRequest(const std::vector<std::uint8_t>& bytes) = 0;
    // The router did not acknowledge the last attempt: the link drops the
    // connection (and calls abandon()).
    virtual void unanswered(const std::string& why) = 0;
};

class request_queue {
public:
    request_queue(boost::asio::io_context& context, device_model& device, router_reports& reports, link_timing timing,
                  request_sender& sender);
    ~request_queue();
    request_queue(const request_queue&) = delete;
    request_queue& operator=(const request_queue&) = delete;

    // Sends in all for one request (the first and the resends).
    void setMaxAttempts(int attempts) { maxAttempts_ = attempts; }
    int maxAttempts() const { return maxAttempts_; }

    // Queue a request; trySending() sends it when its turn has come. A
    // route's outcome is filled when it ends: "" when the router took it,
    // else why not.
    std::shared_ptr<const std::string> addRoute(std::vector<std::uint8_t> bytes, int source, int destination);
    void addPoll(std::vector<std::uint8_t> bytes, int first, int last);
    // Sends the first request if it has not gone out and the sender may request.
    void trySending();

    bool settled() const { return requests_.empty(); }
    std::size_t size() const { return requests_.size(); }

    // What the router answered, as the protocol link read it.
    void acknowledged();
    void refused(const std::string& why);
    void resend();  // a NAK: the request went astray, send it again
    // The router reported `destination`: a change, or an answer to a poll.
    void reported(int destination, bool change);
    // The request in flight is an acknowledged poll.
    bool pollAnswerDue() const;
    // Ends that poll with the answers it has.
    void finishPoll();

    // The connection is gone: every request fails, routes with
    // "the router is offline (why)".
    void abandon(const std::string& why);
    // The time-out of the request in flight; the timer calls it, a test may too.
    void timedOut();

private:
    struct request {
        enum class kind { route, poll } what = kind::route;
        std::vector<std::uint8_t> bytes;
        int first = 0, last = 0;  // panel destinations: the route's, or the polled range
        int source = 0;           // panel source of a route
        int attempts = 0;
        bool acknowledged = false;
        std::string refusal;                   // why it failed, when it did
        std::vector<bool> answered;            // poll: per destination of the range
        bool reported = false;                 // route: the router reported the destination
        std::shared_ptr<std::string> outcome;  // route: the refusal, "" when made
    };

    bool inFlight() const { return !requests_.empty() && requests_.front().attempts > 0; }
    void sendAgain();  // the request in flight, once more
    void armTimer(std::chrono::milliseconds span);
    void finishRequest();
    void endPoll(const request& poll);
    void tell(const std::string& text, router_reports::level how);

    device_model& device_;
    router_reports& reports_;
    link_timing timing_;
    request_sender& sender_;
    std::deque<request> requests_;
    int maxAttempts_ = 6;  // the first send and 5 resends
    boost::asio::steady_timer timer_;
    std::uint64_t epoch_ = 0;  // counts abandon(): a timer of requests abandoned does nothing
    std::shared_ptr<bool> alive_;
};
