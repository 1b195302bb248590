// access_gate: who may ask the browser view anything. Every request and
// every page's stream passes it before a route sees it:
//   - the Host (and Origin) must name this server (host_rules), else 403:
//     a page of another site, or one that reached here through a name of
//     its own (DNS rebinding);
//   - when the server needs its access key (beyond loopback, or with
//     --token-file), the key must come in a cookie or an "Authorization:
//     Bearer" header, else 401 with a short page that says how to get in
//     and nothing else. The key in the URL (?token=KEY, as printed) is
//     answered with a redirect to the URL without it that sets the cookie.
// Every refusal is counted and logged, a line a second at most.
//
// Thread: the event loop's.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "web/http_answers.h"
#include "web/serve_address.h"

class transcript;

namespace web {

class route_table;

class access_gate {
public:
    access_gate(boost::asio::io_context& context, transcript& out);
    access_gate(const access_gate&) = delete;
    access_gate& operator=(const access_gate&) = delete;

    host_rules& rules() { return rules_; }
    const host_rules& rules() const { return rules_; }

    // From now on every request needs `token`.
    void requireToken(std::string token) { token_ = std::move(token); }
    bool needsToken() const { return !token_.empty(); }
    // The URL a person opens at `host` ("10.0.0.7:8080"): with the key when one is needed.
    std::string url(const std::string& host) const;
    // The cookie that keeps the key: named after the port, since a browser
    // keeps one set of cookies for every port of a host.
    std::string cookieName() const;

    // None when the request may go on; else its answer, in the words of
    // its path's area in `table`.
    std::optional<response> check(const request& req, const connection_info& from, const route_table& table);

    std::size_t refusedCount() const { return refused_; }
    // Logs what is left to log, and the count when any was refused.
    void stop();

private:
    std::optional<response> checkKey(const request& req, const connection_info& from, const route_table& table);
    response unauthorized(const request& req, const route_table& table) const;
    void refuse(const connection_info& from, const request& req, const std::string& why);
    void logLeftOver();

    transcript& out_;
    host_rules rules_;
    std::string token_;
    boost::asio::steady_timer timer_;
    std::size_t refused_ = 0;
    std::size_t unlogged_ = 0;  // refused since the last line
    std::string lastUnlogged_;
    std::optional<std::chrono::steady_clock::time_point> lastLine_;
    bool timerSet_ = false;
    bool stopped_ = false;
};

}  // namespace web
