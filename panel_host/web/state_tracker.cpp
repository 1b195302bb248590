#include "web/state_tracker.h"

#include <functional>
#include <optional>

#include "facility/router_model.h"
#include "web/facility_json.h"
#include "web/json_text.h"

namespace web {

namespace {

// Crosspoints changed in one look; beyond half of them the array goes whole.
std::vector<int> changedCrosspoints(const std::vector<int>& before, const std::vector<int>& now)
{
    std::vector<int> changed;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (before[i] != now[i])
            changed.push_back(static_cast<int>(i));
    return changed;
}

void writeCrosspoints(json::writer& out, const std::vector<int>& now, const std::vector<int>& changed)
{
    out.key("crosspoints");
    if (changed.size() * 2 > now.size()) {
        out.beginArray();
        for (int source : now)
            out.value(source);
        out.endArray();
        return;
    }
    out.beginObject();
    for (int at : changed)
        out.key(std::to_string(at + 1)).value(now[static_cast<std::size_t>(at)]);
    out.endObject();
}

using seen_names = std::vector<std::pair<int, std::uint64_t>>;

// The indices of one database whose names changed: the name now, or none
// when it went.
std::vector<std::pair<int, bool>> changedNames(const seen_names& before, const seen_names& now)
{
    std::vector<std::pair<int, bool>> changed;
    std::size_t b = 0, n = 0;
    while (b < before.size() || n < now.size()) {
        if (n == now.size() || (b < before.size() && before[b].first < now[n].first)) {
            changed.emplace_back(before[b++].first, false);
        } else if (b == before.size() || now[n].first < before[b].first) {
            changed.emplace_back(now[n++].first, true);
        } else {
            if (before[b].second != now[n].second)
                changed.emplace_back(now[n].first, true);
            ++b, ++n;
        }
    }
    return changed;
}

}  // namespace

state_tracker::device_seen state_tracker::see(const device_model& device)
{
    device_seen seen;
    seen.router = device.isRouter();
    seen.sources = device.sources();
    seen.destinations = device.destinations();
    json::writer header;
    header.key("name").value(device.name()).key("online").value(device.online());
    seen.header = header.take();
    if (seen.router)
        for (int destination = 1; destination <= device.destinations(); ++destination)
            seen.crosspoints.push_back(device.crosspoint(destination).value_or(0));
    std::hash<std::string> hash;
    for (int database = 0; database < nameDatabases; ++database)
        if (device.namesIn(database) > 0) {
            seen_names& names = seen.names[database];
            forEachName(device, database,
                        [&](int index, const std::string& name) { names.emplace_back(index, hash(name)); });
        }
    return seen;
}

bool state_tracker::sameShape(const device_seen& before, const device_seen& now)
{
    return before.router == now.router && before.sources == now.sources && before.destinations == now.destinations;
}

bool state_tracker::writeChanges(std::string& out, const device_model& device, const device_seen& before,
                                 const device_seen& now)
{
    std::vector<int> crosspoints = changedCrosspoints(before.crosspoints, now.crosspoints);
    std::map<int, std::vector<std::pair<int, bool>>> names;
    for (const auto& [database, seen] : now.names)
        names[database];
    for (auto& [database, changed] : names) {
        auto was = before.names.find(database);
        auto is = now.names.find(database);
        changed = changedNames(was == before.names.end() ? seen_names() : was->second,
                               is == now.names.end() ? seen_names() : is->second);
    }
    for (const auto& [database, seen] : before.names)
        if (now.names.count(database) == 0)
            names[database] = changedNames(seen, seen_names());
    bool anyName = false;
    for (const auto& entry : names)
        anyName = anyName || !entry.second.empty();
    if (before.header == now.header && crosspoints.empty() && !anyName)
        return false;
    json::writer change;
    change.beginObject().key("device").value(device.number());
    if (before.header != now.header)
        change.raw(now.header);
    if (!crosspoints.empty())
        writeCrosspoints(change, now.crosspoints, crosspoints);
    if (anyName) {
        change.key("names").beginObject();
        for (const auto& [database, changed] : names) {
            if (changed.empty())
                continue;
            change.key(std::to_string(database)).beginObject();
            for (const auto& [index, present] : changed) {
                change.key(std::to_string(index));
                if (present)
                    change.value(*device.name(database, index));
                else
                    change.null();
            }
            change.endObject();
        }
        change.endObject();
    }
    change.endObject();
    out += out.empty() ? "" : ",";
    out += change.take();
    return true;
}

state_tracker::change state_tracker::look()
{
    change found;
    std::vector<state_part> parts = adapter_.parts(false);
    std::string delta;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!looked_ || i >= parts_.size() || parts_[i].member != parts[i].member) {
            // The clock goes with the time it is now, which the comparison left out.
            std::string member = parts[i].key == "clock" ? adapter_.clockPart(true).member : parts[i].member;
            delta += (delta.empty() ? "" : ",") + member;
        }
    std::map<int, device_seen> devices;
    std::string routers, namesDevices;
    found.reshaped = !looked_;
    for (const auto& [number, device] : adapter_.routers().devices()) {
        device_seen now = see(device);
        auto was = devices_.find(number);
        if (was == devices_.end() || !sameShape(was->second, now))
            found.reshaped = true;
        else
            writeChanges(now.router ? routers : namesDevices, device, was->second, now);
        devices.emplace(number, std::move(now));
    }
    found.reshaped = found.reshaped || devices.size() != devices_.size();
    if (!routers.empty())
        delta += std::string(delta.empty() ? "" : ",") + "\"routers\":[" + routers + "]";
    if (!namesDevices.empty())
        delta += std::string(delta.empty() ? "" : ",") + "\"namesDevices\":[" + namesDevices + "]";
    parts_ = std::move(parts);
    devices_ = std::move(devices);
    looked_ = true;
    found.any = found.reshaped || !delta.empty();
    found.delta = "{" + delta + "}";
    return found;
}

}  // namespace web
