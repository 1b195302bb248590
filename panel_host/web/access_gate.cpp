#include "web/access_gate.h"

#include "text/terminal_text.h"
#include "text/transcript.h"
#include "web/access_token.h"
#include "web/route_table.h"

namespace web {

namespace {

constexpr std::chrono::seconds logEvery{1};
constexpr const char* tokenName = "token";

std::string describe(const connection_info& from, const request& req, const std::string& why)
{
    return (from.client.empty() ? std::string("?") : from.client) + " " + std::string(req.method_string()) + " " +
           route_table::pathOf(req) + ": " + why;
}

}  // namespace

access_gate::access_gate(boost::asio::io_context& context, transcript& out) : out_(out), timer_(context) {}

std::string access_gate::url(const std::string& host) const
{
    return "http://" + host + "/" + (token_.empty() ? "" : std::string("?") + tokenName + "=" + token_);
}

std::string access_gate::cookieName() const { return "panel_host_key_" + std::to_string(rules_.port()); }

std::optional<response> access_gate::check(const request& req, const connection_info& from, const route_table& table)
{
    auto origin = req.find(http::field::origin);
    std::string why = rules_.refusal(std::string(req[http::field::host]),
                                     origin == req.end() ? std::nullopt : std::optional<std::string>(origin->value()),
                                     from.local);
    if (!why.empty()) {
        refuse(from, req, why);
        return table.refuse(req, http::status::forbidden, "request from another site refused");
    }
    return token_.empty() ? std::nullopt : checkKey(req, from, table);
}

std::optional<response> access_gate::checkKey(const request& req, const connection_info& from, const route_table& table)
{
    std::string target(req.target());
    if (std::optional<std::string> inUrl = queryValue(target, tokenName)) {
        if (req.method() != http::verb::get || !sameToken(*inUrl, token_)) {
            refuse(from, req,
                   req.method() != http::verb::get ? "access key in the URL of a POST" : "wrong access key in the URL");
            return unauthorized(req, table);
        }
        // The key comes in once: the cookie keeps it, and the address bar
        // and the history keep the URL without it.
        response in = makeResponse(req, http::status::see_other, "text/plain; charset=utf-8", std::string());
        // Only a path of this server: "//elsewhere/" would send the browser away.
        std::string bare = withoutQueryValue(target, tokenName);
        in.set(http::field::location, bare.rfind('/', 0) == 0 && bare.rfind("//", 0) != 0 ? bare : "/");
        in.set(http::field::set_cookie, cookieName() + "=" + token_ + "; HttpOnly; SameSite=Strict; Path=/");
        return in;
    }
    auto authorization = req.find(http::field::authorization);
    if (authorization != req.end()) {
        std::optional<std::string> bearer = bearerToken(std::string(authorization->value()));
        if (bearer && sameToken(*bearer, token_))
            return std::nullopt;
        refuse(from, req, bearer ? "wrong access key (Bearer)" : "Authorization is not \"Bearer KEY\"");
        return unauthorized(req, table);
    }
    std::optional<std::string> kept = cookieValue(std::string(req[http::field::cookie]), cookieName());
    if (kept && sameToken(*kept, token_))
        return std::nullopt;
    refuse(from, req, kept ? "wrong access key (cookie)" : "no access key");
    return unauthorized(req, table);
}

// How to get in, and nothing else.
response access_gate::unauthorized(const request& req, const route_table& table) const
{
    response res = table.refuse(req, http::status::unauthorized,
                                "panel_host asks for its access key: open the URL it printed when it started "
                                "(http://HOST:PORT/?token=KEY), or send the header \"Authorization: Bearer KEY\"");
    res.set(http::field::www_authenticate, "Bearer realm=\"panel_host\"");
    return res;
}

void access_gate::refuse(const connection_info& from, const request& req, const std::string& why)
{
    ++refused_;
    auto now = std::chrono::steady_clock::now();
    std::string line = describe(from, req, why);
    if (!lastLine_ || now - *lastLine_ >= logEvery) {
        lastLine_ = now;
        out_.block(shortened("panel_host: refused " + line, 300) + " (" + std::to_string(refused_) + " in all)");
        return;
    }
    ++unlogged_;
    lastUnlogged_ = line;
    if (timerSet_ || stopped_)
        return;
    timerSet_ = true;
    timer_.expires_at(*lastLine_ + logEvery);
    timer_.async_wait([this](boost::system::error_code ec) {
        timerSet_ = false;
        if (!ec)
            logLeftOver();
    });
}

void access_gate::logLeftOver()
{
    if (unlogged_ == 0)
        return;
    lastLine_ = std::chrono::steady_clock::now();
    out_.block("panel_host: refused " + std::to_string(unlogged_) + " more in the last second, the last " +
               shortened(lastUnlogged_, 300) + " (" + std::to_string(refused_) + " in all)");
    unlogged_ = 0;
}

void access_gate::stop()
{
    stopped_ = true;
    timer_.cancel();
    logLeftOver();
    if (refused_ > 0)
        out_.block("panel_host: " + std::to_string(refused_) + " requests refused while serving");
}

}  // namespace web
