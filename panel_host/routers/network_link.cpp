#include "routers/network_link.h"

#include <algorithm>

#include "text/file_faults.h"

network_link::network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                           int offset, const link_timing& timing)
    : loop_(loop), device_(device), reports_(reports), address_(std::move(address)), offset_(offset), timing_(timing),
      notes_(loop.context(), device, reports, timing.notesPerSecond),
      connection_(loop.context(), address_, timing, *this), requests_(loop.context(), timing, *this)
{
    // Down until the router answers.
    device_.setLinkUp(false);
}

void network_link::start() { connection_.open(); }

bool network_link::waitForFirstAttempt()
{
    loop_.runUntil([this] { return connection_.firstAttemptOver() && (!connected() || (ready() && settled())); },
                   timing_.connect + timing_.ack + timing_.reply);
    return connected();
}

int network_link::toWire(int panel) const
{
    int wire = panel - offset_;
    return wire < 0 || wire > maxWire_ ? -1 : wire;
}

void network_link::tell(const std::string& text, router_reports::level how) { notes_.tell(text, how); }

void network_link::connectionOpened()
{
    bool again = everConnected_;
    everConnected_ = true;
    reconnected_ = again;
    toldUnreachable_ = false;
    device_.setLinkUp(true);
    tell(std::string(again ? "connected again to " : "connected to ") + describe(),
         again ? router_reports::level::note : router_reports::level::detail);
    connectionMade();
    refreshing_ = true;
    refreshChanges_ = 0;
    fresh_.clear();
    beginRefresh();
    requests_.trySending();
}

void network_link::connectionBroken(const std::string& why, bool wasConnected, std::chrono::milliseconds nextAttempt)
{
    device_.setLinkUp(false);
    refreshing_ = false;
    requests_.abandon(why);
    std::string next = "next attempt in " + secondsText(nextAttempt);
    if (wasConnected || !toldUnreachable_) {
        tell(why + "; offline, " + next);
        toldUnreachable_ = true;
    } else {
        tell(why + "; " + next, router_reports::level::detail);
    }
}

std::string network_link::connect(int source, int destination)
{
    if (!connected())
        return "the router is offline";
    int wireSource = toWire(source), wireDestination = toWire(destination);
    if (wireSource < 0)
        return "source " + std::to_string(source) + " has no number on the router" +
               (source == 0 ? " (the park source; see Offset=)" : "");
    if (wireDestination < 0)
        return "destination " + std::to_string(destination) + " has no number on the router";
    auto outcome = requests_.addRoute(routeRequest(wireSource, wireDestination), source, destination);
    requests_.trySending();
    waitSettled();
    return *outcome;
}

// Narrows a range to the destinations the device has; false when none is left.
bool network_link::pollRange(int& first, int& last) const
{
    first = std::max(first, 1);
    if (device_.destinations() > 0)
        last = std::min(last, device_.destinations());
    return first <= last;
}

void network_link::poll(int first, int last, router_reports& answerTo)
{
    if (!pollRange(first, last))
        return;
    int wireFirst = toWire(first), wireLast = toWire(last);
    if (wireFirst < 0 || wireLast < 0) {
        tell("destinations " + std::to_string(first) + " to " + std::to_string(last) +
                 " have no numbers on the router; not polled",
             router_reports::level::warning);
        return;
    }
    if (!connected() || refreshing_) {
        if (!connected())
            tell("not connected: the poll of " + std::to_string(first) + " to " + std::to_string(last) +
                 " is answered once the router is back");
        keepPoll(first, last, answerTo);
        return;
    }
    router_reports* to = &answerTo;
    requests_.addPoll(pollRequest(wireFirst, wireLast), first, last, [this, to](const poll_result& result) {
        if (!result.refusal.empty()) {
            tell("poll of " + std::to_string(result.first) + " to " + std::to_string(result.last) +
                     " refused: " + result.refusal,
                 router_reports::level::warning);
            return;
        }
        answerPoll(*to, result.first, result.last, result.answered);
    });
    requests_.trySending();
    waitSettled();
}

void network_link::routeUnreported(int destination)
{
    // The router took the route and never said what the destination carries
    // now (its report lost, say, as a damaged frame that was not NAKed):
    // until it is asked, the host's view and every panel's tally of it may
    // be wrong. The answer reaches them as any report does.
    const int wire = toWire(destination);
    if (wire < 0 || !connected())
        return;
    requests_.addPoll(pollRequest(wire, wire), destination, destination, [](const poll_result&) {});
}

void network_link::keepPoll(int first, int last, router_reports& answerTo)
{
    // Ranges of one asker that overlap or touch become one, so that a
    // panel polling again and again while the router is away keeps a few.
    for (auto& kept : waitingPolls_)
        if (kept.to == &answerTo && first <= kept.last + 1 && last + 1 >= kept.first) {
            kept.first = std::min(kept.first, first);
            kept.last = std::max(kept.last, last);
            return;
        }
    if (waitingPolls_.size() < maxWaitingPolls) {
        waitingPolls_.push_back({&answerTo, first, last});
        return;
    }
    for (auto& kept : waitingPolls_)
        if (kept.to == &answerTo) {
            kept.first = std::min(kept.first, first);
            kept.last = std::max(kept.last, last);
            return;
        }
    tell("too many polls kept; the poll of " + std::to_string(first) + " to " + std::to_string(last) + " is dropped",
         router_reports::level::warning);
}

void network_link::answerPoll(router_reports& to, int first, int last, const std::vector<bool>& answered)
{
    int missing = 0;
    for (int destination = first; destination <= last; ++destination) {
        if (answered[static_cast<std::size_t>(destination - first)])
            to.reportPolled(device_, destination);
        else
            ++missing;
    }
    int polled = last - first + 1;
    if (missing > 0)
        tell("reported " + std::to_string(polled - missing) + " of the " + std::to_string(polled) +
                 " polled destinations",
             router_reports::level::warning);
}

void network_link::wireRange(int& first, int& last) const
{
    first = std::max(1, toPanel(0));
    last = std::min(device_.destinations(), toPanel(maxWire_));
}

std::vector<int> network_link::unrefreshed() const
{
    int first = 0, last = 0;
    wireRange(first, last);
    std::vector<int> left;
    for (int destination = first; destination <= last; ++destination)
        if (static_cast<std::size_t>(destination) >= fresh_.size() || !fresh_[static_cast<std::size_t>(destination)])
            left.push_back(destination);
    return left;
}

void network_link::refreshed()
{
    if (!refreshing_)
        return;
    refreshing_ = false;
    int first = 0, last = 0;
    wireRange(first, last);
    std::string what =
        "state refreshed: " + std::to_string(std::max(0, last - first + 1) - static_cast<int>(unrefreshed().size())) +
        " destinations read, " + std::to_string(refreshChanges_) + " changed";
    // At the first connect the device file's crosspoints give way to the
    // router's, which is no news; after a reconnect it tells what changed
    // while the router was away.
    tell(what, reconnected_ ? router_reports::level::note : router_reports::level::detail);
    std::vector<waiting_poll> kept;
    kept.swap(waitingPolls_);
    for (const auto& poll : kept) {
        std::vector<bool> answered;
        for (int destination = poll.first; destination <= poll.last; ++destination)
            answered.push_back(static_cast<std::size_t>(destination) < fresh_.size() &&
                               fresh_[static_cast<std::size_t>(destination)]);
        answerPoll(*poll.to, poll.first, poll.last, answered);
    }
}

void network_link::waitSettled()
{
    auto bound = (timing_.ack * requests_.maxAttempts() + timing_.reply) *
                 static_cast<int>(std::max<std::size_t>(1, requests_.size()));
    bound = std::min(bound, std::chrono::milliseconds(60000));
    if (!loop_.runUntil([this] { return settled() || !connected(); }, bound))
        tell("no answer from the router in " + secondsText(bound), router_reports::level::warning);
}

void network_link::reported(int wireDestination, int wireSource, bool made)
{
    int destination = toPanel(wireDestination), source = toPanel(wireSource);
    if (destination > simulatorSizeLimit || source > simulatorSizeLimit) {
        tell("reports source " + std::to_string(source) + " on destination " + std::to_string(destination) +
             ", beyond the simulator's limit of " + std::to_string(simulatorSizeLimit) + "; refused");
        return;
    }
    auto before = device_.crosspoint(destination);
    auto result = device_.record(source, destination);
    if (result != device_model::route_result::routed) {
        tell("reports source " + std::to_string(source) + " on destination " + std::to_string(destination) +
                 ", which the device file does not have (" + ::describe(result) + "); ignored",
             router_reports::level::detail);
        return;
    }
    bool changed = !before || *before != source;
    if (refreshing_) {
        if (fresh_.size() <= static_cast<std::size_t>(destination))
            fresh_.resize(static_cast<std::size_t>(destination) + 1, false);
        fresh_[static_cast<std::size_t>(destination)] = true;
        refreshChanges_ += changed ? 1 : 0;
    }
    if (made || changed)
        reports_.reportChange(device_, destination);
    requests_.reported(destination, made || changed);
}

void network_link::nameReported(int database, int wireIndex, const std::string& name)
{
    int index = toPanel(wireIndex);
    if (index > simulatorSizeLimit) {
        tell("names index " + std::to_string(index) + " of database " + std::to_string(database) +
             ", beyond the simulator's limit of " + std::to_string(simulatorSizeLimit) + "; refused");
        return;
    }
    auto known = device_.name(database, index);
    bool same = name.empty() ? !known || known->empty() : (known && *known == name);
    if (same)
        return;
    device_.setName(database, index, name);
    reports_.reportName(device_, database, index);
}
