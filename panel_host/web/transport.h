// transport: the browser view's connections, on the one event loop. The
// listener accepts; each connection is an http_session reading requests
// one after another, which hands a WebSocket upgrade over to a live_session
// (one page's live stream). Sessions own themselves: every pending handler
// holds its session, which ends with the last of them. The listener keeps
// weak references only, to count them and to close them all when the
// server stops. The sessions live in sessions.h.
//
// What a request means is not decided here: the listener hands it to the
// server through connection_hooks. What is decided here is how much a
// client may send, how long it may take, and how many may be connected at
// once: beyond `maxConnections` a new connection is answered 503; when the
// process runs out of descriptors the listener pauses and tries again,
// shedding a waiting connection through a descriptor it keeps in reserve,
// so that it never stops accepting for good.
//
// Thread: the event loop's.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "web/http_answers.h"

namespace web {

class live_page;
class http_session;
class live_session;

// Limits on what a client may send: a step is one scenario line or one
// block, so 16 KiB is plenty; anything larger is refused, not read.
constexpr std::size_t maxBody = std::size_t{16} * 1024;
constexpr std::size_t maxHeader = std::size_t{8} * 1024;
constexpr std::size_t maxLiveMessage = std::size_t{4} * 1024;
// Connections open at once (pages and requests); the next ones are told 503.
constexpr std::size_t defaultMaxConnections = 256;

// What the server does with what the connections read.
class connection_hooks {
public:
    virtual ~connection_hooks() = default;
    // The answer to one request that is not an upgrade.
    virtual reply answer(const request& req, const connection_info& from) = 0;
    // A WebSocket upgrade: the answer that refuses it, or none to open the stream.
    virtual std::optional<response> refuseLive(const request& req, const connection_info& from) = 0;
    // A page's live stream is open.
    virtual void joined(const std::shared_ptr<live_page>& page) = 0;
    // A page sent a message on its stream.
    virtual void heard(const std::shared_ptr<live_page>& page, const std::string& message) = 0;
    // Something the operator should know of the connections (one line).
    virtual void note(const std::string& text) = 0;
};

class listener {
public:
    listener(boost::asio::io_context& context, connection_hooks& hooks,
             std::size_t maxConnections = defaultMaxConnections);
    ~listener();
    listener(const listener&) = delete;
    listener& operator=(const listener&) = delete;

    // Opens, binds and listens. False, with `error`, when it cannot.
    bool listen(const std::string& address, unsigned short port, std::string& error);
    // The port bound (the system's choice when asked for 0).
    unsigned short port() const;

    // Accepts connections until stop().
    void start();
    // Closes the listening socket and every connection.
    void stop();

    // Connections open now: requests being read or answered, and pages.
    std::size_t connections();

    // For the sessions.
    connection_hooks& hooks() { return hooks_; }
    void upgrade(boost::asio::ip::tcp::socket socket, const request& req);

private:
    void acceptNext();
    void accepted(boost::asio::ip::tcp::socket socket);
    void outOfDescriptors();
    void shedOne();
    // Tells the operator, once in a while, not at every connection.
    void noteOnce(std::optional<std::chrono::steady_clock::time_point>& last, const std::string& text);

    boost::asio::ip::tcp::acceptor acceptor_;
    connection_hooks& hooks_;
    std::size_t maxConnections_;
    std::vector<std::weak_ptr<http_session>> http_;
    std::vector<std::weak_ptr<live_session>> live_;
    std::vector<std::weak_ptr<http_session>> turnedAway_;  // being told 503
    boost::asio::steady_timer pause_;                      // accepting again after running out of descriptors
    int reserve_ = -1;                                     // a descriptor kept to shed a connection with
    std::optional<std::chrono::steady_clock::time_point> lastDescriptorNote_, lastBusyNote_;
    bool stopped_ = false;
};

}  // namespace web
