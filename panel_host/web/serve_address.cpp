#include "web/serve_address.h"

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

void host_rules::listeningOn(const std::string& address, unsigned short port)
{
    // The address was read by parseServeAddress and listened on, so it is
    // one; written back as the system writes it ("::0001" is "::1").
    boost::system::error_code ec;
    boost::asio::ip::address ip = boost::asio::ip::make_address(address, ec);
    loopbackOnly_ = ip.is_loopback();
    host_ = (ip.is_v6() ? "[" + ip.to_string() + "]" : ip.to_string()) + ":" + std::to_string(port);
}

bool host_rules::allows(const std::string& hostHeader, const std::optional<std::string>& origin) const
{
    // A server on loopback answers its own names only: a page of another
    // site reaching it through a name that resolves here (DNS rebinding)
    // carries that name in Host.
    auto colon = hostHeader.rfind(':');
    std::string port = colon == std::string::npos ? std::string() : hostHeader.substr(colon);
    if (loopbackOnly_ && hostHeader != host_ && hostHeader != "localhost" + port && hostHeader != "127.0.0.1" + port &&
        hostHeader != "[::1]" + port)
        return false;
    return !origin || *origin == "http://" + hostHeader;
}

}  // namespace web
