#include "web/web_view.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "loop/event_loop.h"
#include "web/json_text.h"
#include "web/page_assets.h"
#include "facility/router_model.h"
#include "web/runner_adapter.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/session_recorder.h"
#include "text/transcript.h"
#include "web/web_files.h"

namespace fs = std::filesystem;
namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

namespace {

// Limits on what a client may send: a step is one scenario line or one
// block, so 16 KiB is plenty; anything larger is refused, not read.
constexpr std::size_t maxBody = std::size_t{16} * 1024;
constexpr std::size_t maxHeader = std::size_t{8} * 1024;
constexpr std::size_t maxLiveMessage = std::size_t{4} * 1024;
// A page that does not read its stream is dropped rather than buffered without end.
constexpr std::size_t maxQueuedMessages = 1024;
// Transcript kept for pages that open later.
constexpr std::size_t historyBytes = std::size_t{256} * 1024;
constexpr std::uintmax_t maxImageBytes = std::uintmax_t{8} * 1024 * 1024;
// The wall clock moves the virtual clock this often; a stall of the loop
// (a long step) is not made up beyond `maxCatchUp`.
constexpr std::chrono::milliseconds tickEvery{20};
constexpr double maxCatchUp = 250.0;
constexpr std::chrono::milliseconds clockReportEvery{250};

using request = http::request<http::string_body>;
using response = http::response<http::string_body>;

class web_server;

response makeResponse(const request& req, http::status status, const std::string& type, std::string body)
{
    response res{status, req.version()};
    res.set(http::field::server, "panel_host");
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "no-store");
    res.set("X-Content-Type-Options", "nosniff");
    res.keep_alive(req.keep_alive());
    res.body() = std::move(body);
    res.prepare_payload();
    return res;
}

response jsonError(const request& req, http::status status, const std::string& message)
{
    json::writer out;
    out.beginObject().key("error").value(message).endObject();
    return makeResponse(req, status, "application/json", out.take());
}

response plainError(const request& req, http::status status, const std::string& message)
{
    return makeResponse(req, status, "text/plain; charset=utf-8", message + "\n");
}

// One page's live stream: the server pushes transcript, state and clock
// messages; what the page sends is read only to notice a close.
class live_session : public std::enable_shared_from_this<live_session> {
public:
    live_session(tcp::socket socket, web_server& server) : ws_(std::move(socket)), server_(server) {}
    void start(const request& req);
    void send(std::shared_ptr<const std::string> message);
    void close() { beast::get_lowest_layer(ws_).close(); }

private:
    void onAccept(beast::error_code ec);
    void read();
    void write();
    websocket::stream<beast::tcp_stream> ws_;
    web_server& server_;
    beast::flat_buffer buffer_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    bool open_ = false;
};

class http_session : public std::enable_shared_from_this<http_session> {
public:
    http_session(tcp::socket socket, web_server& server) : stream_(std::move(socket)), server_(server) {}
    void start() { read(); }
    void close() { stream_.close(); }

private:
    void read();
    void onRead(beast::error_code ec);
    void send(response res, bool closeAfter);
    beast::tcp_stream stream_;
    web_server& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
};

class web_server {
public:
    web_server(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
               session_recorder& session, event_loop& loop)
        : options_(settings), out_(out), loop_(loop), adapter_(runner, routers, out, session),
          acceptor_(loop.context()), ticker_(loop.context()), signals_(loop.context(), SIGINT, SIGTERM)
    {
        imageFolders_ = settings.imageFolders;
        std::vector<std::string> problems;
        styles_ = stylesJson(readStyles(settings.stylesFile, problems));
        for (const auto& problem : problems)
            out_.warning("styles: " + problem);
    }

    bool listen(const std::string& address, unsigned short port, std::string& error);
    int serve(plain_text_sink& page);

    // For the sessions.
    response handle(const request& req);
    bool allowedOrigin(const request& req) const;
    void accept(tcp::socket socket, const request& req);
    void joined(const std::shared_ptr<live_session>& session);
    // Sends what was printed since the last call and, when anything
    // happened, the state to every page; returns the text sent.
    std::string publish(bool stateChanged);
    bool begin(std::string& error);

private:
    void acceptNext();
    void tick();
    response step(const request& req);
    response clock(const request& req);
    response record(const request& req);
    response image(const request& req, const std::string& path);
    void stop();
    std::string stateMessage() const;
    std::string clockMessage() const;
    void broadcast(const std::string& message);

    const web_settings& options_;
    transcript& out_;
    event_loop& loop_;
    runner_adapter adapter_;
    plain_text_sink* page_ = nullptr;
    tcp::acceptor acceptor_;
    net::steady_timer ticker_;
    net::signal_set signals_;
    std::vector<std::string> imageFolders_;
    std::string styles_;
    std::string host_;  // what the Host header of a page's request holds
    bool loopbackOnly_ = true;
    std::string history_;
    std::vector<std::weak_ptr<live_session>> live_;
    std::vector<std::weak_ptr<http_session>> http_;
    std::chrono::steady_clock::time_point lastTick_;
    std::chrono::steady_clock::time_point lastClockReport_;
    double carry_ = 0;
    bool stopping_ = false;
};

// ---- live_session ----------------------------------------------------------

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
    server_.joined(shared_from_this());
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

// ---- http_session ----------------------------------------------------------

void http_session::read()
{
    parser_.emplace();
    parser_->body_limit(maxBody);
    parser_->header_limit(static_cast<std::uint32_t>(maxHeader));
    stream_.expires_after(std::chrono::seconds(30));
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
    request fallback;
    fallback.version(11);
    if (ec == http::error::body_limit) {
        send(plainError(fallback, http::status::payload_too_large,
                        "request body larger than " + std::to_string(maxBody) + " bytes"),
             true);
        return;
    }
    if (ec == http::error::header_limit) {
        send(plainError(fallback, http::status::request_header_fields_too_large,
                        "request header larger than " + std::to_string(maxHeader) + " bytes"),
             true);
        return;
    }
    if (ec) {
        send(plainError(fallback, http::status::bad_request, "malformed request: " + ec.message()), true);
        return;
    }
    request req = parser_->release();
    if (websocket::is_upgrade(req)) {
        if (req.target() != "/api/live") {
            send(plainError(req, http::status::not_found, "the live stream is at /api/live"), true);
            return;
        }
        if (!server_.allowedOrigin(req)) {
            send(plainError(req, http::status::forbidden, "request from another site refused"), true);
            return;
        }
        stream_.expires_never();
        server_.accept(stream_.release_socket(), req);
        return;
    }
    response res = server_.handle(req);
    bool closeAfter = !res.keep_alive();
    send(std::move(res), closeAfter);
}

void http_session::send(response res, bool closeAfter)
{
    auto kept = std::make_shared<response>(std::move(res));
    stream_.expires_after(std::chrono::seconds(30));
    http::async_write(stream_, *kept, [self = shared_from_this(), kept, closeAfter](beast::error_code ec, std::size_t) {
        if (ec || closeAfter) {
            self->stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
            return;
        }
        self->read();
    });
}

// ---- web_server ------------------------------------------------------------

bool web_server::listen(const std::string& address, unsigned short port, std::string& error)
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
    loopbackOnly_ = ip.is_loopback();
    unsigned short bound = acceptor_.local_endpoint().port();
    host_ = (ip.is_v6() ? "[" + ip.to_string() + "]" : ip.to_string()) + ":" + std::to_string(bound);
    return true;
}

bool web_server::allowedOrigin(const request& req) const
{
    // A page of another site must not drive the simulator through the
    // person's browser (nor a name that merely resolves to this machine).
    std::string host(req[http::field::host]);
    auto colon = host.rfind(':');
    std::string port = colon == std::string::npos ? std::string() : host.substr(colon);
    if (loopbackOnly_ && host != host_ && host != "localhost" + port && host != "127.0.0.1" + port &&
        host != "[::1]" + port)
        return false;
    auto origin = req.find(http::field::origin);
    return origin == req.end() || std::string(origin->value()) == "http://" + host;
}

void web_server::acceptNext()
{
    acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec)
            return;  // closed: the server stops
        // Small messages go out at once, not held back to be coalesced
        // with the next one (which would add up to a delayed ACK's 40 ms).
        socket.set_option(tcp::no_delay(true), ec);
        auto session = std::make_shared<http_session>(std::move(socket), *this);
        http_.erase(std::remove_if(http_.begin(), http_.end(), [](const auto& w) { return w.expired(); }), http_.end());
        http_.push_back(session);
        session->start();
        acceptNext();
    });
}

void web_server::accept(tcp::socket socket, const request& req)
{
    auto session = std::make_shared<live_session>(std::move(socket), *this);
    live_.erase(std::remove_if(live_.begin(), live_.end(), [](const auto& w) { return w.expired(); }), live_.end());
    live_.push_back(session);
    session->start(req);
}

void web_server::joined(const std::shared_ptr<live_session>& session)
{
    json::writer hello;
    hello.beginObject().key("type").value("transcript").key("reset").value(true).key("text").value(history_).endObject();
    session->send(std::make_shared<const std::string>(hello.take()));
    session->send(std::make_shared<const std::string>(stateMessage()));
}

std::string web_server::stateMessage() const
{
    return "{\"type\":\"state\",\"state\":" + adapter_.stateJson(styles_) + "}";
}

std::string web_server::clockMessage() const
{
    json::writer out;
    out.beginObject().key("type").value("clock").key("now").value(adapter_.now());
    out.key("running").value(adapter_.clockSettings().running).key("speed").value(adapter_.clockSettings().speed);
    out.endObject();
    return out.take();
}

void web_server::broadcast(const std::string& message)
{
    auto shared = std::make_shared<const std::string>(message);
    for (const auto& weak : live_)
        if (auto session = weak.lock())
            session->send(shared);
}

std::string web_server::publish(bool stateChanged)
{
    out_.flush();
    std::string text = page_->take();
    if (!text.empty()) {
        history_ += text;
        if (history_.size() > historyBytes) {
            std::size_t cut = history_.find('\n', history_.size() - historyBytes);
            history_.erase(0, cut == std::string::npos ? history_.size() - historyBytes : cut + 1);
        }
        json::writer out;
        out.beginObject().key("type").value("transcript").key("text").value(text).endObject();
        broadcast(out.take());
    }
    if (stateChanged || !text.empty())
        broadcast(stateMessage());
    return text;
}

bool web_server::begin(std::string& error)
{
    // The session starts as the scenario file leaves it, or with the
    // component created, as at the prompt.
    if (!options_.scenario.empty())
        return adapter_.runFile(options_.scenario, error);
    step_outcome created = adapter_.runText("create", "<browser>");
    if (!created.accepted)
        error = created.error;
    return created.accepted;
}

void web_server::tick()
{
    ticker_.expires_after(tickEvery);
    ticker_.async_wait([this](beast::error_code ec) {
        if (ec || stopping_)
            return;
        // Inside the panel's own event (a router link waiting for its
        // router) the clock holds; the time is made up at the next tick.
        if (loop_.nested()) {
            tick();
            return;
        }
        auto now = std::chrono::steady_clock::now();
        double wall = std::chrono::duration<double, std::milli>(now - lastTick_).count();
        lastTick_ = now;
        const wall_clock_settings& settings = adapter_.clockSettings();
        if (settings.running) {
            carry_ += std::min(wall, maxCatchUp) * settings.speed;
            auto whole = static_cast<std::int64_t>(carry_);
            carry_ -= static_cast<double>(whole);
            adapter_.passTime(whole);
            publish(false);
        }
        if (now - lastClockReport_ >= clockReportEvery) {
            lastClockReport_ = now;
            broadcast(clockMessage());
        }
        tick();
    });
}

response web_server::handle(const request& req)
{
    std::string target(req.target());
    std::string path = target.substr(0, target.find('?'));
    bool isApi = path.rfind("/api/", 0) == 0;
    if (!allowedOrigin(req))
        return isApi ? jsonError(req, http::status::forbidden, "request from another site refused")
                     : plainError(req, http::status::forbidden, "request from another site refused");
    auto onlyMethod = [&](http::verb verb) { return req.method() == verb; };

    if (path == "/api/state") {
        if (!onlyMethod(http::verb::get))
            return jsonError(req, http::status::method_not_allowed, "GET /api/state");
        return makeResponse(req, http::status::ok, "application/json", adapter_.stateJson(styles_));
    }
    if (path == "/api/step" || path == "/api/clock" || path == "/api/record") {
        if (!onlyMethod(http::verb::post))
            return jsonError(req, http::status::method_not_allowed, "POST " + path + " with the text as body");
        // A request that would call the panel while it is inside an event
        // of its own (a router link waiting for its router) is refused
        // rather than entering the panel again.
        if (loop_.nested())
            return jsonError(req, http::status::service_unavailable,
                             "the panel is busy with an event (waiting for a router); try again");
        return path == "/api/step" ? step(req) : path == "/api/clock" ? clock(req) : record(req);
    }
    if (isApi)
        return jsonError(req, http::status::not_found, "no such API: " + path);
    if (!onlyMethod(http::verb::get))
        return plainError(req, http::status::method_not_allowed, "only GET here");
    if (path.rfind("/images/", 0) == 0)
        return image(req, path);
    const page_asset* asset = findPageAsset(path == "/" ? "/index.html" : path);
    if (asset == nullptr)
        return plainError(req, http::status::not_found, "no such page: " + path);
    response res = makeResponse(req, http::status::ok, contentType(asset->path),
                                std::string(reinterpret_cast<const char*>(asset->data), asset->size));
    res.set("Content-Security-Policy", "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:");
    return res;
}

response web_server::image(const request& req, const std::string& path)
{
    std::string name;
    if (!percentDecode(path.substr(std::string("/images/").size()), name))
        return plainError(req, http::status::bad_request, "bad escape in " + path);
    bool refused = false;
    std::string why;
    std::string file = findImage(imageFolders_, name, refused, why);
    if (file.empty())
        return plainError(req, refused ? http::status::bad_request : http::status::not_found, why);
    std::error_code failure;
    if (fs::file_size(file, failure) > maxImageBytes || failure)
        return plainError(req, http::status::payload_too_large, "image too large to serve");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream whole;
    whole << in.rdbuf();
    std::string data = whole.str();
    return makeResponse(req, http::status::ok, contentType(file), std::move(data));
}

response web_server::step(const request& req)
{
    publish(false);  // what the clock printed before belongs to no step
    step_outcome outcome = adapter_.runText(req.body(), "<browser>");
    if (!outcome.accepted) {
        json::writer out;
        out.beginObject().key("error").value(outcome.error).key("where").value(outcome.where).endObject();
        return makeResponse(req, http::status::bad_request, "application/json", out.take());
    }
    std::string text = publish(true);
    json::writer out;
    out.beginObject();
    out.key("ok").value(outcome.failures.empty());
    out.key("transcript").value(text);
    out.key("failures").beginArray();
    for (const auto& failure : outcome.failures)
        out.value(failure);
    out.endArray();
    out.key("answer");
    if (outcome.answer)
        out.value(*outcome.answer);
    else
        out.null();
    out.endObject();
    return makeResponse(req, http::status::ok, "application/json", out.take());
}

response web_server::clock(const request& req)
{
    std::vector<std::string> words;
    std::string error;
    if (!splitWords(req.body(), words, error) || words.empty() || words.size() > 2)
        return jsonError(req, http::status::bad_request, "clock: say pause, run, speed FACTOR or step TIME");
    wall_clock_settings& settings = adapter_.clockSettings();
    if (words[0] == "pause" && words.size() == 1) {
        settings.running = false;
    } else if (words[0] == "run" && words.size() == 1) {
        settings.running = true;
        lastTick_ = std::chrono::steady_clock::now();
    } else if (words[0] == "speed" && words.size() == 2) {
        char* end = nullptr;
        double factor = std::strtod(words[1].c_str(), &end);
        if (end == words[1].c_str() || *end != '\0' || !(factor >= 0.1 && factor <= 100))
            return jsonError(req, http::status::bad_request,
                             "clock: \"" + words[1] + "\" is not a speed from 0.1 to 100");
        settings.speed = factor;
    } else if (words[0] == "step" && words.size() == 2) {
        std::int64_t milliseconds = 0;
        if (!readTime(words[1], milliseconds))
            return jsonError(req, http::status::bad_request, "clock: \"" + words[1] + "\" is not a time");
        // A step of the clock is a "wait" of the session, recorded as one.
        request wait = req;
        wait.body() = "wait " + words[1];
        return step(wait);
    } else {
        return jsonError(req, http::status::bad_request, "clock: say pause, run, speed FACTOR or step TIME");
    }
    broadcast(clockMessage());
    return makeResponse(req, http::status::ok, "application/json", clockMessage());
}

response web_server::record(const request& req)
{
    // The session records from the start; the button shows what it holds
    // and writes it to the one file the server may write, --record's.
    if (req.body().find_first_not_of(" \t\r\n") != std::string::npos)
        return jsonError(req, http::status::bad_request, "record: send an empty body; the answer is the recording");
    std::string scenario = adapter_.session().scenarioText();
    std::string error;
    if (!options_.record.empty() && !adapter_.session().write(options_.record, error))
        return jsonError(req, http::status::internal_server_error, error);
    json::writer out;
    out.beginObject().key("scenario").value(scenario).key("file");
    if (options_.record.empty())
        out.null();
    else
        out.value(options_.record);
    out.endObject();
    return makeResponse(req, http::status::ok, "application/json", out.take());
}

void web_server::stop()
{
    stopping_ = true;
    beast::error_code ignored;
    acceptor_.close(ignored);
    ticker_.cancel();
    signals_.cancel(ignored);
    for (const auto& weak : live_)
        if (auto session = weak.lock())
            session->close();
    for (const auto& weak : http_)
        if (auto session = weak.lock())
            session->close();
}

int web_server::serve(plain_text_sink& page)
{
    page_ = &page;
    out_.block("panel_host: the browser view is at http://" + host_ + "/  (Ctrl-C ends)");
    out_.flush();
    history_ = page.take();
    publish(true);
    lastTick_ = lastClockReport_ = std::chrono::steady_clock::now();
    signals_.async_wait([this](beast::error_code ec, int) {
        if (!ec)
            stop();
    });
    acceptNext();
    tick();
    loop_.run();
    // The stopped sessions' handlers run once more to let go of their sockets.
    loop_.poll();
    page_ = nullptr;
    return 0;
}

}  // namespace

bool parseServeAddress(const std::string& text, std::string& address, unsigned short& port, std::string& error)
{
    std::string portText = text;
    address = "127.0.0.1";
    if (!text.empty() && text[0] == '[') {
        auto close = text.find("]:");
        if (close == std::string::npos) {
            error = "--serve: \"" + text + "\" is not [ADDRESS]:PORT";
            return false;
        }
        address = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else if (auto colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    beast::error_code ec;
    net::ip::make_address(address, ec);
    if (ec) {
        error = "--serve: \"" + address + "\" is not an IP address such as 127.0.0.1";
        return false;
    }
    char* end = nullptr;
    long number = portText.empty() ? -1 : std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || number < 0 || number > 65535 ||
        portText.find_first_not_of("0123456789") != std::string::npos) {
        error = "--serve: \"" + portText + "\" is not a port number from 0 to 65535";
        return false;
    }
    port = static_cast<unsigned short>(number);
    return true;
}

int serveWebView(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
                 session_recorder& session, event_loop& loop)
{
    std::string address, error;
    unsigned short port = 0;
    if (!parseServeAddress(settings.serve, address, port, error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    // The page's copy of the transcript: what the server and the scenario
    // print from now on.
    plain_text_sink page;
    out.addSink(page);
    struct detach {
        transcript& from;
        plain_text_sink& page;
        ~detach() { from.removeSink(page); }
    } detached{out, page};
    web_server server(settings, runner, routers, out, session, loop);
    if (!server.listen(address, port, error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    if (!server.begin(error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    return server.serve(page);
}
