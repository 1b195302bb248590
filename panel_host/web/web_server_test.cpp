// The server itself, on 127.0.0.1 with the sample installation and the real
// module: every route's methods, the table's 404 and 405 in the words of
// each area, the Host and Origin rules and the request limits, and a page's
// live stream (history and state on joining, a step's transcript after).
// The client runs on a thread of its own, every request bounded in time;
// the server is stopped when the client is done, or by a watchdog.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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
#include "web/web_server.h"
#include "web/web_test_facility.h"
#include "web/web_view.h"

namespace {

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
    std::string error;  // the client's own failure: no answer came
};

web::request makeRequest(http::verb method, const std::string& target, unsigned short port,
                         const std::string& body = "")
{
    web::request req{method, target, 11};
    req.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    req.body() = body;
    req.prepare_payload();
    return req;
}

// Sends one request on a connection of its own and reads the answer.
reply ask(unsigned short port, const web::request& req)
{
    net::io_context io;
    beast::tcp_stream stream(io);
    beast::flat_buffer buffer;
    http::response<http::string_body> res;
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
            http::async_read(stream, buffer, res, [&](beast::error_code read, std::size_t) {
                got.error = read ? "read: " + read.message() : "";
                got.status = res.result_int();
                got.type = std::string(res[http::field::content_type]);
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

    // The handshake's answer: 101 when the stream opened.
    int open(unsigned short port, const std::string& target)
    {
        websocket::response_type res;
        beast::get_lowest_layer(ws_).expires_after(askTime);
        beast::get_lowest_layer(ws_).async_connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), port), [&](beast::error_code ec) {
                if (!ec)
                    ws_.async_handshake(res, "127.0.0.1:" + std::to_string(port), target, [](beast::error_code) {});
            });
        run();
        return res.result_int();
    }

    // The next message, or an empty text when none came in time.
    std::string next()
    {
        std::string message;
        beast::flat_buffer buffer;
        beast::get_lowest_layer(ws_).expires_never();
        ws_.async_read(buffer, [&](beast::error_code ec, std::size_t) {
            if (!ec)
                message = beast::buffers_to_string(buffer.data());
        });
        run();
        return message;
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

    // The first transcript message that holds `text`; what the panel's
    // timers print may come before it.
    std::string transcriptWith(const std::string& text)
    {
        for (int i = 0; i < 100; ++i) {
            std::string message = next();
            if (message.empty() ||
                (message.rfind("{\"type\":\"transcript\"", 0) == 0 && message.find(text) != std::string::npos))
                return message;
        }
        return {};
    }

private:
    void run()
    {
        io_.restart();
        io_.run_for(askTime);
    }
    net::io_context io_;
    websocket::stream<beast::tcp_stream> ws_;
};

class Server : public web_test_facility {
protected:
    // Serves on this thread while `client` runs on another with the port;
    // the server stops when the client returns, or after serveLimit.
    void serveWhile(const std::function<void(unsigned short port)>& client)
    {
        auto runner = start();
        session_recorder session(*runner, "<terminal>");
        plain_text_sink page;
        out.addSink(page);
        struct detach {
            transcript& from;
            plain_text_sink& page;
            ~detach() { from.removeSink(page); }
        } detached{out, page};
        web_settings web;
        web.serve = "127.0.0.1:0";
        web.imageFolders = {settings.layoutDir};
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
        std::thread clientThread([&, port = server.port()] {
            client(port);
            net::post(loop.context(), [&] {
                watchdog.cancel();
                server.stop();
            });
        });
        EXPECT_EQ(server.serve(page), 0);
        clientThread.join();
        EXPECT_FALSE(timedOut);
        runner->finish();
    }
};

TEST_F(Server, EveryRouteTakesItsMethodAndTheTableAnswersTheRest)
{
    using verb = http::verb;
    const char* const json = "application/json";
    const char* const plain = "text/plain; charset=utf-8";
    struct row {
        verb method;
        const char* target;
        const char* body;
        int status;
        const char* type;
        const char* says;  // found in the body
    };
    const row rows[] = {
        {verb::get, "/api/state", "", 200, json, "\"components\":[{\"name\":\"main\",\"exists\":true"},
        {verb::get, "/api/state?fresh=1", "", 200, json, "\"routers\":["},
        {verb::post, "/api/state", "", 405, json, "{\"error\":\"GET /api/state\"}"},
        {verb::get, "/api/step", "", 405, json, "POST /api/step with the text as body"},
        {verb::put, "/api/clock", "pause", 405, json, "POST /api/clock with the text as body"},
        {verb::get, "/api/record", "", 405, json, "POST /api/record with the text as body"},
        {verb::post, "/api/step", "say routed by the table", 200, json, "routed by the table"},
        {verb::post, "/api/step", "frobnicate", 400, json, "unknown line \\\"frobnicate\\\""},
        {verb::post, "/api/clock", "pause", 200, json, "\"type\":\"clock\""},
        {verb::post, "/api/clock", "speed 1000", 400, json, "not a speed from 0.1 to 100"},
        {verb::post, "/api/record", "", 200, json, "say routed by the table"},
        {verb::get, "/api/nothing", "", 404, json, "{\"error\":\"no such API: /api/nothing\"}"},
        {verb::post, "/api/nothing", "", 404, json, "no such API: /api/nothing"},
        {verb::get, "/api/live", "", 404, json, "no such API: /api/live"},  // not an upgrade
        {verb::get, "/", "", 200, "text/html; charset=utf-8", "<!"},
        {verb::get, "/panel.js?v=2", "", 200, "text/javascript; charset=utf-8", "/api/live"},
        {verb::post, "/", "", 405, plain, "only GET here"},
        {verb::get, "/nothing.html", "", 404, plain, "no such page: /nothing.html"},
        {verb::delete_, "/nothing.html", "", 405, plain, "only GET here"},
        {verb::get, "/api", "", 404, plain, "no such page: /api"},
        {verb::get, "/images/tick.png", "", 200, "image/png", "PNG"},
        {verb::post, "/images/tick.png", "", 405, plain, "only GET here"},
        {verb::get, "/images/none.png", "", 404, plain, ""},
        {verb::get, "/images/..%2fsecret", "", 400, plain, ""},
    };
    std::vector<reply> replies;
    serveWhile([&](unsigned short port) {
        for (const auto& r : rows)
            replies.push_back(ask(port, makeRequest(r.method, r.target, port, r.body)));
    });
    ASSERT_EQ(replies.size(), std::size(rows));
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const row& r = rows[i];
        const reply& got = replies[i];
        std::string request = std::string(http::to_string(r.method)) + " " + r.target;
        EXPECT_EQ(got.error, "") << request;
        EXPECT_EQ(got.status, r.status) << request << ": " << got.body;
        EXPECT_EQ(got.type, r.type) << request;
        EXPECT_NE(got.body.find(r.says), std::string::npos) << request << ": " << got.body;
    }
}

// A request from a page of another site, or to a name that merely resolves
// here, is refused before any route runs; so is what is too large to read.
TEST_F(Server, ForeignHostsAndOriginsAndOversizedRequestsAreRefused)
{
    struct row {
        const char* target;
        const char* field;  // a header set or replaced
        std::string value;
        int status;
        const char* says;
    };
    std::vector<row> rows;
    std::vector<reply> replies;
    serveWhile([&](unsigned short port) {
        std::string self = "127.0.0.1:" + std::to_string(port);
        rows = {
            {"/api/state", "Host", "rebound.example:" + std::to_string(port), 403,
             "{\"error\":\"request from another site refused\"}"},
            {"/", "Host", "rebound.example", 403, "request from another site refused\n"},
            {"/api/state", "Origin", "http://other.example", 403, "request from another site refused"},
            {"/api/state", "Origin", "http://" + self, 200, "\"components\""},
            {"/api/state", "Host", "localhost:" + std::to_string(port), 200, "\"components\""},
            {"/api/state", "X-Filler", std::string(9000, 'x'), 431, "request header larger than 8192 bytes"},
        };
        for (const auto& r : rows) {
            web::request req = makeRequest(http::verb::get, r.target, port);
            req.set(r.field, r.value);
            replies.push_back(ask(port, req));
        }
        web::request big = makeRequest(http::verb::post, "/api/step", port, "say " + std::string(20000, 'x'));
        replies.push_back(ask(port, big));
    });
    ASSERT_EQ(replies.size(), rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(replies[i].status, rows[i].status) << rows[i].field << ": " << replies[i].body;
        EXPECT_NE(replies[i].body.find(rows[i].says), std::string::npos) << rows[i].field << ": " << replies[i].body;
    }
    EXPECT_EQ(replies.back().status, 413);
    EXPECT_NE(replies.back().body.find("request body larger than 16384 bytes"), std::string::npos);
}

// A page joins with the history and the whole state, then hears a step's
// transcript and the state after it; the stream opens at /api/live only.
TEST_F(Server, APageJoinsWithTheHistoryAndHearsEachStep)
{
    int elsewhere = 0;
    int opened = 0;
    std::string hello, firstState, stepped, after;
    reply posted;
    serveWhile([&](unsigned short port) {
        elsewhere = live_client().open(port, "/api/elsewhere");
        live_client page;
        opened = page.open(port, "/api/live");
        hello = page.nextButClock();
        firstState = page.nextButClock();
        posted = ask(port, makeRequest(http::verb::post, "/api/step", port, "say heard on the stream"));
        stepped = page.transcriptWith("heard on the stream");
        after = page.nextButClock();
    });
    EXPECT_EQ(elsewhere, 404);
    EXPECT_EQ(opened, 101);
    EXPECT_EQ(hello.rfind("{\"type\":\"transcript\",\"reset\":true,\"text\":", 0), 0u) << hello;
    EXPECT_NE(hello.find("the browser view is at http://127.0.0.1:"), std::string::npos) << hello;
    EXPECT_EQ(firstState.rfind("{\"type\":\"state\",\"state\":{\"clock\":", 0), 0u) << firstState;
    EXPECT_EQ(posted.status, 200) << posted.body;
    EXPECT_EQ(stepped.rfind("{\"type\":\"transcript\",\"text\":", 0), 0u) << stepped;
    EXPECT_NE(stepped.find("heard on the stream"), std::string::npos) << stepped;
    EXPECT_EQ(after.rfind("{\"type\":\"state\",", 0), 0u) << after;
}

}  // namespace
