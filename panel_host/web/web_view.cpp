#include "web/web_view.h"

#include <iostream>

#include "text/transcript.h"
#include "web/page_transcript.h"
#include "web/web_server.h"

int serveWebView(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
                 session_recorder& session, event_loop& loop)
{
    std::string address, error;
    unsigned short port = 0;
    if (!parseServeAddress(settings.serve, address, port, error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    // The page's copy of the transcript: what the server and the scenario
    // print from now on, bounded in bytes between two publishings.
    web::page_transcript page;
    const scoped_sink pageCopy(out, page);
    web::web_server server(settings, runner, routers, out, session, loop);
    if (!server.listen(address, port, error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    if (!server.begin(error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    return server.serve(page);
}
