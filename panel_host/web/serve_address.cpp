#include "web/serve_address.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <boost/asio/ip/address.hpp>

#include "web/web_view.h"

bool parseServeAddress(const std::string& text, std::string& address, unsigned short& port, std::string& error)
{
    std::string portText = text;
    address = "127.0.0.1";
    if (!text.empty() && text[0] == '[') {
        auto close = text.find("]:");
        if (close == std::string::npos) {
            error = "--serve: \"" + text + "\" is not [ADDRESS]:PORT";
            return false;
        }
        address = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else if (auto colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    boost::system::error_code ec;
    boost::asio::ip::make_address(address, ec);
    if (ec) {
        error = "--serve: \"" + address + "\" is not an IP address such as 127.0.0.1";
        return false;
    }
    char* end = nullptr;
    long number = portText.empty() ? -1 : std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || number < 0 || number > 65535 ||
        portText.find_first_not_of("0123456789") != std::string::npos) {
        error = "--serve: \"" + portText + "\" is not a port number from 0 to 65535";
        return false;
    }
    port = static_cast<unsigned short>(number);
    return true;
}

namespace web {

namespace {

namespace ip = boost::asio::ip;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string asHost(const ip::address& address)
{
    return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

// An address written as a Host names it: "10.0.0.7", "[::1]".
std::optional<ip::address> literal(const std::string& name)
{
    boost::system::error_code ec;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        ip::address_v6 v6 = ip::make_address_v6(name.substr(1, name.size() - 2), ec);
        return ec ? std::nullopt : std::optional<ip::address>(v6);
    }
    ip::address_v4 v4 = ip::make_address_v4(name, ec);
    return ec ? std::nullopt : std::optional<ip::address>(v4);
}

std::optional<ip::address> parsed(const std::string& address)
{
    boost::system::error_code ec;
    ip::address found = ip::make_address(address, ec);
    return ec ? std::nullopt : std::optional<ip::address>(found);
}

// "name:port", "[v6]:port", or a name alone. False when it is none of them.
bool splitHost(const std::string& header, std::string& name, std::optional<std::string>& port)
{
    std::size_t end = header[0] == '[' ? header.find(']') + 1 : header.rfind(':');
    if (header[0] == '[' && end == 0)
        return false;
    if (end == std::string::npos || end == header.size()) {
        name = header;
        return true;
    }
    if (header[end] != ':' || end + 1 == header.size())
        return false;
    name = header.substr(0, end);
    port = header.substr(end + 1);
    return port->find_first_not_of("0123456789") == std::string::npos;
}

// This machine's addresses other than loopback (and link-local ones, which
// need a zone in a URL), as hosts: the URLs printed for every address.
std::vector<std::string> interfaceHosts(bool v6too)
{
    std::vector<std::string> hosts;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0)
        return hosts;
    for (ifaddrs* at = all; at != nullptr && hosts.size() < 8; at = at->ifa_next) {
        if (at->ifa_addr == nullptr || (at->ifa_flags & IFF_UP) == 0 || (at->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        std::optional<ip::address> address;
        if (at->ifa_addr->sa_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(at->ifa_addr);
            address = ip::address_v4(ntohl(v4->sin_addr.s_addr));
        } else if (v6too && at->ifa_addr->sa_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(at->ifa_addr);
            ip::address_v6::bytes_type bytes;
            std::copy(std::begin(v6->sin6_addr.s6_addr), std::end(v6->sin6_addr.s6_addr), bytes.begin());
            ip::address_v6 found(bytes);
            if (!found.is_link_local())
                address = found;
        }
        if (address && std::find(hosts.begin(), hosts.end(), asHost(*address)) == hosts.end())
            hosts.push_back(asHost(*address));
    }
    freeifaddrs(all);
    return hosts;
}

}  // namespace

void host_rules::listeningOn(const std::string& address, unsigned short port)
{
    // The address was read by parseServeAddress and listened on, so it is
    // one; written back as the system writes it ("::0001" is "::1").
    ip::address listening = parsed(address).value_or(ip::address(ip::address_v4::loopback()));
    address_ = listening.to_string();
    port_ = port;
    loopback_ = listening.is_loopback();
    everyAddress_ = listening.is_unspecified();
    std::string suffix = ":" + std::to_string(port);
    if (everyAddress_) {
        interfaces_ = interfaceHosts(listening.is_v6());
        host_ = (interfaces_.empty() ? std::string("127.0.0.1") : interfaces_.front()) + suffix;
    } else {
        host_ = asHost(listening) + suffix;
    }
}

void host_rules::allow(const std::string& name)
{
    // An address is kept as a Host writes it: "[::1]", "10.0.0.7".
    std::optional<ip::address> address = parsed(name);
    allowed_.push_back(address ? asHost(*address) : lower(name));
}

std::vector<std::string> host_rules::hosts() const
{
    std::string suffix = ":" + std::to_string(port_);
    std::vector<std::string> all{host_};
    auto add = [&](const std::string& host) {
        if (std::find(all.begin(), all.end(), host + suffix) == all.end())
            all.push_back(host + suffix);
    };
    if (everyAddress_)
        add("127.0.0.1");
    for (const auto& name : interfaces_)
        add(name);
    for (const auto& name : allowed_)
        add(name);
    return all;
}

bool host_rules::namesThisServer(const std::string& name, const std::string& local) const
{
    if (std::find(allowed_.begin(), allowed_.end(), name) != allowed_.end())
        return true;
    std::optional<ip::address> named = literal(name);
    std::optional<ip::address> reached = parsed(local);
    bool overLoopback = reached ? reached->is_loopback() : loopback_;
    if (!remote())
        return name == "localhost" || (named && named->is_loopback());
    if (!named)
        return name == "localhost" && overLoopback;
    return (!everyAddress_ && named->to_string() == address_) || (reached && *named == *reached) ||
           (overLoopback && named->is_loopback());
}

std::string host_rules::refusal(const std::string& hostHeader, const std::optional<std::string>& origin,
                                const std::string& local) const
{
    if (hostHeader.empty())
        return "no Host header";
    std::string name;
    std::optional<std::string> port;
    if (!splitHost(hostHeader, name, port))
        return "Host \"" + hostHeader + "\" is not HOST:PORT";
    if (port ? *port != std::to_string(port_) : port_ != 80)
        return "Host \"" + hostHeader + "\" names another port than " + std::to_string(port_);
    if (!namesThisServer(lower(name), local))
        return "Host \"" + hostHeader + "\" is not a name of this server (see --allow-host)";
    if (origin && *origin != "http://" + hostHeader)
        return "Origin \"" + *origin + "\" is another site";
    return std::string();
}

bool checkAllowedHost(const std::string& name, std::string& error)
{
    bool address = parsed(name).has_value();
    bool hostName = !name.empty() && name.size() <= 253 && name.front() != '-' && name.front() != '.' &&
                    std::all_of(name.begin(), name.end(),
                                [](unsigned char c) { return std::isalnum(c) != 0 || c == '-' || c == '.'; });
    if (address || hostName)
        return true;
    error = "--allow-host: \"" + name + "\" is not a host name or an IP address (give it without a port)";
    return false;
}

}  // namespace web
