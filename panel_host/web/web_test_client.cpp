#include "web/web_test_client.h"

#include <future>
#include <thread>

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "loop/event_loop.h"
#include "scenario/session_recorder.h"
#include "text/transcript.h"
#include "web/page_transcript.h"
#include "web/web_server.h"

namespace web_test {

namespace websocket = beast::websocket;

web::request makeRequest(http::verb method, const std::string& target, unsigned short port, const std::string& body)
{
    web::request req{method, target, 11};
    req.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    req.body() = body;
    req.prepare_payload();
    return req;
}

reply ask(unsigned short port, const web::request& req)
{
    net::io_context io;
    beast::tcp_stream stream(io);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(std::uint64_t{64} * 1024 * 1024);
    reply got;
    got.error = "no answer in time";
    stream.expires_after(askTime);
    stream.async_connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port), [&](beast::error_code ec) {
        if (ec) {
            got.error = "connect: " + ec.message();
            return;
        }
        http::async_write(stream, req, [&](beast::error_code written, std::size_t) {
            if (written) {
                got.error = "write: " + written.message();
                return;
            }
            http::async_read(stream, buffer, parser, [&](beast::error_code read, std::size_t) {
                const auto& res = parser.get();
                got.error = read ? "read: " + read.message() : "";
                got.status = res.result_int();
                got.type = std::string(res[http::field::content_type]);
                got.location = std::string(res[http::field::location]);
                got.setCookie = std::string(res[http::field::set_cookie]);
                got.body = res.body();
            });
        });
    });
    io.run_for(askTime + std::chrono::seconds(1));
    return got;
}

struct live_client::stream {
    net::io_context io;
    websocket::stream<beast::tcp_stream> ws{io};
};

live_client::live_client() : stream_(std::make_unique<stream>()) {}
live_client::~live_client() = default;

int live_client::open(unsigned short port, const std::string& target, const std::string& cookie)
{
    auto& ws = stream_->ws;
    websocket::response_type res;
    ws.set_option(websocket::stream_base::decorator([cookie](websocket::request_type& req) {
        if (!cookie.empty())
            req.set(http::field::cookie, cookie);
    }));
    ws.read_message_max(std::uint64_t{64} * 1024 * 1024);
    beast::get_lowest_layer(ws).expires_after(askTime);
    beast::get_lowest_layer(ws).async_connect(
        tcp::endpoint(net::ip::make_address("127.0.0.1"), port), [&](beast::error_code ec) {
            if (!ec)
                ws.async_handshake(res, "127.0.0.1:" + std::to_string(port), target, [](beast::error_code) {});
        });
    run(askTime);
    return res.result_int();
}

std::string live_client::next(std::chrono::milliseconds wait)
{
    auto& ws = stream_->ws;
    std::string message;
    beast::flat_buffer buffer;
    beast::get_lowest_layer(ws).expires_never();
    ws.async_read(buffer, [&](beast::error_code ec, std::size_t) {
        if (!ec)
            message = beast::buffers_to_string(buffer.data());
        ended_ = ended_ || (ec && ec != net::error::operation_aborted);
    });
    run(wait);
    if (message.empty() && !ended_) {
        // The read is given up: the stream is closed rather than read twice at once.
        beast::get_lowest_layer(ws).close();
        run(std::chrono::milliseconds(100));
        ended_ = true;
    }
    return message;
}

void live_client::say(const std::string& text)
{
    stream_->ws.async_write(net::buffer(text), [](beast::error_code, std::size_t) {});
    run(askTime);
}

std::string live_client::nextButClock()
{
    for (int i = 0; i < 100; ++i) {
        std::string message = next();
        if (message.rfind("{\"type\":\"clock\"", 0) != 0)
            return message;
    }
    return {};
}

std::string live_client::nextWith(const std::string& type, const std::string& text)
{
    for (int i = 0; i < 200; ++i) {
        std::string message = next();
        if (message.empty() ||
            (message.rfind("{\"type\":\"" + type + "\"", 0) == 0 && message.find(text) != std::string::npos))
            return message;
    }
    return {};
}

void live_client::run(std::chrono::milliseconds wait)
{
    stream_->io.restart();
    stream_->io.run_for(wait);
}

void Server::serveWhile(const std::function<void(const served& at)>& client,
                        const std::function<void(web_settings&)>& adjust)
{
    auto runner = start();
    session_recorder session(*runner, "<terminal>");
    web::page_transcript page;
    const scoped_sink pageCopy(out, page);
    web_settings web;
    web.serve = "127.0.0.1:0";
    web.imageFolders = {settings.layoutDir};
    if (adjust)
        adjust(web);
    event_loop loop;
    web::web_server server(web, *runner, routers, out, session, loop);
    std::string error;
    ASSERT_TRUE(server.listen("127.0.0.1", 0, error)) << error;
    ASSERT_TRUE(server.begin(error)) << error;
    bool timedOut = false;
    net::steady_timer watchdog(loop.context(), serveLimit);
    watchdog.async_wait([&](beast::error_code ec) {
        timedOut = !ec;
        if (timedOut)
            server.stop();
    });
    served at{server.port(), server.url(), &server, &loop};
    std::thread clientThread([&] {
        client(at);
        net::post(loop.context(), [&] {
            watchdog.cancel();
            server.stop();
        });
    });
    EXPECT_EQ(server.serve(page), 0);
    clientThread.join();
    EXPECT_FALSE(timedOut);
    refused = server.refusedCount();
    runner->finish();
}

void Server::onServer(const served& at, const std::function<void()>& work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    net::post(at.loop->context(), [done, work] {
        work();
        done->set_value();
    });
    finished.wait_for(askTime);
}

}  // namespace web_test
