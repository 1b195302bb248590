#include "web/web_server.h"

#include <vector>

#include "loop/event_loop.h"
#include "text/transcript.h"
#include "web/web_files.h"
#include "web/web_view.h"

namespace web {

namespace {

// The installation's styles as the state carries them; a bad entry is
// reported and left out.
std::string loadStyles(const std::string& file, transcript& out)
{
    std::vector<std::string> problems;
    std::string styles = stylesJson(readStyles(file, problems));
    for (const auto& problem : problems)
        out.warning("styles: " + problem);
    return styles;
}

}  // namespace

web_server::web_server(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
                       session_recorder& session, event_loop& loop)
    : settings_(settings), out_(out), loop_(loop), adapter_(runner, routers, out, session),
      feed_(adapter_, out, loadStyles(settings.stylesFile, out)), ticker_(loop, adapter_, feed_),
      routes_(settings, loop, adapter_, feed_, ticker_), listener_(loop.context(), *this),
      closing_(loop, [this] { stop(); })
{
}

bool web_server::listen(const std::string& address, unsigned short port, std::string& error)
{
    if (!listener_.listen(address, port, error))
        return false;
    rules_.listeningOn(address, listener_.port());
    return true;
}

bool web_server::begin(std::string& error)
{
    // The session starts as the scenario file leaves it, or with the
    // component created, as at the prompt.
    if (!settings_.scenario.empty())
        return adapter_.runFile(settings_.scenario, error);
    step_outcome created = adapter_.runText("create", "<browser>");
    if (!created.accepted)
        error = created.error;
    return created.accepted;
}

int web_server::serve(plain_text_sink& page)
{
    out_.block("panel_host: the browser view is at http://" + rules_.host() + "/  (Ctrl-C ends)");
    feed_.start(page);
    listener_.start();
    ticker_.start();
    loop_.run();
    // The stopped sessions' handlers run once more to let go of their sockets.
    loop_.poll();
    feed_.stop();
    return 0;
}

void web_server::stop()
{
    listener_.stop();
    ticker_.stop();
}

bool web_server::allowed(const request& req) const
{
    auto origin = req.find(http::field::origin);
    return rules_.allows(std::string(req[http::field::host]),
                         origin == req.end() ? std::nullopt : std::optional<std::string>(origin->value()));
}

response web_server::answer(const request& req)
{
    if (!allowed(req))
        return routes_.table().refuse(req, http::status::forbidden, "request from another site refused");
    return routes_.table().answer(req);
}

std::optional<response> web_server::refuseLive(const request& req)
{
    if (req.target() != web_routes::livePath)
        return plainError(req, http::status::not_found, std::string("the live stream is at ") + web_routes::livePath);
    if (!allowed(req))
        return plainError(req, http::status::forbidden, "request from another site refused");
    return std::nullopt;
}

void web_server::joined(const std::shared_ptr<live_page>& page) { feed_.join(page); }

}  // namespace web
