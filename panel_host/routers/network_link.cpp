#include "routers/network_link.h"

#include <algorithm>

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>

namespace asio = boost::asio;
using boost::system::error_code;

namespace {

std::string seconds(std::chrono::milliseconds span)
{
    auto ms = span.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}

}  // namespace

network_link::network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                           int offset, link_timing timing)
    : loop_(loop), device_(device), reports_(reports), address_(std::move(address)), offset_(offset),
      timing_(timing), socket_(loop.context()), retryTimer_(loop.context()), requestTimer_(loop.context()),
      nextRetry_(timing.firstRetry), readBuffer_(4096), alive_(std::make_shared<bool>(true))
{
}

network_link::~network_link()
{
    alive_.reset();
    error_code ignored;
    socket_.close(ignored);
    // Cancelling can only fail on a broken reactor; a destructor has no one
    // to tell, and the handlers see `alive_` gone anyway.
    try {
        retryTimer_.cancel();
        requestTimer_.cancel();
    } catch (...) {
    }
}

void network_link::start()
{
    attempt();
}

bool network_link::waitForFirstAttempt()
{
    loop_.runUntil([this] { return firstAttemptOver_ && (!connected_ || (ready() && settled())); },
                   timing_.connect + timing_.ack + timing_.reply);
    return connected_;
}

int network_link::toWire(int panel) const
{
    int wire = panel - offset_;
    return wire < 0 || wire > maxWire_ ? -1 : wire;
}

void network_link::tell(const std::string& text, router_reports::level how)
{
    reports_.reportLink(device_, text, how);
}

void network_link::attempt()
{
    ++generation_;
    error_code ignored;
    socket_.close(ignored);
    error_code failure;
    asio::ip::tcp::resolver resolver(loop_.context());
    auto endpoints = resolver.resolve(address_.host, std::to_string(address_.port), failure);
    if (failure) {
        firstAttemptOver_ = true;
        lost("cannot resolve " + address_.host + ": " + failure.message());
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    armTimer(timing_.connect);
    asio::async_connect(socket_, endpoints, [this, alive, generation](const error_code& error, const auto&) {
        if (alive.expired() || generation != generation_)
            return;
        requestTimer_.cancel();
        firstAttemptOver_ = true;
        if (error) {
            lost("cannot connect to " + address_.host + ":" + std::to_string(address_.port) + ": " +
                 error.message());
            return;
        }
        error_code noDelay;
        socket_.set_option(asio::ip::tcp::no_delay(true), noDelay);
        bool again = everConnected_;
        connected_ = true;
        everConnected_ = true;
        toldUnreachable_ = false;
        nextRetry_ = timing_.firstRetry;
        device_.setOnline(true);
        tell(std::string(again ? "connected again to " : "connected to ") + describe(),
             again ? router_reports::level::note : router_reports::level::detail);
        readMore();
        connectionMade();
        if (again)
            pollRegistered();
        trySending();
    });
}

void network_link::lost(const std::string& why)
{
    bool wasConnected = connected_;
    connected_ = false;
    device_.setOnline(false);
    ++generation_;
    error_code ignored;
    socket_.close(ignored);
    requestTimer_.cancel();
    outgoing_.clear();
    writing_ = false;
    for (auto& pending : requests_)
        if (pending.outcome)
            *pending.outcome = "the router is offline (" + why + ")";
    requests_.clear();
    std::string next = "next attempt in " + seconds(nextRetry_);
    if (wasConnected || !toldUnreachable_) {
        tell(why + "; offline, " + next);
        toldUnreachable_ = true;
    } else {
        tell(why + "; " + next, router_reports::level::detail);
    }
    scheduleRetry();
}

void network_link::scheduleRetry()
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

void network_link::readMore()
{
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    socket_.async_read_some(asio::buffer(readBuffer_), [this, alive, generation](const error_code& error,
                                                                                  std::size_t size) {
        if (alive.expired() || generation != generation_)
            return;
        if (error) {
            lost(error == asio::error::eof ? std::string("the router closed the connection")
                                           : "connection lost: " + error.message());
            return;
        }
        received(readBuffer_.data(), size);
        if (generation == generation_ && connected_)
            readMore();
    });
}

void network_link::send(const std::vector<std::uint8_t>& bytes)
{
    if (!connected_)
        return;
    outgoing_.push_back(bytes);
    if (!writing_)
        writeFront();
}

void network_link::writeFront()
{
    writing_ = !outgoing_.empty();
    if (!writing_)
        return;
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    asio::async_write(socket_, asio::buffer(outgoing_.front()),
                      [this, alive, generation](const error_code& error, std::size_t) {
                          if (alive.expired() || generation != generation_)
                              return;
                          if (error) {
                              lost("cannot send: " + error.message());
                              return;
                          }
                          outgoing_.pop_front();
                          writeFront();
                      });
}

std::string network_link::connect(int source, int destination)
{
    if (!connected_)
        return "the router is offline";
    int wireSource = toWire(source), wireDestination = toWire(destination);
    if (wireSource < 0)
        return "source " + std::to_string(source) + " has no number on the router" +
               (source == 0 ? " (the park source; see Offset=)" : "");
    if (wireDestination < 0)
        return "destination " + std::to_string(destination) + " has no number on the router";
    request route;
    route.what = request::kind::route;
    route.bytes = routeRequest(wireSource, wireDestination);
    route.first = route.last = destination;
    route.source = source;
    auto outcome = std::make_shared<std::string>();
    route.outcome = outcome;
    requests_.push_back(std::move(route));
    trySending();
    waitSettled();
    return *outcome;
}

void network_link::poll(int first, int last)
{
    if (!connected_)
        return;
    first = std::max(first, 1);
    if (device_.destinations() > 0)
        last = std::min(last, device_.destinations());
    if (first > last)
        return;
    int wireFirst = toWire(first), wireLast = toWire(last);
    if (wireFirst < 0 || wireLast < 0) {
        tell("destinations " + std::to_string(first) + " to " + std::to_string(last) +
             " have no numbers on the router; not polled", router_reports::level::warning);
        return;
    }
    request poll;
    poll.what = request::kind::poll;
    poll.bytes = pollRequest(wireFirst, wireLast);
    poll.first = first;
    poll.last = last;
    poll.answered.assign(static_cast<std::size_t>(last - first) + 1, false);
    requests_.push_back(std::move(poll));
    trySending();
    waitSettled();
}

void network_link::pollRegistered()
{
    int count = 0;
    for (const auto& range : device_.registrations()) {
        int first = std::max(range.first, 1);
        int last = device_.destinations() > 0 ? std::min(range.second, device_.destinations()) : range.second;
        if (first > last || toWire(first) < 0 || toWire(last) < 0)
            continue;
        request poll;
        poll.what = request::kind::poll;
        poll.bytes = pollRequest(toWire(first), toWire(last));
        poll.first = first;
        poll.last = last;
        poll.answered.assign(static_cast<std::size_t>(last - first) + 1, false);
        requests_.push_back(std::move(poll));
        count += last - first + 1;
    }
    if (count > 0)
        tell("polling its " + std::to_string(count) + " registered destinations again");
}

void network_link::waitSettled()
{
    auto bound = (timing_.ack * maxAttempts_ + timing_.reply) * static_cast<int>(std::max<std::size_t>(1, requests_.size()));
    bound = std::min(bound, std::chrono::milliseconds(60000));
    if (!loop_.runUntil([this] { return settled(); }, bound))
        tell("no answer from the router in " + seconds(bound), router_reports::level::warning);
}

void network_link::trySending()
{
    if (requests_.empty() || !ready())
        return;
    request& head = requests_.front();
    if (head.attempts > 0)
        return;
    head.attempts = 1;
    send(head.bytes);
    armTimer(timing_.ack);
}

void network_link::armTimer(std::chrono::milliseconds span)
{
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t generation = generation_;
    requestTimer_.expires_after(span);
    requestTimer_.async_wait([this, alive, generation](const error_code& error) {
        if (alive.expired() || error || generation != generation_)
            return;
        timedOut();
    });
}

void network_link::timedOut()
{
    if (!connected_) {
        // The connection attempt itself took too long.
        error_code ignored;
        socket_.close(ignored);
        return;
    }
    if (requests_.empty())
        return;
    request& head = requests_.front();
    if (!head.acknowledged) {
        if (head.attempts < maxAttempts_) {
            ++head.attempts;
            tell("no ACK in " + seconds(timing_.ack) + ": request sent again", router_reports::level::detail);
            send(head.bytes);
            armTimer(timing_.ack);
            return;
        }
        lost("no ACK to " + std::to_string(head.attempts) + (head.attempts == 1 ? " request" : " requests"));
        return;
    }
    finishRequest();
}

void network_link::acknowledged()
{
    if (requests_.empty() || requests_.front().acknowledged || requests_.front().attempts == 0) {
        tell("an ACK that answers no request, ignored", router_reports::level::detail);
        return;
    }
    requests_.front().acknowledged = true;
    armTimer(timing_.reply);
}

void network_link::refused(const std::string& why)
{
    if (requests_.empty() || requests_.front().attempts == 0) {
        tell("a refusal (" + why + ") that answers no request, ignored", router_reports::level::detail);
        return;
    }
    requests_.front().refusal = why;
    finishRequest();
}

void network_link::resend()
{
    if (requests_.empty() || requests_.front().attempts == 0 || requests_.front().acknowledged) {
        tell("a NAK that answers no request, ignored", router_reports::level::detail);
        return;
    }
    request& head = requests_.front();
    if (head.attempts >= maxAttempts_) {
        refused("the router answered NAK " + std::to_string(head.attempts) + " times");
        return;
    }
    ++head.attempts;
    tell("NAK: request sent again (" + std::to_string(head.attempts) + " of " + std::to_string(maxAttempts_) + ")");
    send(head.bytes);
    armTimer(timing_.ack);
}

void network_link::reported(int wireDestination, int wireSource, bool change)
{
    int destination = toPanel(wireDestination), source = toPanel(wireSource);
    auto result = device_.route(source, destination);
    if (result != device_model::route_result::routed) {
        tell("reports source " + std::to_string(source) + " on destination " + std::to_string(destination) +
                 ", which the device file does not have (" + ::describe(result) + "); ignored",
             router_reports::level::detail);
        return;
    }
    if (change)
        reports_.reportChange(device_, destination);
    if (requests_.empty() || !requests_.front().acknowledged)
        return;
    request& head = requests_.front();
    if (destination < head.first || destination > head.last)
        return;
    if (head.what == request::kind::route) {
        if (change) {
            head.reported = true;
            finishRequest();
        }
        return;
    }
    head.answered[static_cast<std::size_t>(destination - head.first)] = true;
    if (std::all_of(head.answered.begin(), head.answered.end(), [](bool done) { return done; }))
        finishRequest();
}

void network_link::finishRequest()
{
    if (requests_.empty())
        return;
    requestTimer_.cancel();
    request head = std::move(requests_.front());
    requests_.pop_front();
    if (head.outcome)
        *head.outcome = head.refusal;
    if (head.what == request::kind::poll) {
        if (!head.refusal.empty()) {
            tell("poll of " + std::to_string(head.first) + " to " + std::to_string(head.last) +
                     " refused: " + head.refusal,
                 router_reports::level::warning);
        } else {
            int missing = 0;
            for (int destination = head.first; destination <= head.last; ++destination) {
                if (head.answered[static_cast<std::size_t>(destination - head.first)])
                    reports_.reportPolled(device_, destination);
                else
                    ++missing;
            }
            if (missing > 0)
                tell("reported " + std::to_string(head.last - head.first + 1 - missing) + " of the " +
                         std::to_string(head.last - head.first + 1) + " polled destinations",
                     router_reports::level::warning);
        }
    } else if (head.refusal.empty() && head.acknowledged && !head.reported) {
        tell("no report of destination " + std::to_string(head.first) + " after the route",
             router_reports::level::detail);
    }
    trySending();
}

void network_link::nameReported(int database, int wireIndex, const std::string& name, bool quiet)
{
    int index = toPanel(wireIndex);
    auto known = device_.name(database, index);
    bool same = name.empty() ? !known : (known && *known == name);
    if (same)
        return;
    if (quiet) {
        device_.setName(database, index, name);
        return;
    }
    nameChanges_.push_back({device_.number(), database, index, name});
}

std::vector<name_change> network_link::takeNameChanges()
{
    std::vector<name_change> taken;
    taken.swap(nameChanges_);
    return taken;
}
