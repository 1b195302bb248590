#include "routers/request_queue.h"

#include <algorithm>

using boost::system::error_code;

request_queue::request_queue(boost::asio::io_context& context, device_model& device, router_reports& reports,
                             link_timing timing, request_sender& sender)
    : device_(device), reports_(reports), timing_(timing), sender_(sender), timer_(context),
      alive_(std::make_shared<bool>(true))
{
}

request_queue::~request_queue()
{
    alive_.reset();
    // Cancelling can only fail on a broken reactor; the handler sees
    // `alive_` gone anyway.
    try {
        timer_.cancel();
    } catch (...) {
    }
}

void request_queue::tell(const std::string& text, router_reports::level how)
{
    reports_.reportLink(device_, text, how);
}

std::shared_ptr<const std::string> request_queue::addRoute(std::vector<std::uint8_t> bytes, int source, int destination)
{
    request route;
    route.what = request::kind::route;
    route.bytes = std::move(bytes);
    route.first = route.last = destination;
    route.source = source;
    auto outcome = std::make_shared<std::string>();
    route.outcome = outcome;
    requests_.push_back(std::move(route));
    return outcome;
}

void request_queue::addPoll(std::vector<std::uint8_t> bytes, int first, int last)
{
    request poll;
    poll.what = request::kind::poll;
    poll.bytes = std::move(bytes);
    poll.first = first;
    poll.last = last;
    poll.answered.assign(static_cast<std::size_t>(last - first) + 1, false);
    requests_.push_back(std::move(poll));
}

void request_queue::trySending()
{
    if (requests_.empty() || !sender_.mayRequest())
        return;
    request& head = requests_.front();
    if (head.attempts > 0)
        return;
    head.attempts = 1;
    sender_.sendRequest(head.bytes);
    armTimer(timing_.ack);
}

void request_queue::sendAgain()
{
    sender_.sendRequest(requests_.front().bytes);
    armTimer(timing_.ack);
}

void request_queue::armTimer(std::chrono::milliseconds span)
{
    std::weak_ptr<bool> alive = alive_;
    std::uint64_t epoch = epoch_;
    timer_.expires_after(span);
    timer_.async_wait([this, alive, epoch](const error_code& error) {
        if (alive.expired() || error || epoch != epoch_)
            return;
        timedOut();
    });
}

void request_queue::timedOut()
{
    if (!inFlight())
        return;
    request& head = requests_.front();
    if (head.acknowledged) {
        finishRequest();
        return;
    }
    if (head.attempts < maxAttempts_) {
        ++head.attempts;
        tell("no ACK in " + secondsText(timing_.ack) + ": request sent again", router_reports::level::detail);
        sendAgain();
        return;
    }
    sender_.unanswered("no ACK to " + std::to_string(head.attempts) + (head.attempts == 1 ? " request" : " requests"));
}

void request_queue::acknowledged()
{
    if (!inFlight() || requests_.front().acknowledged) {
        tell("an ACK that answers no request, ignored", router_reports::level::detail);
        return;
    }
    requests_.front().acknowledged = true;
    armTimer(timing_.reply);
}

void request_queue::refused(const std::string& why)
{
    if (!inFlight()) {
        tell("a refusal (" + why + ") that answers no request, ignored", router_reports::level::detail);
        return;
    }
    requests_.front().refusal = why;
    finishRequest();
}

void request_queue::resend()
{
    if (!inFlight() || requests_.front().acknowledged) {
        tell("a NAK that answers no request, ignored", router_reports::level::detail);
        return;
    }
    request& head = requests_.front();
    if (head.attempts >= maxAttempts_) {
        refused("the router answered NAK " + std::to_string(head.attempts) + " times");
        return;
    }
    ++head.attempts;
    tell("NAK: request sent again (" + std::to_string(head.attempts) + " of " + std::to_string(maxAttempts_) + ")",
         router_reports::level::note);
    sendAgain();
}

void request_queue::reported(int destination, bool change)
{
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

bool request_queue::pollAnswerDue() const
{
    return !requests_.empty() && requests_.front().acknowledged && requests_.front().what == request::kind::poll;
}

void request_queue::finishPoll()
{
    if (pollAnswerDue())
        finishRequest();
}

void request_queue::abandon(const std::string& why)
{
    ++epoch_;
    timer_.cancel();
    for (auto& pending : requests_)
        if (pending.outcome)
            *pending.outcome = "the router is offline (" + why + ")";
    requests_.clear();
}

void request_queue::finishRequest()
{
    if (requests_.empty())
        return;
    timer_.cancel();
    request head = std::move(requests_.front());
    requests_.pop_front();
    if (head.outcome)
        *head.outcome = head.refusal;
    if (head.what == request::kind::poll)
        endPoll(head);
    else if (head.refusal.empty() && head.acknowledged && !head.reported)
        tell("no report of destination " + std::to_string(head.first) + " after the route",
             router_reports::level::detail);
    trySending();
}

void request_queue::endPoll(const request& poll)
{
    if (!poll.refusal.empty()) {
        tell("poll of " + std::to_string(poll.first) + " to " + std::to_string(poll.last) + " refused: " + poll.refusal,
             router_reports::level::warning);
        return;
    }
    int missing = 0;
    for (int destination = poll.first; destination <= poll.last; ++destination) {
        if (poll.answered[static_cast<std::size_t>(destination - poll.first)])
            reports_.reportPolled(device_, destination);
        else
            ++missing;
    }
    int polled = poll.last - poll.first + 1;
    if (missing > 0)
        tell("reported " + std::to_string(polled - missing) + " of the " + std::to_string(polled) +
                 " polled destinations",
             router_reports::level::warning);
}
