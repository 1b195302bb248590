#include "web/transport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include <boost/beast/core.hpp>

#include "web/sessions.h"

namespace web {

namespace net = boost::asio;
namespace beast = boost::beast;
using tcp = net::ip::tcp;

namespace {

// Connections being told 503 at once; past these a connection is closed unanswered.
constexpr std::size_t maxTurnedAway = 64;
// Out of descriptors, accepting is tried again after this; the operator
// hears of it once in `noteEvery`.
constexpr std::chrono::milliseconds retryAfter{100};
constexpr std::chrono::seconds noteEvery{60};

template <typename Session>
std::size_t countOpen(std::vector<std::weak_ptr<Session>>& sessions)
{
    sessions.erase(std::remove_if(sessions.begin(), sessions.end(), [](const auto& w) { return w.expired(); }),
                   sessions.end());
    return sessions.size();
}

int openReserve() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

bool outOfResources(const beast::error_code& ec)
{
    return ec == net::error::no_descriptors || ec == beast::errc::too_many_files_open_in_system ||
           ec == net::error::no_buffer_space || ec == net::error::no_memory;
}

}  // namespace

listener::listener(net::io_context& context, connection_hooks& hooks, std::size_t maxConnections)
    : acceptor_(context), hooks_(hooks), maxConnections_(maxConnections), pause_(context)
{
}

listener::~listener()
{
    if (reserve_ >= 0)
        ::close(reserve_);
}

bool listener::listen(const std::string& address, unsigned short port, std::string& error)
{
    beast::error_code ec;
    net::ip::address ip = net::ip::make_address(address, ec);
    if (ec) {
        error = "--serve: \"" + address + "\" is not an IP address";
        return false;
    }
    tcp::endpoint endpoint(ip, port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor_.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor_.bind(endpoint, ec);
    if (!ec)
        acceptor_.listen(net::socket_base::max_listen_connections, ec);
    // Shedding a connection takes one without waiting (shedOne).
    if (!ec)
        acceptor_.non_blocking(true, ec);
    if (ec) {
        error = "--serve: cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
        return false;
    }
    reserve_ = openReserve();
    return true;
}

unsigned short listener::port() const { return acceptor_.local_endpoint().port(); }

void listener::start() { acceptNext(); }

std::size_t listener::connections() { return countOpen(http_) + countOpen(live_); }

void listener::acceptNext()
{
    acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || stopped_)
            return;  // closed: the server stops
        if (outOfResources(ec)) {
            outOfDescriptors();
            return;
        }
        // Any other failure belongs to the one connection (it went before
        // it was taken): the next is accepted all the same.
        if (!ec)
            accepted(std::move(socket));
        acceptNext();
    });
}

void listener::accepted(tcp::socket socket)
{
    beast::error_code ec;
    // Small messages go out at once, not held back to be coalesced
    // with the next one (which would add up to a delayed ACK's 40 ms).
    socket.set_option(tcp::no_delay(true), ec);
    if (connections() >= maxConnections_) {
        noteOnce(lastBusyNote_, "panel_host: " + std::to_string(maxConnections_) +
                                    " connections to the browser view at once; more are answered 503 until some end");
        if (countOpen(turnedAway_) >= maxTurnedAway)
            return;  // closed unanswered: even the 503s are too many
        auto session = std::make_shared<http_session>(std::move(socket), *this, true);
        turnedAway_.push_back(session);
        session->start();
        return;
    }
    auto session = std::make_shared<http_session>(std::move(socket), *this);
    http_.push_back(session);
    session->start();
}

// Out of descriptors (or of the kernel's memory for sockets): the
// connection waiting first is taken with the reserve and closed, so that
// its client hears at once rather than waiting on the queue, and accepting
// is tried again shortly. Descriptors come back as connections end.
void listener::outOfDescriptors()
{
    noteOnce(lastDescriptorNote_, "panel_host: the browser view ran out of file descriptors with " +
                                      std::to_string(connections()) +
                                      " connections open; new ones are closed until some end (see ulimit -n)");
    shedOne();
    pause_.expires_after(retryAfter);
    pause_.async_wait([this](beast::error_code ec) {
        if (!ec && !stopped_)
            acceptNext();
    });
}

void listener::noteOnce(std::optional<std::chrono::steady_clock::time_point>& last, const std::string& text)
{
    auto now = std::chrono::steady_clock::now();
    if (last && now - *last < noteEvery)
        return;
    last = now;
    hooks_.note(text);
}

void listener::shedOne()
{
    if (reserve_ >= 0) {
        ::close(reserve_);
        reserve_ = -1;
    }
    beast::error_code ec;
    tcp::socket doomed(acceptor_.get_executor());
    acceptor_.accept(doomed, ec);
    doomed.close(ec);
    reserve_ = openReserve();
}

void listener::upgrade(tcp::socket socket, const request& req)
{
    auto session = std::make_shared<live_session>(std::move(socket), *this);
    countOpen(live_);
    live_.push_back(session);
    session->start(req);
}

void listener::stop()
{
    stopped_ = true;
    beast::error_code ignored;
    acceptor_.close(ignored);
    pause_.cancel();
    for (auto* sessions : {&http_, &turnedAway_})
        for (const auto& weak : *sessions)
            if (auto session = weak.lock())
                session->close();
    for (const auto& weak : live_)
        if (auto session = weak.lock())
            session->close();
}

}  // namespace web
