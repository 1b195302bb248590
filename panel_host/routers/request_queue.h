// request_queue: what a router link has asked of its router and not yet
// heard the end of. One request is in flight at a time, in the order asked;
// the next goes out when the one before has ended.
//
// A request ends when:
// - a route: the router reported the destination as changed, or no report
//   came within link_timing::reply of the ACK (the route still counts as
//   taken, and the sender is told, to ask what the destination carries);
// - a poll: the router reported every destination of the range, or the
//   protocol says its answer is complete (finishPoll), or no further answer
//   came within the reply time; what it got is handed to the poll's `done`;
// - the router refused it (a Videohub's NAK, or an SW-P-08 NAK to the last
//   attempt): a route gives the refusal as its outcome, a poll's `done`
//   gets it;
// - the connection is gone (abandon): every request fails with it, and no
//   `done` is called.
// A report of the request's destination counts even before the ACK: some
// routers answer first and acknowledge after, and an answer shows that the
// request arrived. A request not acknowledged within link_timing::ack, or
// answered with a NAK, is sent again, up to maxAttempts sends in all;
// after the last one goes unacknowledged the sender is told the router no
// longer answers. A poll that may go unanswered (a question the router
// need not know, such as a tally dump) ends at its first missing ACK
// instead, with the refusal "no ACK".
//
// Numbers here are panel numbers; the link turns wire numbers into them
// before reporting. The queue sends only through its request_sender, so a
// test drives it with a fake one and calls timedOut() itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "facility/router_link.h"
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
    // A line about the requests for the transcript.
    virtual void tellRequests(const std::string& text, router_reports::level how) = 0;
    // A route was acknowledged and its destination never reported: what
    // the router carries there is not known; the link asks (a poll queued
    // here goes out next).
    virtual void routeUnreported(int destination) = 0;
};

// How a poll ended.
struct poll_result {
    int first = 0, last = 0;
    std::vector<bool> answered;  // per destination of first..last
    std::string refusal;         // why the router did not answer, if so
    int count() const;           // destinations answered
};
using poll_done = std::function<void(const poll_result&)>;

class request_queue {
public:
    request_queue(boost::asio::io_context& context, const link_timing& timing, request_sender& sender);
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
    void addPoll(std::vector<std::uint8_t> bytes, int first, int last, poll_done done, bool mayGoUnanswered = false);
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
        bool mayGoUnanswered = false;
        std::string refusal;                   // why it failed, when it did
        std::vector<bool> answered;            // poll: per destination of the range
        poll_done done;                        // poll: told how it ended
        bool reported = false;                 // route: the router reported the destination
        std::shared_ptr<std::string> outcome;  // route: the refusal, "" when made
    };

    bool inFlight() const { return !requests_.empty() && requests_.front().attempts > 0; }
    void sendAgain();  // the request in flight, once more
    void armTimer(std::chrono::milliseconds span);
    void finishRequest();
    void tell(const std::string& text, router_reports::level how) { sender_.tellRequests(text, how); }

    link_timing timing_;
    request_sender& sender_;
    std::deque<request> requests_;
    int maxAttempts_ = 6;  // the first send and 5 resends
    boost::asio::steady_timer timer_;
    std::uint64_t epoch_ = 0;  // counts abandon(): a timer of requests abandoned does nothing
    std::shared_ptr<bool> alive_;
};
