#include "router_model.h"

#include <algorithm>
#include <filesystem>

#include "host_command.h"
#include "ini_file.h"

device_model::device_model(int number, std::string name, bool router)
    : number_(number), name_(std::move(name)), router_(router)
{
    crosspoints_.assign(1, 0);
    initial_ = crosspoints_;
}

namespace {

int intValue(const ini_file& ini, const char* section, const char* key, int fallback)
{
    int value = fallback;
    if (!readInt32(ini.value(section, key), value) || value < 0)
        return fallback;
    return value;
}

// The highest index of a section of index=value lines, 0 when none.
int highestIndex(const ini_file& ini, const std::string& section)
{
    int highest = 0;
    if (const auto* entries = ini.section(section))
        for (const auto& entry : *entries) {
            int index = 0;
            if (readInt32(entry.first, index))
                highest = std::max(highest, index);
        }
    return highest;
}

}  // namespace

device_model device_model::fromIni(int number, const ini_file& ini)
{
    int destinations = intValue(ini, "Device", "Destinations",
                                intValue(ini, "Database", "DatabaseSize_1",
                                         std::max(highestIndex(ini, "Names_1"), highestIndex(ini, "Crosspoints"))));
    int sources = intValue(ini, "Device", "Sources",
                           intValue(ini, "Database", "DatabaseSize_0", highestIndex(ini, "Names_0")));
    std::string type = ini.value("Device", "Type");
    bool router = type.empty() ? destinations > 0 : sameNameIgnoringCase(type, "Router");
    std::string name = ini.value("Device", "Name", "device " + std::to_string(number));
    device_model device(number, name, router);
    if (router)
        device.setSize(sources, destinations);
    // Names databases: every section "Names_K".
    for (int database = 0; database < 16; ++database)
        if (const auto* entries = ini.section("Names_" + std::to_string(database)))
            for (const auto& entry : *entries) {
                int index = 0;
                if (readInt32(entry.first, index))
                    device.setName(database, index, entry.second);
            }
    if (const auto* entries = ini.section("Crosspoints"))
        for (const auto& entry : *entries) {
            int destination = 0, source = 0;
            if (readInt32(entry.first, destination) && readInt32(entry.second, source) && destination >= 1 &&
                destination <= device.destinations_)
                device.crosspoints_[static_cast<std::size_t>(destination)] = source;
        }
    device.initial_ = device.crosspoints_;
    return device;
}

void device_model::setSize(int sources, int destinations)
{
    sources_ = std::max(0, sources);
    destinations_ = std::max(0, destinations);
    crosspoints_.resize(static_cast<std::size_t>(destinations_) + 1, 0);
    initial_.resize(crosspoints_.size(), 0);
}

std::optional<int> device_model::crosspoint(int destination) const
{
    if (!router_ || destination < 1 || destination > destinations_)
        return std::nullopt;
    return crosspoints_[static_cast<std::size_t>(destination)];
}

device_model::route_result device_model::route(int source, int destination)
{
    if (!router_)
        return route_result::not_a_router;
    if (!online_)
        return route_result::offline;
    if (destination < 1 || destination > destinations_)
        return route_result::bad_destination;
    // Source 0 is the park source; a router without a known source count
    // takes any source.
    if (source < 0 || (sources_ > 0 && source > sources_))
        return route_result::bad_source;
    crosspoints_[static_cast<std::size_t>(destination)] = source;
    return route_result::routed;
}

std::vector<int> device_model::changedDestinations() const
{
    std::vector<int> changed;
    for (std::size_t d = 1; d < crosspoints_.size(); ++d)
        if (crosspoints_[d] != initial_[d])
            changed.push_back(static_cast<int>(d));
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

void device_model::setName(int database, int index, const std::string& text)
{
    names_[database][index] = text;
}

int device_model::namesIn(int database) const
{
    auto names = names_.find(database);
    return names == names_.end() ? 0 : static_cast<int>(names->second.size());
}

const char* describe(device_model::route_result result)
{
    switch (result) {
    case device_model::route_result::routed: return "routed";
    case device_model::route_result::not_a_router: return "not a router";
    case device_model::route_result::offline: return "offline";
    case device_model::route_result::bad_destination: return "no such destination";
    case device_model::route_result::bad_source: return "no such source";
    }
    return "?";
}

bool router_model::load(const std::string& systemDir, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    fs::directory_iterator entries(systemDir, failure);
    if (failure) {
        error = "cannot read device folder " + systemDir + ": " + failure.message();
        return false;
    }
    for (const auto& entry : entries) {
        std::string file = entry.path().filename().string();
        if (file.size() < 9 || file.compare(0, 4, "dev_") != 0 || file.compare(file.size() - 4, 4, ".ini") != 0)
            continue;
        int number = 0;
        if (!readInt32(file.substr(4, file.size() - 8), number) || number < 0)
            continue;
        ini_file ini;
        if (!ini.load(entry.path().string()))
            continue;
        add(device_model::fromIni(number, ini));
    }
    return true;
}

void router_model::add(device_model device)
{
    int number = device.number();
    devices_.erase(number);
    devices_.emplace(number, std::move(device));
}

device_model* router_model::device(int number)
{
    auto found = devices_.find(number);
    return found == devices_.end() ? nullptr : &found->second;
}

const device_model* router_model::device(int number) const
{
    auto found = devices_.find(number);
    return found == devices_.end() ? nullptr : &found->second;
}
