// serve_address: where the browser view listens and whom it answers there.
// parseServeAddress (declared in web_view.h) reads the --serve option; the
// host_rules below decide, from a request's Host and Origin headers, whether
// a page of this server sent it. Stricter Host rules and an access token for
// addresses other than loopback belong here too.
//
// No Beast here: the rules read header values, so the transport and the
// tests hand them plain text.
#pragma once

#include <optional>
#include <string>

namespace web {

class host_rules {
public:
    // The address listened on (as --serve gave it) and the port bound, which
    // the system chose when --serve said 0.
    void listeningOn(const std::string& address, unsigned short port);

    // "127.0.0.1:8080", "[::1]:8080": the host of the page's URL, and so
    // what the Host header of the page's requests holds.
    const std::string& host() const { return host_; }

    // False for a request that a page of another site sent through the
    // person's browser, or that names this server by a name which merely
    // resolves to this machine. `hostHeader` is empty when the request has
    // none; `origin` is empty when it has no Origin header.
    bool allows(const std::string& hostHeader, const std::optional<std::string>& origin) const;

private:
    std::string host_;
    bool loopbackOnly_ = true;
};

}  // namespace web
