#include "routers/request_queue.h"

#include <algorithm>

using boost::system::error_code;

int poll_result::count() const { return static_cast<int>(std::count(answered.begin(), answered.end(), true)); }

request_queue::request_queue(boost::asio::io_context& context, const link_timing& timing, request_sender& sender)
    : timing_(timing), sender_(sender), timer_(context), alive_(std::make_shared<bool>(true))
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

void request_queue::addPoll(std::vector<std::uint8_t> bytes, int first, int last, poll_done done, bool mayGoUnanswered)
{
    request poll;
    poll.what = request::kind::poll;
    poll.bytes = std::move(bytes);
    poll.first = first;
    poll.last = std::max(first, last);
    poll.answered.assign(static_cast<std::size_t>(poll.last - first) + 1, false);
    poll.done = std::move(done);
    poll.mayGoUnanswered = mayGoUnanswered;
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
    // An answer that came before the ACK counts as one.
    bool answeredSome = std::find(head.answered.begin(), head.answered.end(), true) != head.answered.end();
    if (head.acknowledged || answeredSome) {
        finishRequest();
        return;
    }
    if (head.mayGoUnanswered) {
        head.refusal = "no ACK";
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
    if (!inFlight())
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
    if (std::all_of(head.answered.begin(), head.answered.end(), [](bool done) { return done; })) {
        finishRequest();
        return;
    }
    // A long answer in many pieces: the reply time counts from the last one.
    if (head.acknowledged)
        armTimer(timing_.reply);
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
    if (head.what == request::kind::poll) {
        if (head.done)
            head.done(poll_result{head.first, head.last, std::move(head.answered), head.refusal});
    } else if (head.refusal.empty() && head.acknowledged && !head.reported) {
        tell("no report of destination " + std::to_string(head.first) + " after the route",
             router_reports::level::detail);
        sender_.routeUnreported(head.first);
    }
    trySending();
}
