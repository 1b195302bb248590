#include "routers/network_link.h"

#include <algorithm>

network_link::network_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                           int offset, link_timing timing)
    : loop_(loop), device_(device), reports_(reports), address_(std::move(address)), offset_(offset), timing_(timing),
      connection_(loop.context(), address_, timing, *this), requests_(loop.context(), device, reports, timing, *this)
{
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

void network_link::tell(const std::string& text, router_reports::level how) { reports_.reportLink(device_, text, how); }

void network_link::connectionOpened()
{
    bool again = everConnected_;
    everConnected_ = true;
    toldUnreachable_ = false;
    device_.setOnline(true);
    tell(std::string(again ? "connected again to " : "connected to ") + describe(),
         again ? router_reports::level::note : router_reports::level::detail);
    connectionMade();
    if (again)
        pollRegistered();
    requests_.trySending();
}

void network_link::connectionBroken(const std::string& why, bool wasConnected, std::chrono::milliseconds nextAttempt)
{
    device_.setOnline(false);
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

void network_link::poll(int first, int last)
{
    if (!connected() || !pollRange(first, last))
        return;
    int wireFirst = toWire(first), wireLast = toWire(last);
    if (wireFirst < 0 || wireLast < 0) {
        tell("destinations " + std::to_string(first) + " to " + std::to_string(last) +
                 " have no numbers on the router; not polled",
             router_reports::level::warning);
        return;
    }
    requests_.addPoll(pollRequest(wireFirst, wireLast), first, last);
    requests_.trySending();
    waitSettled();
}

void network_link::pollRegistered()
{
    int count = 0;
    for (const auto& range : device_.registrations()) {
        int first = range.first, last = range.second;
        if (!pollRange(first, last) || toWire(first) < 0 || toWire(last) < 0)
            continue;
        requests_.addPoll(pollRequest(toWire(first), toWire(last)), first, last);
        count += last - first + 1;
    }
    if (count > 0)
        tell("polling its " + std::to_string(count) + " registered destinations again");
}

void network_link::waitSettled()
{
    auto bound = (timing_.ack * requests_.maxAttempts() + timing_.reply) *
                 static_cast<int>(std::max<std::size_t>(1, requests_.size()));
    bound = std::min(bound, std::chrono::milliseconds(60000));
    if (!loop_.runUntil([this] { return settled(); }, bound))
        tell("no answer from the router in " + secondsText(bound), router_reports::level::warning);
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
    requests_.reported(destination, change);
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
