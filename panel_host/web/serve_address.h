// serve_address: where the browser view listens and whom it answers there.
// parseServeAddress (declared in web_view.h) reads the --serve option; the
// host_rules below decide, from a request's Host and Origin headers and the
// address of ours it reached, whether it names this server and whether a
// page of this server sent it.
//
// The Host must name this server with the port it listens on: on loopback
// a loopback name (localhost, 127.0.0.1, [::1]); on another address that
// address, or the address of ours the connection reached when listening on
// every address, or a name given with --allow-host. A page of another site
// that reaches this server through a name of its own that resolves here
// (DNS rebinding) carries that name in Host, and is refused.
//
// No Beast here: the rules read header values, so the transport and the
// tests hand them plain text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace web {

class host_rules {
public:
    // The address listened on (as --serve gave it) and the port bound, which
    // the system chose when --serve said 0.
    void listeningOn(const std::string& address, unsigned short port);
    // --allow-host NAME: requests naming NAME (with the port) are answered.
    void allow(const std::string& name);
    // The rules of an address that is not loopback, applied on loopback: a
    // test-only switch, so that the tests reach them on 127.0.0.1.
    void treatAsRemote() { remote_ = true; }

    // Listening beyond loopback (or treated so): every request needs the
    // access key then.
    bool remote() const { return remote_ || !loopback_; }
    unsigned short port() const { return port_; }

    // "127.0.0.1:8080", "[::1]:8080": the host of the page's URL, and so
    // what the Host header of the page's requests holds. On every address
    // (0.0.0.0, ::) the first address of this machine's interfaces that is
    // not loopback, else 127.0.0.1.
    const std::string& host() const { return host_; }
    // Every host the page can be opened at, host() first: on every address
    // the loopback one and each interface's, then the --allow-host names.
    std::vector<std::string> hosts() const;

    // Why a request is refused (a line for the log), or empty when it may
    // go on. `hostHeader` is empty when the request has none; `origin` is
    // empty when it has no Origin header; `local` is the address of ours the
    // connection reached ("192.168.1.5"), empty when unknown.
    std::string refusal(const std::string& hostHeader, const std::optional<std::string>& origin,
                        const std::string& local = std::string()) const;
    bool allows(const std::string& hostHeader, const std::optional<std::string>& origin,
                const std::string& local = std::string()) const
    {
        return refusal(hostHeader, origin, local).empty();
    }

private:
    bool namesThisServer(const std::string& name, const std::string& local) const;

    std::string address_;  // as the system writes it: "::1", "0.0.0.0"
    std::string host_;
    std::vector<std::string> interfaces_;  // on every address: this machine's, as hosts ("[fe80::1]" aside)
    std::vector<std::string> allowed_;     // --allow-host, lower case
    unsigned short port_ = 0;
    bool loopback_ = true;
    bool everyAddress_ = false;
    bool remote_ = false;
};

// A name for --allow-host: a host name (letters, digits, '-' and '.') or
// an IP address, without a port. False, with `error`, for anything else.
bool checkAllowedHost(const std::string& name, std::string& error);

}  // namespace web
