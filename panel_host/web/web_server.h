// web_server: the browser view put together. It owns the pieces and wires
// them: the listener (transport), the gate every request passes (the Host
// and Origin rules, the access key: access_gate), the route table
// (web_routes), the live feed (publishing) and the clock ticker, and it
// starts and stops them together. serveWebView (in
// web_view.cpp) is its one user in panel_host; the tests drive it directly.
//
// Thread: the event loop's; stop() may be posted to it from elsewhere.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "loop/event_loop.h"
#include "web/access_gate.h"
#include "web/clock_ticker.h"
#include "web/live_feed.h"
#include "web/runner_adapter.h"
#include "web/transport.h"
#include "web/web_routes.h"

struct web_settings;

namespace web {

class web_server final : public connection_hooks {
public:
    web_server(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
               session_recorder& session, event_loop& loop);

    // Listens on the address, and makes or reads the access key when one
    // is needed; false, with `error`, when it cannot.
    bool listen(const std::string& address, unsigned short port, std::string& error);
    unsigned short port() const { return listener_.port(); }
    // The URL printed: with the access key when one is needed.
    std::string url() const { return gate_.url(gate_.rules().host()); }
    // Runs the scenario file, or creates the component; false, with `error`,
    // when that cannot run.
    bool begin(std::string& error);
    // Serves until stop() or until the loop closes at the end of the run;
    // `page` is the transcript's copy for the pages. Returns 0.
    int serve(page_transcript& page);
    void stop();

    reply answer(const request& req, const connection_info& from) override;
    std::optional<response> refuseLive(const request& req, const connection_info& from) override;
    void joined(const std::shared_ptr<live_page>& page) override;
    void heard(const std::shared_ptr<live_page>& page, const std::string& message) override;
    void note(const std::string& text) override;

    std::size_t refusedCount() const { return gate_.refusedCount(); }

private:
    bool setUpKey(std::string& error);

    const web_settings& settings_;
    transcript& out_;
    event_loop& loop_;
    runner_adapter adapter_;
    live_feed feed_;
    clock_ticker ticker_;
    web_routes routes_;
    access_gate gate_;
    listener listener_;
    event_loop::on_close closing_;  // the run ends: stop accepting
};

}  // namespace web
