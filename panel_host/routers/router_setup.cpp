#include "router_setup.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "host_command.h"
#include "ini_file.h"
#include "router_model.h"
#include "scenario_runner.h"
#include "simulated_host.h"
#include "swp08_link.h"
#include "videohub_link.h"

namespace {

bool readNumber(const std::string& text, int low, int high, int& value)
{
    return readInt32(text, value) && value >= low && value <= high;
}

bool readAddress(const std::string& text, const std::string& protocol, link_address& address, std::string& error)
{
    std::size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    int port = protocol == "videohub" ? 9990 : 0;
    if (colon != std::string::npos && !readNumber(text.substr(colon + 1), 1, 65535, port)) {
        error = "\"" + text + "\" is not HOST:PORT with a port from 1 to 65535";
        return false;
    }
    if (host.empty() || port == 0) {
        error = "\"" + text + "\" is not HOST:PORT" + std::string(protocol == "swp08" ? " (SW-P-08 has no usual port)" : "");
        return false;
    }
    address.host = host;
    address.port = static_cast<std::uint16_t>(port);
    return true;
}

}  // namespace

bool readRouterChoice(const std::string& protocol, const std::string& address, const std::string& matrix,
                      const std::string& level, const std::string& offset, router_choice& choice, std::string& error)
{
    if (!protocol.empty()) {
        if (protocol != "simulated" && protocol != "swp08" && protocol != "videohub") {
            error = "Protocol=" + protocol + " is none of simulated, swp08, videohub";
            return false;
        }
        choice.protocol = protocol;
    }
    if (!offset.empty() && !readNumber(offset, -1000000, 1000000, choice.offset)) {
        error = "Offset=" + offset + " is not a number";
        return false;
    }
    if (choice.protocol == "simulated")
        return true;
    if (!matrix.empty() && !readNumber(matrix, 0, 15, choice.matrix)) {
        error = "Matrix=" + matrix + " is not a number from 0 to 15";
        return false;
    }
    if (!level.empty() && !readNumber(level, 0, 15, choice.level)) {
        error = "Level=" + level + " is not a number from 0 to 15";
        return false;
    }
    if (address.empty() && choice.address.host.empty()) {
        error = "Protocol=" + choice.protocol + " needs Address=HOST:PORT";
        return false;
    }
    if (!address.empty() && !readAddress(address, choice.protocol, choice.address, error)) {
        error = "Address=" + error;
        return false;
    }
    return true;
}

bool readRouterOverride(const std::string& text, int& device, router_choice& choice, std::string& error)
{
    std::size_t equals = text.find('=');
    if (equals == std::string::npos || !readNumber(text.substr(0, equals), 1, 999999, device)) {
        error = "\"" + text + "\" is not DEV=PROTOCOL[:HOST:PORT[:MATRIX:LEVEL]]";
        return false;
    }
    std::vector<std::string> parts;
    std::string rest = text.substr(equals + 1);
    std::size_t start = 0;
    while (true) {
        std::size_t colon = rest.find(':', start);
        parts.push_back(rest.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    std::string address = parts.size() >= 3 ? parts[1] + ":" + parts[2] : parts.size() == 2 ? parts[1] : "";
    std::string matrix = parts.size() >= 5 ? parts[3] : "";
    std::string level = parts.size() >= 5 ? parts[4] : "";
    if (parts.size() == 4 || parts.size() > 5) {
        error = "\"" + text + "\": give both MATRIX and LEVEL, or neither";
        return false;
    }
    if (!readRouterChoice(parts[0], address, matrix, level, "", choice, error)) {
        error = "\"" + text + "\": " + error;
        return false;
    }
    return true;
}

bool router_links::setUp(const std::string& systemDir, router_model& routers, simulated_host& host,
                         const std::vector<std::string>& overrides, std::string& error)
{
    std::map<int, router_choice> choices;
    for (const auto& entry : routers.devices()) {
        if (!entry.second.isRouter())
            continue;
        char file[32];
        std::snprintf(file, sizeof file, "dev_%03d.ini", entry.first);
        std::string path = (std::filesystem::path(systemDir) / file).string();
        ini_file ini;
        router_choice choice;
        if (ini.load(path) &&
            !readRouterChoice(ini.value("Device", "Protocol"), ini.value("Device", "Address"),
                              ini.value("Device", "Matrix"), ini.value("Device", "Level"),
                              ini.value("Device", "Offset"), choice, error)) {
            error.insert(0, path + ": [Device] ");
            return false;
        }
        choices[entry.first] = choice;
    }
    for (const auto& text : overrides) {
        int device = 0;
        router_choice choice;
        if (!readRouterOverride(text, device, choice, error)) {
            error.insert(0, "--router ");
            return false;
        }
        auto found = choices.find(device);
        if (found == choices.end()) {
            error = "--router " + text + ": the installation has no router " + std::to_string(device);
            return false;
        }
        choice.offset = found->second.offset;
        found->second = choice;
    }
    for (const auto& entry : choices) {
        const router_choice& choice = entry.second;
        device_model& device = *routers.device(entry.first);
        std::unique_ptr<network_link> link;
        if (choice.protocol == "swp08")
            link = std::make_unique<swp08_link>(loop_, device, host, choice.address, choice.offset, timing_,
                                                choice.matrix, choice.level);
        else if (choice.protocol == "videohub")
            link = std::make_unique<videohub_link>(loop_, device, host, choice.address, choice.offset, timing_);
        else
            continue;
        links_[entry.first] = link.get();
        host.setLink(entry.first, std::move(link));
    }
    return true;
}

void router_links::connectAll(std::ostream& out)
{
    for (auto& entry : links_)
        entry.second->start();
    for (auto& entry : links_) {
        bool up = entry.second->waitForFirstAttempt();
        out << "            router " << entry.first << ": " << entry.second->describe()
            << (up ? ", connected" : ", not reachable: offline until it answers") << "\n";
    }
}

void router_links::attach(scenario_runner& runner)
{
    runner.setBetweenSteps([this, &runner] { betweenSteps(runner); });
}

void router_links::betweenSteps(scenario_runner& runner)
{
    loop_.poll();
    for (auto& entry : links_)
        if (!entry.second->settled())
            entry.second->waitSettled();
    for (auto& entry : links_)
        for (const auto& change : entry.second->takeNameChanges())
            runner.nameChanged(change.device, change.database, change.index, change.name);
}
