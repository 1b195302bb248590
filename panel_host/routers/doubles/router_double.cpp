#include "routers/doubles/router_double.h"

#include <algorithm>
#include <chrono>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "facility/ini_file.h"
#include "facility/router_model.h"

namespace asio = boost::asio;
using boost::system::error_code;

double_state double_state::ofSize(int inputs, int outputs)
{
    double_state state;
    state.inputs = inputs;
    state.outputs = outputs;
    state.routes.assign(static_cast<std::size_t>(outputs), 0);
    state.inputLabels.resize(static_cast<std::size_t>(inputs));
    state.outputLabels.resize(static_cast<std::size_t>(outputs));
    for (int i = 0; i < inputs; ++i)
        state.inputLabels[static_cast<std::size_t>(i)] = "Input " + std::to_string(i + 1);
    for (int o = 0; o < outputs; ++o)
        state.outputLabels[static_cast<std::size_t>(o)] = "Output " + std::to_string(o + 1);
    return state;
}

bool double_state::fromDeviceFile(const std::string& path, int offset, double_state& state, std::string& error)
{
    ini_file ini;
    if (!ini.load(path)) {
        error = "cannot read device file " + path;
        return false;
    }
    device_model device = device_model::fromIni(0, ini);
    if (!device.isRouter() || device.destinations() <= 0) {
        error = path + ": not a router with a destination count";
        return false;
    }
    int inputs = std::max(device.sources() + 1 - offset, 1);
    int outputs = device.destinations() + 1 - offset;
    state = ofSize(inputs, outputs);
    for (int o = 0; o < outputs; ++o) {
        auto source = device.crosspoint(o + offset);
        int input = source ? *source - offset : 0;
        state.routes[static_cast<std::size_t>(o)] = input >= 0 && input < inputs ? input : 0;
        auto name = device.name(1, o + offset);
        state.outputLabels[static_cast<std::size_t>(o)] = name ? *name : std::string();
    }
    for (int i = 0; i < inputs; ++i) {
        auto name = device.name(0, i + offset);
        state.inputLabels[static_cast<std::size_t>(i)] = name ? *name : std::string();
    }
    return true;
}

// ---------------------------------------------------------------- sessions

double_session::double_session(router_double& owner, asio::ip::tcp::socket socket, int id)
    : owner_(owner), socket_(std::move(socket)), pause_(socket_.get_executor()), id_(id), buffer_(4096)
{
}

void double_session::start()
{
    if (owner_.slowBytes_ > 0)
        readSlowly(owner_.slowBytes_);
    owner_.opened(*this);
    readMore();
}

void double_session::readSlowly(std::size_t bytes)
{
    if (bytes == 0)
        return;
    // A small window: what the client sends waits on its side.
    error_code ignored;
    socket_.set_option(asio::socket_base::receive_buffer_size(2048), ignored);
}

void double_session::readMore()
{
    auto self = shared_from_this();
    std::size_t most = owner_.slowBytes_ > 0 ? std::min(owner_.slowBytes_, buffer_.size()) : buffer_.size();
    socket_.async_read_some(asio::buffer(buffer_.data(), most),
                            [this, self](const error_code& error, std::size_t size) {
                                if (closed_)
                                    return;
                                if (error) {
                                    close();
                                    return;
                                }
                                owner_.received(*this, buffer_.data(), size);
                                if (closed_)
                                    return;
                                if (owner_.slowBytes_ == 0) {
                                    readMore();
                                    return;
                                }
                                pause_.expires_after(std::chrono::milliseconds(10));
                                pause_.async_wait([this, self](const error_code& waited) {
                                    if (!waited && !closed_)
                                        readMore();
                                });
                            });
}

void double_session::write(const std::string& bytes)
{
    if (closed_ || bytes.empty())
        return;
    if (waiting_ + bytes.size() > maxWaiting) {
        close();
        return;
    }
    waiting_ += bytes.size();
    outgoing_.push_back(bytes);
    if (!writing_)
        writeNext();
}

void double_session::writeNext()
{
    if (outgoing_.empty() || closed_) {
        writing_ = false;
        return;
    }
    writing_ = true;
    auto self = shared_from_this();
    auto text = std::make_shared<std::string>(std::move(outgoing_.front()));
    outgoing_.pop_front();
    asio::async_write(socket_, asio::buffer(*text), [this, self, text](const error_code& error, std::size_t) {
        waiting_ -= text->size();
        if (error) {
            close();
            return;
        }
        writeNext();
    });
}

void double_session::close()
{
    if (closed_)
        return;
    closed_ = true;
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    pause_.cancel();
    owner_.forget(this);
}

// ---------------------------------------------------------------- the server

router_double::router_double(asio::io_context& context, double_state state)
    : context_(context), state_(std::move(state)), reopenTimer_(context), alive_(std::make_shared<bool>(true))
{
}

router_double::~router_double()
{
    // Closing never throws in practice; a destructor must not let it out.
    try {
        alive_.reset();
        if (acceptor_) {
            error_code ignored;
            acceptor_->close(ignored);
        }
        reopenTimer_.cancel();
        auto sessions = sessions_;
        for (const auto& session : sessions)
            session->close();
    } catch (...) {
    }
}

bool router_double::listen(std::uint16_t port, std::string& error)
{
    try {
        asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
        acceptor_ = std::make_unique<asio::ip::tcp::acceptor>(context_);
        acceptor_->open(endpoint.protocol());
        acceptor_->set_option(asio::socket_base::reuse_address(true));
        acceptor_->bind(endpoint);
        acceptor_->listen();
        port_ = acceptor_->local_endpoint().port();
    } catch (const boost::system::system_error& failure) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + failure.what();
        acceptor_.reset();
        return false;
    }
    accept();
    return true;
}

void router_double::accept()
{
    std::weak_ptr<bool> alive = alive_;
    acceptor_->async_accept([this, alive](const error_code& error, asio::ip::tcp::socket socket) {
        if (alive.expired() || error || !acceptor_)
            return;
        static int nextId = 0;
        // A router answers at once: its replies are not held back to fill
        // a segment.
        error_code ignored;
        socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        auto session = std::make_shared<double_session>(*this, std::move(socket), ++nextId);
        sessions_.insert(session);
        session->start();
        accept();
    });
}

std::size_t router_double::clients() const { return sessions_.size(); }

void router_double::forget(double_session* session)
{
    for (auto at = sessions_.begin(); at != sessions_.end(); ++at)
        if (at->get() == session) {
            // Keep the session alive until its handlers have run.
            asio::post(context_, [keep = *at] { (void)keep; });
            sessions_.erase(at);
            ++sessionsLost_;
            return;
        }
}

void router_double::logRequest(std::string text)
{
    // The last few thousand are plenty for a test; a flood costs no more.
    if (requests_.size() >= 4096)
        requests_.pop_front();
    requests_.push_back(std::move(text));
}

void router_double::dropClients()
{
    auto sessions = sessions_;
    for (const auto& session : sessions)
        session->close();
}

void router_double::refuse(bool refusing)
{
    if (refusing) {
        if (acceptor_) {
            error_code ignored;
            acceptor_->close(ignored);
            acceptor_.reset();
        }
        return;
    }
    if (!acceptor_) {
        std::string error;
        listen(port_, error);
    }
}

void router_double::startLate(std::chrono::milliseconds after)
{
    refuse(true);
    std::weak_ptr<bool> alive = alive_;
    reopenTimer_.expires_after(after);
    reopenTimer_.async_wait([this, alive](const error_code& error) {
        if (!alive.expired() && !error)
            refuse(false);
    });
}

void router_double::restart(std::vector<int> routes, std::chrono::milliseconds down)
{
    dropClients();
    for (std::size_t o = 0; o < routes.size() && o < state_.routes.size(); ++o)
        if (validRoute(static_cast<int>(o), routes[o]))
            state_.routes[o] = routes[o];
    startLate(down);
}

void router_double::setRouteQuietly(int output, int input)
{
    if (validRoute(output, input))
        state_.routes[static_cast<std::size_t>(output)] = input;
}

void router_double::readSlowly(std::size_t bytes)
{
    slowBytes_ = bytes;
    for (const auto& session : sessions_)
        session->readSlowly(bytes);
}

void router_double::sendRaw(const std::string& bytes) { broadcast(bytes); }

void router_double::broadcast(const std::string& bytes)
{
    auto sessions = sessions_;
    for (const auto& session : sessions)
        session->write(bytes);
}

// ---------------------------------------------------------------- floods

struct router_double::flooding {
    std::size_t count = 0, sent = 0;
    std::uint64_t lostAtStart = 0;
    std::function<std::string(std::size_t)> piece;
    std::unique_ptr<asio::steady_timer> timer;
};

void router_double::flood(std::size_t count, std::function<std::string(std::size_t)> piece)
{
    auto state = std::make_shared<flooding>();
    state->count = count;
    state->piece = std::move(piece);
    state->lostAtStart = sessionsLost_;
    state->timer = std::make_unique<asio::steady_timer>(context_);
    ++floodsRunning_;
    floodStep(state);
}

void router_double::floodStep(const std::shared_ptr<flooding>& flood)
{
    if (sessions_.empty() || flood->sent >= flood->count || sessionsLost_ != flood->lostAtStart) {
        --floodsRunning_;
        return;
    }
    bool full = false;
    for (const auto& session : sessions_)
        full = full || session->waiting() > (std::size_t(1) << 20);
    if (!full) {
        std::string batch;
        for (int k = 0; k < 256 && flood->sent < flood->count; ++k)
            batch += flood->piece(flood->sent++);
        broadcast(batch);
    }
    std::weak_ptr<bool> alive = alive_;
    flood->timer->expires_after(std::chrono::milliseconds(full ? 2 : 0));
    flood->timer->async_wait([this, alive, flood](const error_code& error) {
        if (alive.expired())
            return;
        if (error)
            --floodsRunning_;
        else
            floodStep(flood);
    });
}
