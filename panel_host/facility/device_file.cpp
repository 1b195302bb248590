#include "facility/device_file.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "facility/device_model.h"
#include "facility/host_command.h"
#include "facility/ini_file.h"
#include "facility/module_database_size.h"
#include "zelm_string.h"

const char* const notADeviceFile =
    "not a device file: it has none of the sections [Device], [Database], [Names_K], [Crosspoints]";

namespace {

bool isNamesSection(const std::string& name, int& database)
{
    return name.size() > 6 && sameNameIgnoringCase(name.substr(0, 6), "Names_") && readInt32(name.substr(6), database);
}

bool isDeviceKey(const std::string& key)
{
    for (const char* known :
         {"Name", "Type", "Sources", "Destinations", "Protocol", "Address", "Matrix", "Level", "Offset"})
        if (sameNameIgnoringCase(key, known))
            return true;
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
            destinations = destinations_ ? *destinations_
                                         : std::max(highestIndex("Names_1"), highestIndex("Crosspoints"));
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
            warning(entries->empty() ? 0 : entries->front().line,
                    "[Crosspoints] of a device that is no router; ignored");
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
                error(entry.line,
                      shown + ": the router has destinations 1 to " + std::to_string(device.destinations()));
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
