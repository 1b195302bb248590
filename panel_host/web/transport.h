// transport: the browser view's connections, on the one event loop. The
// listener accepts; each connection is an http_session reading requests
// one after another, which hands a WebSocket upgrade over to a live_session
// (one page's live stream). Sessions own themselves: every pending handler
// holds its session, which ends with the last of them. The listener keeps
// weak references only, to close them all when the server stops.
//
// What a request means is not decided here: the listener hands it to the
// server through connection_hooks. What is decided here is how much a
// client may send and how long it may take.
//
// Thread: the event loop's.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

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
// A page that does not read its stream is dropped rather than buffered without end.
constexpr std::size_t maxQueuedMessages = 1024;

// What the server does with what the connections read.
class connection_hooks {
public:
    virtual ~connection_hooks() = default;
    // The answer to one request that is not an upgrade.
    virtual response answer(const request& req) = 0;
    // A WebSocket upgrade: the answer that refuses it, or none to open the stream.
    virtual std::optional<response> refuseLive(const request& req) = 0;
    // A page's live stream is open.
    virtual void joined(const std::shared_ptr<live_page>& page) = 0;
};

class listener {
public:
    listener(boost::asio::io_context& context, connection_hooks& hooks);

    // Opens, binds and listens. False, with `error`, when it cannot.
    bool listen(const std::string& address, unsigned short port, std::string& error);
    // The port bound (the system's choice when asked for 0).
    unsigned short port() const;

    // Accepts connections until stop().
    void start();
    // Closes the listening socket and every connection.
    void stop();

    // For the sessions.
    connection_hooks& hooks() { return hooks_; }
    void upgrade(boost::asio::ip::tcp::socket socket, const request& req);

private:
    void acceptNext();
    boost::asio::ip::tcp::acceptor acceptor_;
    connection_hooks& hooks_;
    std::vector<std::weak_ptr<http_session>> http_;
    std::vector<std::weak_ptr<live_session>> live_;
};

}  // namespace web
