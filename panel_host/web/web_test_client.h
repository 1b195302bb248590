// The server on 127.0.0.1 with the sample installation and the real module,
// as the server tests drive it: a client that sends one request on a
// connection of its own, a page's live stream, and the fixture that serves
// on the test's thread while the client runs on another, every request
// bounded in time; the server is stopped when the client is done, or by a
// watchdog. The client's Beast code is compiled once, in web_test_client.cpp.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/verb.hpp>

#include "loop/event_loop.h"
#include "scenario/session_recorder.h"
#include "web/web_server.h"
#include "web/web_test_facility.h"
#include "web/web_view.h"

namespace web_test {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
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

web::request makeRequest(http::verb method, const std::string& target, unsigned short port,
                         const std::string& body = "");

// Sends one request on a connection of its own and reads the answer.
reply ask(unsigned short port, const web::request& req);

// One page's live stream, as the page's script opens and reads it.
class live_client {
public:
    live_client();
    ~live_client();
    live_client(const live_client&) = delete;
    live_client& operator=(const live_client&) = delete;

    // The handshake's answer: 101 when the stream opened. `cookie`: a
    // Cookie header to send with it.
    int open(unsigned short port, const std::string& target, const std::string& cookie = std::string());

    // The next message, or an empty text when none came within `wait`.
    std::string next(std::chrono::milliseconds wait = askTime);
    // The stream ended (the server closed it, or a read was given up).
    bool ended() const { return ended_; }

    // Sends a text message to the server.
    void say(const std::string& text);

    // The next message that is not the clock's (which comes every 250 ms).
    std::string nextButClock();

    // The first message of `type` that holds `text`; others may come before it.
    std::string nextWith(const std::string& type, const std::string& text);
    std::string transcriptWith(const std::string& text) { return nextWith("transcript", text); }

private:
    struct stream;
    void run(std::chrono::milliseconds wait);
    std::unique_ptr<stream> stream_;
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
                    const std::function<void(web_settings&)>& adjust = {});
    void serveWhile(const std::function<void(unsigned short port)>& client)
    {
        serveWhile([&](const served& at) { client(at.port); });
    }

    // Runs `work` on the server's thread, between its handlers, and waits for it.
    static void onServer(const served& at, const std::function<void()>& work);

    std::size_t refused = 0;  // requests the server refused, once it stopped
};

}  // namespace web_test
