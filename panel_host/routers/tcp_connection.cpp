#include "routers/tcp_connection.h"

#include <algorithm>

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

namespace asio = boost::asio;
using boost::system::error_code;

tcp_connection::tcp_connection(asio::io_context& context, link_address address, const link_timing& timing,
                               connection_events& events)
    : context_(context), address_(std::move(address)), timing_(timing), events_(events), socket_(context),
      retryTimer_(context), connectTimer_(context), nextRetry_(timing.firstRetry), readBuffer_(4096),
      alive_(std::make_shared<bool>(true))
{
}

tcp_connection::~tcp_connection()
{
    alive_.reset();
    error_code ignored;
    socket_.close(ignored);
    // Cancelling can only fail on a broken reactor; a destructor has no one
    // to tell, and the handlers see `alive_` gone anyway.
    try {
        retryTimer_.cancel();
        connectTimer_.cancel();
    } catch (...) {
    }
}

void tcp_connection::open() { attempt(); }

void tcp_connection::attempt()
{
    ++generation_;
    error_code ignored;
    socket_.close(ignored);
    error_code failure;
    asio::ip::tcp::resolver resolver(context_);
    auto endpoints = resolver.resolve(address_.host, std::to_string(address_.port), failure);
    if (failure) {
        firstAttemptOver_ = true;
        drop("cannot resolve " + address_.host + ": " + failure.message());
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    armConnectBound();
    asio::async_connect(socket_, endpoints, [this, alive, generation](const error_code& error, const auto&) {
        if (alive.expired() || generation != generation_)
            return;
        connectTimer_.cancel();
        firstAttemptOver_ = true;
        if (error) {
            drop("cannot connect to " + address_.host + ":" + std::to_string(address_.port) + ": " + error.message());
            return;
        }
        opened();
    });
}

// An attempt that takes too long is cut short: closing the socket ends the
// connect with an error, which counts as a failed attempt.
void tcp_connection::armConnectBound()
{
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    connectTimer_.expires_after(timing_.connect);
    connectTimer_.async_wait([this, alive, generation](const error_code& error) {
        if (alive.expired() || error || generation != generation_ || connected_)
            return;
        error_code ignored;
        socket_.close(ignored);
    });
}

void tcp_connection::opened()
{
    error_code noDelay;
    socket_.set_option(asio::ip::tcp::no_delay(true), noDelay);
    if (timing_.sendBuffer > 0) {
        error_code ignored;
        socket_.set_option(asio::socket_base::send_buffer_size(timing_.sendBuffer), ignored);
    }
    connected_ = true;
    nextRetry_ = timing_.firstRetry;
    readMore();
    events_.connectionOpened();
}

void tcp_connection::drop(const std::string& why)
{
    bool wasConnected = connected_;
    connected_ = false;
    ++generation_;
    error_code ignored;
    socket_.close(ignored);
    // Let go of the memory too: a slow reader may have filled it.
    std::vector<std::uint8_t>().swap(queued_);
    std::vector<std::uint8_t>().swap(inFlight_);
    overflowing_ = false;
    events_.connectionBroken(why, wasConnected, nextRetry_);
    scheduleRetry();
}

void tcp_connection::scheduleRetry()
{
    std::weak_ptr<bool> alive = alive_;
    retryTimer_.expires_after(nextRetry_);
    nextRetry_ = std::min(nextRetry_ * 2, timing_.longestRetry);
    retryTimer_.async_wait([this, alive](const error_code& error) {
        if (alive.expired() || error)
            return;
        attempt();
    });
}

void tcp_connection::readMore()
{
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    socket_.async_read_some(asio::buffer(readBuffer_),
                            [this, alive, generation](const error_code& error, std::size_t size) {
                                if (alive.expired() || generation != generation_)
                                    return;
                                if (error) {
                                    drop(error == asio::error::eof ? std::string("the router closed the connection")
                                                                   : "connection lost: " + error.message());
                                    return;
                                }
                                events_.bytesReceived(readBuffer_.data(), size);
                                if (generation == generation_ && connected_)
                                    readMore();
                            });
}

void tcp_connection::send(const std::vector<std::uint8_t>& bytes)
{
    if (!connected_ || overflowing_)
        return;
    if (outgoingBytes() + bytes.size() > timing_.maxOutgoing) {
        overflow();
        return;
    }
    queued_.insert(queued_.end(), bytes.begin(), bytes.end());
    mostOutgoing_ = std::max(mostOutgoing_, outgoingBytes());
    if (inFlight_.empty())
        writeFront();
}

// The drop runs from the loop: the sender may be in the middle of reading
// the router's bytes or of a request, which must not lose their connection
// under their feet.
void tcp_connection::overflow()
{
    overflowing_ = true;
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    asio::post(context_, [this, alive, generation] {
        if (alive.expired() || generation != generation_)
            return;
        drop("more than " + bytesText(timing_.maxOutgoing) + " waiting to be sent: the router reads too slowly");
    });
}

void tcp_connection::writeFront()
{
    if (queued_.empty())
        return;
    inFlight_.swap(queued_);
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    asio::async_write(socket_, asio::buffer(inFlight_),
                      [this, alive, generation](const error_code& error, std::size_t) {
                          if (alive.expired() || generation != generation_)
                              return;
                          if (error) {
                              drop("cannot send: " + error.message());
                              return;
                          }
                          inFlight_.clear();
                          writeFront();
                      });
}
