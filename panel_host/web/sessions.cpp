#include "web/sessions.h"

#include <chrono>
#include <variant>

#include "web/transport.h"

namespace web {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

namespace {

// A request, and writing its answer, may take this long; one connection
// too many gets less.
constexpr std::chrono::seconds requestTime{30};
constexpr std::chrono::seconds turnedAwayTime{5};
// What the reading buffer may hold: a whole header, the body as it is read,
// and what a client sent after it (pipelined).
constexpr std::size_t maxHttpBuffer = maxHeader + maxBody;

std::string plainAddress(const net::ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

}  // namespace

connection_info describe(const tcp::socket& socket)
{
    connection_info info;
    beast::error_code ec;
    tcp::endpoint remote = socket.remote_endpoint(ec);
    if (!ec)
        info.client = plainAddress(remote.address());
    tcp::endpoint local = socket.local_endpoint(ec);
    if (!ec)
        info.local = plainAddress(local.address());
    return info;
}

// ---- a page's live stream --------------------------------------------------

void live_session::start(const request& req)
{
    beast::get_lowest_layer(ws_).expires_never();
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.read_message_max(maxLiveMessage);
    ws_.async_accept(req, [self = shared_from_this()](beast::error_code ec) { self->onAccept(ec); });
}

void live_session::close()
{
    open_ = false;
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
}

void live_session::onAccept(beast::error_code ec)
{
    if (ec)
        return;
    open_ = true;
    owner_.hooks().joined(shared_from_this());
    read();
}

// What a page says is short (maxLiveMessage): a request for the whole state.
void live_session::read()
{
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec) {
            self->open_ = false;
            return;
        }
        std::string message = beast::buffers_to_string(self->buffer_.data());
        self->buffer_.consume(self->buffer_.size());
        self->owner_.hooks().heard(self, message);
        self->read();
    });
}

void live_session::send(const live_message& message)
{
    if (!open_)
        return;
    bool idle = queue_.empty();
    if (!queue_.push(message, page_queue::clock::now())) {
        // Past its budget: the page is dropped. The write under way ends
        // with the socket, and lets go of what was queued.
        close();
        return;
    }
    if (idle)
        write();
}

void live_session::write()
{
    writing_.clear();
    for (const auto& piece : queue_.front())
        writing_.emplace_back(piece->data(), piece->size());
    queue_.started(page_queue::clock::now());
    ws_.text(true);
    ws_.async_write(writing_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec) {
            self->open_ = false;
            self->queue_.clear();
            return;
        }
        self->queue_.pop();
        if (!self->queue_.empty())
            self->write();
    });
}

// ---- requests ------------------------------------------------------------------

http_session::http_session(tcp::socket socket, listener& owner, bool turnedAway)
    : stream_(std::move(socket)), owner_(owner), from_(describe(stream_.socket())), turnedAway_(turnedAway),
      buffer_(maxHttpBuffer)
{
}

void http_session::read()
{
    parser_.emplace();
    parser_->body_limit(maxBody);
    parser_->header_limit(static_cast<std::uint32_t>(maxHeader));
    stream_.expires_after(turnedAway_ ? turnedAwayTime : requestTime);
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
    if (turnedAway_) {
        response busy = plainError(req, http::status::service_unavailable,
                                   "too many connections to panel_host at once; try again shortly");
        busy.set(http::field::retry_after, "1");
        busy.keep_alive(false);
        send(std::move(busy), true);
        return;
    }
    if (websocket::is_upgrade(req)) {
        if (std::optional<response> refusal = owner_.hooks().refuseLive(req, from_)) {
            send(std::move(*refusal), true);
            return;
        }
        stream_.expires_never();
        owner_.upgrade(stream_.release_socket(), req);
        return;
    }
    reply res = owner_.hooks().answer(req, from_);
    bool closeAfter = std::visit([](const auto& r) { return !r.keep_alive(); }, res);
    send(std::move(res), closeAfter);
}

void http_session::send(reply res, bool closeAfter)
{
    std::visit(
        [&](auto& r) {
            using type = std::decay_t<decltype(r)>;
            write(std::make_shared<type>(std::move(r)), closeAfter);
        },
        res);
}

// A file is written a piece at a time as it is read (Beast's file body), so
// that a client that reads slowly holds a small buffer, not the file.
template <typename Response>
void http_session::write(std::shared_ptr<Response> res, bool closeAfter)
{
    stream_.expires_after(requestTime);
    http::async_write(stream_, *res, [self = shared_from_this(), res, closeAfter](beast::error_code ec, std::size_t) {
        if (ec || closeAfter) {
            self->stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
            return;
        }
        self->read();
    });
}

}  // namespace web
