// web_routes: what the browser view serves, as one table. The API (under
// /api/, answering in JSON): the state, a scenario step, the clock and the
// recording; the page (plain text): its own files and the images its
// layouts name, each sent from its file as it is read. The live stream's
// path is named here too, though the transport opens it.
//
// Thread: the event loop's.
#pragma once

#include <optional>
#include <string>

#include "web/route_table.h"

class event_loop;
class runner_adapter;
struct web_settings;

namespace web {

class clock_ticker;
class live_feed;

class web_routes {
public:
    static constexpr const char* livePath = "/api/live";

    web_routes(const web_settings& settings, event_loop& loop, runner_adapter& adapter, live_feed& feed,
               clock_ticker& ticker);
    web_routes(const web_routes&) = delete;
    web_routes& operator=(const web_routes&) = delete;

    const route_table& table() const { return table_; }

private:
    response step(const request& req, const std::string& text);
    response clock(const request& req);
    response record(const request& req);
    reply image(const request& req, const std::string& path);
    std::optional<response> page(const request& req, const std::string& path);

    const web_settings& settings_;
    runner_adapter& adapter_;
    live_feed& feed_;
    clock_ticker& ticker_;
    route_table table_;
};

}  // namespace web
