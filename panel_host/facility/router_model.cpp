#include "facility/router_model.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "facility/device_file.h"
#include "facility/host_command.h"
#include "facility/ini_file.h"

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
            faults.error(shown, 0,
                         std::string("the module reads device ") + std::to_string(number) + " from " + canonical +
                             "; rename the file");
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
