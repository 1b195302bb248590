#include "facility/router_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "facility/host_command.h"
#include "facility/ini_file.h"
#include "platform/profile_file.h"
#include "zelm_string.h"

device_model::device_model(int number, std::string name, bool router)
    : number_(number), name_(std::move(name)), router_(router)
{
}

std::optional<std::int32_t> moduleDatabaseSize(const std::string& path, int database)
{
    // The module's lookup, but with a fallback no device file holds, so
    // that a missing key is told apart from "0".
    const std::string key = "DatabaseSize_" + std::to_string(database);
    const char absent[] = "\x01" "absent" "\x01";
    char result[256];
    zelm_platform::readProfileString("Database", key.c_str(), absent, result, sizeof result, path.c_str());
    if (std::strcmp(result, absent) == 0)
        return std::nullopt;
    return zelm_string(result).toInt();
}

namespace {

const char* const notADeviceFile =
    "not a device file: it has none of the sections [Device], [Database], [Names_K], [Crosspoints]";

bool isNamesSection(const std::string& name, int& database)
{
    return name.size() > 6 && sameNameIgnoringCase(name.substr(0, 6), "Names_") && readInt32(name.substr(6), database);
}

bool isDeviceKey(const std::string& key)
{
    for (const char* known : {"Name", "Type", "Sources", "Destinations", "Protocol", "Address", "Matrix", "Level",
                              "Offset"})
        if (sameNameIgnoringCase(key, known))
            return true;
    return false;
}

bool hasDeviceSection(const ini_file& ini)
{
    for (const auto& section : ini.sectionNames()) {
        int database = 0;
        if (sameNameIgnoringCase(section.first, "Device") || sameNameIgnoringCase(section.first, "Database") ||
            sameNameIgnoringCase(section.first, "Crosspoints") || isNamesSection(section.first, database))
            return true;
    }
    return false;
}

// Reads a device file for the model and reports what is wrong in it.
class device_file_reader {
public:
    device_file_reader(int number, const ini_file& ini, fault_list* faults)
        : number_(number), ini_(ini), faults_(faults)
    {
        char name[32];
        std::snprintf(name, sizeof name, "dev_%03d.ini", number);
        file_ = ini.path().empty() ? name : ini.path();
    }

    void error(int line, const std::string& message)
    {
        if (faults_ != nullptr)
            faults_->error(file_, line, message);
    }
    void warning(int line, const std::string& message)
    {
        if (faults_ != nullptr)
            faults_->warning(file_, line, message);
    }

    // A count of the simulator's own ([Device] Sources=, Destinations=):
    // a plain number from 0 to the limit.
    std::optional<int> ownCount(const char* key)
    {
        const ini_entry* entry = ini_.entry("Device", key);
        if (entry == nullptr)
            return std::nullopt;
        int value = 0;
        if (!readInt32(entry->value, value)) {
            error(entry->line, entry->key + "=" + shownText(entry->value) + " is not a number");
            return std::nullopt;
        }
        return bounded(*entry, value);
    }

    std::optional<int> bounded(const ini_entry& entry, std::int64_t value)
    {
        if (value < 0) {
            error(entry.line, entry.key + "=" + shownText(entry.value) + " is negative");
            return std::nullopt;
        }
        if (value > simulatorSizeLimit) {
            error(entry.line, entry.key + "=" + shownText(entry.value) + " is beyond the simulator's limit of " +
                                  std::to_string(simulatorSizeLimit));
            return std::nullopt;
        }
        return static_cast<int>(value);
    }

    // Every DatabaseSize_K of [Database], as the module reads it; the sizes
    // of databases 0 and 1 are kept.
    void databaseSizes()
    {
        const ini_file::entries* entries = ini_.section("Database");
        if (entries == nullptr)
            return;
        for (const ini_entry& entry : *entries) {
            int database = 0;
            if (entry.key.size() <= 13 || !sameNameIgnoringCase(entry.key.substr(0, 13), "DatabaseSize_") ||
                !readInt32(entry.key.substr(13), database) || database < 0)
                continue;
            if (ini_.entry("Database", entry.key) != &entry)
                continue;  // a repeated key: the first counts, and was reported
            std::optional<std::int32_t> module;
            if (!ini_.path().empty())
                module = moduleDatabaseSize(ini_.path(), database);
            else
                module = zelm_string(entry.value.c_str()).toInt();
            int plain = 0;
            bool isPlain = readInt32(entry.value, plain);
            if (!module) {
                warning(entry.line, entry.key + "=" + shownText(entry.value) +
                                        ": the module's profile reader does not see this line, so it reads 0");
                continue;
            }
            if (!isPlain || plain != *module)
                warning(entry.line, entry.key + "=" + shownText(entry.value) + ": the module reads " +
                                        std::to_string(*module) + "; write the number alone");
            std::optional<int> size = bounded(entry, *module);
            if (database == 0)
                sources_ = size;
            else if (database == 1)
                destinations_ = size;
        }
    }

    // The highest index of a section of index=value lines within the limit,
    // 0 when none.
    int highestIndex(const std::string& section)
    {
        int highest = 0;
        if (const auto* entries = ini_.section(section))
            for (const auto& entry : *entries) {
                int index = 0;
                if (readInt32(entry.key, index) && index <= simulatorSizeLimit)
                    highest = std::max(highest, index);
            }
        return highest;
    }

    device_model read()
    {
        checkSections();
        std::optional<int> destinations = ownCount("Destinations");
        std::optional<int> sources = ownCount("Sources");
        databaseSizes();
        if (!destinations)
            destinations = destinations_ ? *destinations_ : std::max(highestIndex("Names_1"), highestIndex("Crosspoints"));
        if (!sources)
            sources = sources_ ? *sources_ : highestIndex("Names_0");
        const ini_entry* type = ini_.entry("Device", "Type");
        bool router = *destinations > 0;
        if (type != nullptr) {
            router = sameNameIgnoringCase(type->value, "Router");
            if (!router && !sameNameIgnoringCase(type->value, "Names"))
                error(type->line, "Type=" + shownText(type->value) + " is neither Router nor Names");
        }
        device_model device(number_, ini_.value("Device", "Name", "device " + std::to_string(number_)), router);
        if (router)
            device.setSize(*sources, *destinations);
        names(device);
        crosspoints(device);
        return device;
    }

private:
    void checkSections()
    {
        for (const auto& section : ini_.sectionNames()) {
            const std::string& name = section.first;
            int database = 0;
            if (sameNameIgnoringCase(name, "Device") || sameNameIgnoringCase(name, "Database") ||
                sameNameIgnoringCase(name, "Crosspoints")) {
                continue;
            } else if (isNamesSection(name, database)) {
                if (database < 0 || database >= namesDatabases)
                    warning(section.second, "[" + shownText(name) + "]: only [Names_0] to [Names_" +
                                                std::to_string(namesDatabases - 1) + "] are read; ignored");
            } else {
                warning(section.second, "unknown section [" + shownText(name) +
                                            "]; a device file has [Device], [Database], [Names_K], [Crosspoints]");
            }
        }
        if (!hasDeviceSection(ini_))
            error(0, notADeviceFile);
        if (const auto* entries = ini_.section("Device"))
            for (const auto& entry : *entries)
                if (!isDeviceKey(entry.key))
                    warning(entry.line, "unknown key " + shownText(entry.key) +
                                            " in [Device]; it has Name, Type, Sources, Destinations, Protocol, "
                                            "Address, Matrix, Level, Offset");
    }

    void names(device_model& device)
    {
        for (int database = 0; database < namesDatabases; ++database) {
            const auto* entries = ini_.section("Names_" + std::to_string(database));
            if (entries == nullptr)
                continue;
            int within = 0;
            if (device.isRouter() && database <= 1)
                within = database == 0 ? device.sources() : device.destinations();
            for (const auto& entry : *entries) {
                int index = 0;
                if (!readInt32(entry.key, index)) {
                    warning(entry.line, "name index \"" + shownText(entry.key) + "\" is not a number; ignored");
                    continue;
                }
                if (index > simulatorSizeLimit) {
                    error(entry.line, "name index " + entry.key + " is beyond the simulator's limit of " +
                                          std::to_string(simulatorSizeLimit));
                    continue;
                }
                if (index < 1) {
                    warning(entry.line, "name index " + entry.key + ": indices start at 1; ignored");
                    continue;
                }
                if (within > 0 && index > within)
                    warning(entry.line, std::string(database == 0 ? "source " : "destination ") + entry.key +
                                            " is named, but the router has " + std::to_string(within));
                if (!device.name(database, index))  // the first counts
                    device.setName(database, index, entry.value);
            }
        }
    }

    void crosspoints(device_model& device)
    {
        const auto* entries = ini_.section("Crosspoints");
        if (entries == nullptr)
            return;
        if (!device.isRouter()) {
            warning(entries->empty() ? 0 : entries->front().line, "[Crosspoints] of a device that is no router; ignored");
            return;
        }
        std::map<int, int> seen;
        for (const auto& entry : *entries) {
            int destination = 0, source = 0;
            const std::string shown = shownText(entry.key) + "=" + shownText(entry.value);
            if (!readInt32(entry.key, destination) || !readInt32(entry.value, source)) {
                error(entry.line, shown + " is not destination=source");
                continue;
            }
            if (destination > simulatorSizeLimit) {
                error(entry.line, "destination " + entry.key + " is beyond the simulator's limit of " +
                                      std::to_string(simulatorSizeLimit));
                continue;
            }
            if (destination < 1 || destination > device.destinations()) {
                error(entry.line, shown + ": the router has destinations 1 to " + std::to_string(device.destinations()));
                continue;
            }
            if (source < 0 || (device.sources() > 0 && source > device.sources())) {
                error(entry.line, shown + ": the router has sources 0 (park) to " +
                                      (device.sources() > 0 ? std::to_string(device.sources()) : std::string("any")));
                continue;
            }
            if (!seen.emplace(destination, source).second)
                continue;  // the first counts, and the repeat was reported
            device.route(source, destination);
        }
    }

    static constexpr int namesDatabases = 16;
    int number_;
    const ini_file& ini_;
    fault_list* faults_;
    std::string file_;
    std::optional<int> sources_, destinations_;
};

}  // namespace

device_model device_model::fromIni(int number, const ini_file& ini, fault_list* faults)
{
    device_model device = device_file_reader(number, ini, faults).read();
    device.initial_ = device.crosspoints_;
    device.linkKeys_ = {ini.path(),
                        ini.value("Device", "Protocol"),
                        ini.value("Device", "Address"),
                        ini.value("Device", "Matrix"),
                        ini.value("Device", "Level"),
                        ini.value("Device", "Offset")};
    return device;
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

bool router_model::load(const std::string& systemDir, fault_list& faults)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    fs::directory_iterator entries(systemDir, failure);
    if (failure) {
        faults.error(systemDir, 0, "cannot read the device folder: " + failure.message());
        return false;
    }
    // In name order, so that the messages come in the same order everywhere.
    std::vector<fs::path> files;
    for (const auto& entry : entries) {
        std::string file = entry.path().filename().string();
        if (file.size() >= 8 && sameNameIgnoringCase(file.substr(0, 4), "dev_") &&
            sameNameIgnoringCase(file.substr(file.size() - 4), ".ini"))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        const std::string shown = path.string();
        const std::string file = path.filename().string();
        int number = 0;
        if (!readInt32(file.substr(4, file.size() - 8), number) || number < 0) {
            faults.warning(shown, 0, "not a device file name (dev_NNN.ini); ignored");
            continue;
        }
        // The module forms the name from the number: a file it would not
        // find must not give the simulator a device the module cannot see.
        char canonical[32];
        std::snprintf(canonical, sizeof canonical, "dev_%03d.ini", number);
        if (file != canonical) {
            faults.error(shown, 0, std::string("the module reads device ") + std::to_string(number) + " from " +
                                       canonical + "; rename the file");
            continue;
        }
        if (fs::is_directory(path, failure)) {
            faults.error(shown, 0, "a folder, not a device file");
            continue;
        }
        fault_list ofFile;
        ini_file ini;
        if (!ini.load(shown, &ofFile)) {
            faults.error(shown, 0, "cannot read the device file");
            continue;
        }
        if (!hasDeviceSection(ini)) {
            // Whatever it holds, line by line it would only bury this.
            faults.error(shown, 0, notADeviceFile);
            continue;
        }
        add(device_model::fromIni(number, ini, &ofFile));
        faults.append(ofFile);
    }
    return true;
}

bool router_model::load(const std::string& systemDir, std::string& error)
{
    fault_list faults;
    bool read = load(systemDir, faults);
    for (const auto& fault : faults.kept())
        if (fault.error) {
            error = fault.text();
            return false;
        }
    return read;
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
