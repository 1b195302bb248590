// tcp_connection: the one TCP connection of a router link, kept up on the
// simulator's event loop. It connects (bounded by link_timing::connect),
// reads whatever arrives, writes what the link sends in order through its
// one outgoing queue, and tells the link when the connection is made and
// when it is lost. After a loss, or an attempt that failed, it tries again
// after 0.5 s, 1 s, 2 s, 4 s and from then on every 8 s (link_timing);
// a connection made starts that count afresh.
//
// What waits to be sent is bounded (link_timing::maxOutgoing bytes): a
// router that reads too slowly, or not at all, while the link must answer
// it, has its connection dropped (with the reason) and tried again, instead
// of filling the memory.
//
// It knows nothing of requests or protocols: the link (network_link.h)
// decides what a loss means for the device and its requests, and may drop
// the connection itself (a router that stopped answering), which then
// counts as any other loss.
//
// Handlers of an earlier connection never reach the link: every attempt
// and every loss starts a new generation, and a handler of an older one
// does nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "routers/link_settings.h"

// What the connection tells its link, always from a handler of the loop.
class connection_events {
public:
    virtual ~connection_events() = default;
    virtual void connectionOpened() = 0;
    virtual void bytesReceived(const std::uint8_t* bytes, std::size_t size) = 0;
    // The connection was lost (`wasConnected`) or an attempt failed; the
    // next attempt follows in `nextAttempt`.
    virtual void connectionBroken(const std::string& why, bool wasConnected, std::chrono::milliseconds nextAttempt) = 0;
};

class tcp_connection {
public:
    tcp_connection(boost::asio::io_context& context, link_address address, const link_timing& timing,
                   connection_events& events);
    ~tcp_connection();
    tcp_connection(const tcp_connection&) = delete;
    tcp_connection& operator=(const tcp_connection&) = delete;

    // The first attempt; the later ones follow on their own.
    void open();
    bool connected() const { return connected_; }
    // The first attempt has succeeded or failed.
    bool firstAttemptOver() const { return firstAttemptOver_; }
    const link_address& address() const { return address_; }

    // Queues bytes behind those not yet written; nothing while not connected.
    // Past the bound the connection is dropped (from the loop, not inside
    // this call) and nothing more is queued until the next connection.
    void send(const std::vector<std::uint8_t>& bytes);
    // Bytes waiting to be written, and the most there ever were.
    std::size_t outgoingBytes() const { return queued_.size() + inFlight_.size(); }
    std::size_t mostOutgoing() const { return mostOutgoing_; }
    // Closes the connection as lost for `why`, tells the link, and tries
    // again later.
    void drop(const std::string& why);

private:
    void attempt();
    void opened();
    void armConnectBound();
    void scheduleRetry();
    void readMore();
    void writeFront();
    void overflow();

    boost::asio::io_context& context_;
    link_address address_;
    link_timing timing_;
    connection_events& events_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer retryTimer_;
    boost::asio::steady_timer connectTimer_;
    std::chrono::milliseconds nextRetry_;
    std::uint64_t generation_ = 0;  // connection count: handlers of an old connection stop
    bool connected_ = false;
    bool firstAttemptOver_ = false;
    bool overflowing_ = false;            // past the bound: the drop is on its way
    std::vector<std::uint8_t> queued_;    // behind the write in progress
    std::vector<std::uint8_t> inFlight_;  // being written
    std::size_t mostOutgoing_ = 0;
    std::vector<std::uint8_t> readBuffer_;
    std::shared_ptr<bool> alive_;
};
