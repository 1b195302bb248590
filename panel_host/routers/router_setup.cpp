#include "routers/router_setup.h"

#include "facility/host_command.h"
#include "facility/router_model.h"
#include "routers/swp08_link.h"
#include "routers/videohub_link.h"

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
        error = "\"" + text + "\" is not HOST:PORT" +
                std::string(protocol == "swp08" ? " (SW-P-08 has no usual port)" : "");
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

bool router_links::setUp(router_model& routers, router_reports& reports, const link_sink& sink,
                         const std::vector<std::string>& overrides, std::string& error)
{
    std::map<int, router_choice> choices;
    for (const auto& entry : routers.devices()) {
        if (!entry.second.isRouter())
            continue;
        const device_link_keys& keys = entry.second.linkKeys();
        router_choice choice;
        if (!readRouterChoice(keys.protocol, keys.address, keys.matrix, keys.level, keys.offset, choice, error)) {
            error.insert(0, keys.file + ": [Device] ");
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
            link = std::make_unique<swp08_link>(loop_, device, reports, choice.address, choice.offset, timing_,
                                                choice.matrix, choice.level);
        else if (choice.protocol == "videohub")
            link = std::make_unique<videohub_link>(loop_, device, reports, choice.address, choice.offset, timing_);
        else
            continue;
        links_[entry.first] = link.get();
        sink(entry.first, std::move(link));
    }
    return true;
}

std::vector<std::string> router_links::connectAll()
{
    for (auto& entry : links_)
        entry.second->start();
    std::vector<std::string> lines;
    for (auto& entry : links_) {
        bool up = entry.second->waitForFirstAttempt();
        lines.push_back("router " + std::to_string(entry.first) + ": " + entry.second->describe() +
                        (up ? ", connected" : ", not reachable: offline until it answers"));
    }
    return lines;
}

void router_links::settle()
{
    loop_.poll();
    for (auto& entry : links_)
        if (!entry.second->settled())
            entry.second->waitSettled();
}

network_link* router_links::link(int device) const
{
    auto found = links_.find(device);
    return found == links_.end() ? nullptr : found->second;
}
