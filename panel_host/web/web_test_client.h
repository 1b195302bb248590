// The server on 127.0.0.1 with the sample installation and the real module,
// as the server tests drive it: a client that sends one request on a
// connection of its own, a page's live stream, and the fixture that serves
// on the test's thread while the client runs on another, every request
// bounded in time; the server is stopped when the client is done, or by a
// watchdog.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
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
#include "web/web_test_facility.h"
#include "web/web_view.h"

namespace web_test {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

// One request or one live message may take this long; the whole serving
// ends after `serveLimit` whatever the client does.
constexpr std::chrono::seconds askTime{5};
constexpr std::chrono::seconds serveLimit{60};

struct reply {
    int status = 0;
    std::string type;
    std::string body;
    std::string location;   // Location
    std::string setCookie;  // Set-Cookie
    std::string error;      // the client's own failure: no answer came
};

inline web::request makeRequest(http::verb method, const std::string& target, unsigned short port,
                                const std::string& body = "")
{
    web::request req{method, target, 11};
    req.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    req.body() = body;
    req.prepare_payload();
    return req;
}

// Sends one request on a connection of its own and reads the answer.
inline reply ask(unsigned short port, const web::request& req)
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

// One page's live stream, as the page's script opens and reads it.
class live_client {
public:
    live_client() : ws_(io_) {}

    // The handshake's answer: 101 when the stream opened. `cookie`: a
    // Cookie header to send with it.
    int open(unsigned short port, const std::string& target, const std::string& cookie = std::string())
    {
        websocket::response_type res;
        ws_.set_option(websocket::stream_base::decorator([cookie](websocket::request_type& req) {
            if (!cookie.empty())
                req.set(http::field::cookie, cookie);
        }));
        ws_.read_message_max(std::uint64_t{64} * 1024 * 1024);
        beast::get_lowest_layer(ws_).expires_after(askTime);
        beast::get_lowest_layer(ws_).async_connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), port), [&](beast::error_code ec) {
                if (!ec)
                    ws_.async_handshake(res, "127.0.0.1:" + std::to_string(port), target, [](beast::error_code) {});
            });
        run(askTime);
        return res.result_int();
    }

    // The next message, or an empty text when none came within `wait`.
    std::string next(std::chrono::milliseconds wait = askTime)
    {
        std::string message;
        beast::flat_buffer buffer;
        beast::get_lowest_layer(ws_).expires_never();
        ws_.async_read(buffer, [&](beast::error_code ec, std::size_t) {
            if (!ec)
                message = beast::buffers_to_string(buffer.data());
            ended_ = ended_ || (ec && ec != net::error::operation_aborted);
        });
        run(wait);
        if (message.empty() && !ended_) {
            // The read is given up: the stream is closed rather than read twice at once.
            beast::get_lowest_layer(ws_).close();
            run(std::chrono::milliseconds(100));
            ended_ = true;
        }
        return message;
    }
    // The stream ended (the server closed it, or a read was given up).
    bool ended() const { return ended_; }

    // Sends a text message to the server.
    void say(const std::string& text)
    {
        ws_.async_write(net::buffer(text), [](beast::error_code, std::size_t) {});
        run(askTime);
    }

    // The next message that is not the clock's (which comes every 250 ms).
    std::string nextButClock()
    {
        for (int i = 0; i < 100; ++i) {
            std::string message = next();
            if (message.rfind("{\"type\":\"clock\"", 0) != 0)
                return message;
        }
        return {};
    }

    // The first message of `type` that holds `text`; others may come before it.
    std::string nextWith(const std::string& type, const std::string& text)
    {
        for (int i = 0; i < 200; ++i) {
            std::string message = next();
            if (message.empty() ||
                (message.rfind("{\"type\":\"" + type + "\"", 0) == 0 && message.find(text) != std::string::npos))
                return message;
        }
        return {};
    }
    std::string transcriptWith(const std::string& text) { return nextWith("transcript", text); }

private:
    void run(std::chrono::milliseconds wait)
    {
        io_.restart();
        io_.run_for(wait);
    }
    net::io_context io_;
    websocket::stream<beast::tcp_stream> ws_;
    bool ended_ = false;
};

// What a client of the server knows of it.
struct served {
    unsigned short port = 0;
    std::string url;            // as printed: with the access key when one is needed
    web::web_server* server{};  // to post work to its loop (on the server's thread only)
    event_loop* loop{};
};

class Server : public web_test_facility {
protected:
    // Serves on this thread while `client` runs on another with the port;
    // the server stops when the client returns, or after serveLimit.
    // `adjust` changes the settings first.
    void serveWhile(const std::function<void(const served& at)>& client,
                    const std::function<void(web_settings&)>& adjust = {})
    {
        auto runner = start();
        session_recorder session(*runner, "<terminal>");
        web::page_transcript page;
        out.addSink(page);
        struct detach {
            transcript& from;
            web::page_transcript& page;
            ~detach() { from.removeSink(page); }
        } detached{out, page};
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
    void serveWhile(const std::function<void(unsigned short port)>& client)
    {
        serveWhile([&](const served& at) { client(at.port); });
    }

    // Runs `work` on the server's thread, between its handlers, and waits for it.
    static void onServer(const served& at, const std::function<void()>& work)
    {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        net::post(at.loop->context(), [done, work] {
            work();
            done->set_value();
        });
        finished.wait_for(askTime);
    }

    std::size_t refused = 0;  // requests the server refused, once it stopped
};

}  // namespace web_test
