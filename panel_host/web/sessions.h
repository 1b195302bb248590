// sessions: the two kinds of connection the listener (transport.h) keeps.
// An http_session reads requests one after another and answers each, or
// hands a WebSocket upgrade over to a live_session: one page's live stream,
// which sends what the feed queues for it within the page's byte budget
// (page_queue.h) and hands what the page says to the server.
//
// Thread: the event loop's.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <boost/asio/buffer.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include "web/http_answers.h"
#include "web/live_feed.h"
#include "web/page_queue.h"

namespace web {

class listener;

// Where a connection comes from and what of ours it reached, as the Host
// rules and the log read them ("::ffff:10.0.0.7" is "10.0.0.7").
connection_info describe(const boost::asio::ip::tcp::socket& socket);

class live_session : public live_page, public std::enable_shared_from_this<live_session> {
public:
    live_session(boost::asio::ip::tcp::socket socket, listener& owner) : ws_(std::move(socket)), owner_(owner) {}
    void start(const request& req);
    void send(const live_message& message) override;
    void close();

private:
    void onAccept(boost::beast::error_code ec);
    void read();
    void write();
    boost::beast::websocket::stream<boost::beast::tcp_stream> ws_;
    listener& owner_;
    boost::beast::flat_buffer buffer_;  // bounded by the stream's largest message, maxLiveMessage
    page_queue queue_;
    std::vector<boost::asio::const_buffer> writing_;  // the front message's pieces, while it is written
    bool open_ = false;
};

class http_session : public std::enable_shared_from_this<http_session> {
public:
    // `turnedAway`: one connection too many; its request is answered 503.
    http_session(boost::asio::ip::tcp::socket socket, listener& owner, bool turnedAway = false);
    void start() { read(); }
    void close() { stream_.close(); }

private:
    void read();
    void onRead(boost::beast::error_code ec);
    void refuseUnread(boost::beast::error_code ec);
    void onRequest(const request& req);
    void send(reply res, bool closeAfter);
    template <typename Response>
    void write(std::shared_ptr<Response> res, bool closeAfter);
    boost::beast::tcp_stream stream_;
    listener& owner_;
    connection_info from_;
    bool turnedAway_;
    boost::beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
};

}  // namespace web
