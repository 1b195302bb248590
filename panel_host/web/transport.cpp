#include "web/transport.h"

#include <algorithm>
#include <chrono>
#include <deque>

#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include "web/live_feed.h"

namespace web {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

namespace {

// A request, and writing its answer, may take this long.
constexpr std::chrono::seconds requestTime{30};
// What the reading buffer may hold: a whole header, the body as it is read,
// and what a client sent after it (pipelined).
constexpr std::size_t maxHttpBuffer = maxHeader + maxBody;

template <typename Session>
void forgetEnded(std::vector<std::weak_ptr<Session>>& sessions)
{
    sessions.erase(std::remove_if(sessions.begin(), sessions.end(), [](const auto& w) { return w.expired(); }),
                   sessions.end());
}

}  // namespace

// One page's live stream: the server pushes transcript, state and clock
// messages; what the page sends is read only to notice a close.
class live_session : public live_page, public std::enable_shared_from_this<live_session> {
public:
    live_session(tcp::socket socket, listener& owner) : ws_(std::move(socket)), owner_(owner) {}
    void start(const request& req);
    void send(std::shared_ptr<const std::string> message) override;
    void close() { beast::get_lowest_layer(ws_).close(); }

private:
    void onAccept(beast::error_code ec);
    void read();
    void write();
    websocket::stream<beast::tcp_stream> ws_;
    listener& owner_;
    beast::flat_buffer buffer_;  // bounded by the stream's largest message, maxLiveMessage
    std::deque<std::shared_ptr<const std::string>> queue_;
    bool open_ = false;
};

void live_session::start(const request& req)
{
    beast::get_lowest_layer(ws_).expires_never();
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.read_message_max(maxLiveMessage);
    ws_.async_accept(req, [self = shared_from_this()](beast::error_code ec) { self->onAccept(ec); });
}

void live_session::onAccept(beast::error_code ec)
{
    if (ec)
        return;
    open_ = true;
    owner_.hooks().joined(shared_from_this());
    read();
}

void live_session::read()
{
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec) {
            self->open_ = false;
            return;
        }
        self->buffer_.consume(self->buffer_.size());
        self->read();
    });
}

void live_session::send(std::shared_ptr<const std::string> message)
{
    if (!open_)
        return;
    if (queue_.size() >= maxQueuedMessages) {
        open_ = false;
        close();
        return;
    }
    queue_.push_back(std::move(message));
    if (queue_.size() == 1)
        write();
}

void live_session::write()
{
    ws_.text(true);
    ws_.async_write(net::buffer(*queue_.front()), [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec) {
            self->open_ = false;
            self->queue_.clear();
            return;
        }
        self->queue_.pop_front();
        if (!self->queue_.empty())
            self->write();
    });
}

// One connection's requests, read and answered one at a time.
class http_session : public std::enable_shared_from_this<http_session> {
public:
    http_session(tcp::socket socket, listener& owner) : stream_(std::move(socket)), owner_(owner) {}
    void start() { read(); }
    void close() { stream_.close(); }

private:
    void read();
    void onRead(beast::error_code ec);
    void refuseUnread(beast::error_code ec);
    void onRequest(const request& req);
    void send(response res, bool closeAfter);
    beast::tcp_stream stream_;
    listener& owner_;
    beast::flat_buffer buffer_{maxHttpBuffer};
    std::optional<http::request_parser<http::string_body>> parser_;
};

void http_session::read()
{
    parser_.emplace();
    parser_->body_limit(maxBody);
    parser_->header_limit(static_cast<std::uint32_t>(maxHeader));
    stream_.expires_after(requestTime);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
}

void http_session::onRead(beast::error_code ec)
{
    if (ec == http::error::end_of_stream || ec == net::error::operation_aborted || ec == beast::error::timeout ||
        ec == net::error::connection_reset || ec == net::error::eof) {
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
        return;
    }
    if (ec) {
        refuseUnread(ec);
        return;
    }
    onRequest(parser_->release());
}

// A request that could not be read whole is answered, and the connection
// closed: what follows it cannot be told from the rest of it.
void http_session::refuseUnread(beast::error_code ec)
{
    request fallback;
    fallback.version(11);
    if (ec == http::error::body_limit)
        send(plainError(fallback, http::status::payload_too_large,
                        "request body larger than " + std::to_string(maxBody) + " bytes"),
             true);
    else if (ec == http::error::header_limit)
        send(plainError(fallback, http::status::request_header_fields_too_large,
                        "request header larger than " + std::to_string(maxHeader) + " bytes"),
             true);
    else
        send(plainError(fallback, http::status::bad_request, "malformed request: " + ec.message()), true);
}

void http_session::onRequest(const request& req)
{
    if (websocket::is_upgrade(req)) {
        if (std::optional<response> refusal = owner_.hooks().refuseLive(req)) {
            send(std::move(*refusal), true);
            return;
        }
        stream_.expires_never();
        owner_.upgrade(stream_.release_socket(), req);
        return;
    }
    response res = owner_.hooks().answer(req);
    bool closeAfter = !res.keep_alive();
    send(std::move(res), closeAfter);
}

void http_session::send(response res, bool closeAfter)
{
    auto kept = std::make_shared<response>(std::move(res));
    stream_.expires_after(requestTime);
    http::async_write(stream_, *kept, [self = shared_from_this(), kept, closeAfter](beast::error_code ec, std::size_t) {
        if (ec || closeAfter) {
            self->stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
            return;
        }
        self->read();
    });
}

listener::listener(net::io_context& context, connection_hooks& hooks) : acceptor_(context), hooks_(hooks) {}

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
    if (ec) {
        error = "--serve: cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
        return false;
    }
    return true;
}

unsigned short listener::port() const { return acceptor_.local_endpoint().port(); }

void listener::start() { acceptNext(); }

void listener::acceptNext()
{
    acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec)
            return;  // closed: the server stops
        // Small messages go out at once, not held back to be coalesced
        // with the next one (which would add up to a delayed ACK's 40 ms).
        socket.set_option(tcp::no_delay(true), ec);
        auto session = std::make_shared<http_session>(std::move(socket), *this);
        forgetEnded(http_);
        http_.push_back(session);
        session->start();
        acceptNext();
    });
}

void listener::upgrade(tcp::socket socket, const request& req)
{
    auto session = std::make_shared<live_session>(std::move(socket), *this);
    forgetEnded(live_);
    live_.push_back(session);
    session->start(req);
}

void listener::stop()
{
    beast::error_code ignored;
    acceptor_.close(ignored);
    for (const auto& weak : live_)
        if (auto session = weak.lock())
            session->close();
    for (const auto& weak : http_)
        if (auto session = weak.lock())
            session->close();
}

}  // namespace web
