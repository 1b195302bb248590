// route_table: which handler answers a request, by method and path. The
// paths fall into areas: the API answers its errors in JSON, the page's
// files in plain text, each with its own "not found". A path is matched
// only by the routes of its own area, an exact path before a prefix and a
// longer prefix before a shorter one. The table answers by itself what no
// handler should have to: a path nobody serves (404), a method the path
// does not take (405), and a call into the panel while the panel is inside
// an event of its own (503).
//
// Thread: the event loop's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "web/http_answers.h"

namespace web {

// Answers a request for `path` (the target without its query); none when
// nothing is there, which the table answers as its area's 404.
using route_handler = std::function<std::optional<reply>(const request& req, const std::string& path)>;

struct route {
    http::verb method;
    std::string path;  // the whole path, or with `prefix` every path that starts with it
    bool prefix = false;
    std::string usage;         // the 405 answer: how the path is asked for
    bool entersPanel = false;  // calls the panel: refused while the panel is busy
    route_handler handle;
};

class route_table {
public:
    // `panelBusy`: true while the panel is inside an event of its own (a
    // router link waiting for its router); a route that would enter it
    // again is refused then.
    explicit route_table(std::function<bool()> panelBusy);

    // Paths that start with `prefix` (the longest such prefix wins; "" takes
    // every path) answer in JSON or plain text; their 404 is `notFound`
    // followed by the path.
    void area(std::string prefix, bool json, std::string notFound);
    void add(route entry);

    reply answer(const request& req) const;
    // An error for the request in the words of its path's area.
    response refuse(const request& req, http::status status, const std::string& message) const;

    // The target without its query.
    static std::string pathOf(const request& req);

private:
    struct area_rule {
        std::string prefix;
        bool json = false;
        std::string notFound;
    };
    const area_rule& areaOf(const std::string& path) const;
    std::vector<const route*> routesAt(const std::string& path) const;
    response error(const request& req, const area_rule& area, http::status status, const std::string& message) const;

    std::function<bool()> panelBusy_;
    std::vector<area_rule> areas_;
    std::vector<route> routes_;
};

}  // namespace web
