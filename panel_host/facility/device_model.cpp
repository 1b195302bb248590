#include "facility/device_model.h"

#include <algorithm>

device_model::device_model(int number, std::string name, bool router)
    : number_(number), name_(std::move(name)), router_(router)
{
}

void device_model::setSize(int sources, int destinations)
{
    sources_ = std::clamp(sources, 0, simulatorSizeLimit);
    destinations_ = std::clamp(destinations, 0, simulatorSizeLimit);
    crosspoints_.erase(crosspoints_.upper_bound(destinations_), crosspoints_.end());
    initial_.erase(initial_.upper_bound(destinations_), initial_.end());
}

std::optional<int> device_model::crosspoint(int destination) const
{
    if (!router_ || destination < 1 || destination > destinations_)
        return std::nullopt;
    auto found = crosspoints_.find(destination);
    return found == crosspoints_.end() ? 0 : found->second;
}

device_model::route_result device_model::route(int source, int destination)
{
    if (router_ && !online_)
        return route_result::offline;
    return record(source, destination);
}

device_model::route_result device_model::record(int source, int destination)
{
    if (!router_)
        return route_result::not_a_router;
    if (destination < 1 || destination > destinations_)
        return route_result::bad_destination;
    // Source 0 is the park source; a router without a known source count
    // takes any source.
    if (source < 0 || (sources_ > 0 && source > sources_))
        return route_result::bad_source;
    if (source == 0)
        crosspoints_.erase(destination);
    else
        crosspoints_[destination] = source;
    return route_result::routed;
}

std::vector<int> device_model::changedDestinations() const
{
    // Both tables hold only destinations off the park source: a destination
    // changed when it is in one and not the other, or in both with
    // different sources.
    std::vector<int> changed;
    auto now = crosspoints_.begin();
    auto then = initial_.begin();
    while (now != crosspoints_.end() || then != initial_.end()) {
        if (then == initial_.end() || (now != crosspoints_.end() && now->first < then->first)) {
            changed.push_back((now++)->first);
        } else if (now == crosspoints_.end() || then->first < now->first) {
            changed.push_back((then++)->first);
        } else {
            if (now->second != then->second)
                changed.push_back(now->first);
            ++now;
            ++then;
        }
    }
    return changed;
}

void device_model::registerRange(int first, int last, bool add)
{
    if (!add)
        registrations_.clear();
    registrations_.emplace_back(first, last);
}

bool device_model::isRegistered(int destination) const
{
    for (const auto& range : registrations_)
        if (destination >= range.first && destination <= range.second)
            return true;
    return false;
}

std::optional<std::string> device_model::name(int database, int index) const
{
    auto names = names_.find(database);
    if (names == names_.end())
        return std::nullopt;
    auto found = names->second.find(index);
    if (found == names->second.end())
        return std::nullopt;
    return found->second;
}

void device_model::setName(int database, int index, const std::string& text) { names_[database][index] = text; }

int device_model::namesIn(int database) const
{
    auto names = names_.find(database);
    return names == names_.end() ? 0 : static_cast<int>(names->second.size());
}

const char* describe(device_model::route_result result)
{
    switch (result) {
    case device_model::route_result::routed:
        return "routed";
    case device_model::route_result::not_a_router:
        return "not a router";
    case device_model::route_result::offline:
        return "offline";
    case device_model::route_result::bad_destination:
        return "no such destination";
    case device_model::route_result::bad_source:
        return "no such source";
    }
    return "?";
}
