#include "web/web_server.h"

#include <vector>

#include "loop/event_loop.h"
#include "text/terminal_text.h"
#include "text/transcript.h"
#include "web/access_token.h"
#include "web/page_transcript.h"
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
      routes_(settings, loop, adapter_, feed_, ticker_), gate_(loop.context(), out),
      listener_(loop.context(), *this, settings.maxConnections), closing_(loop, [this] { stop(); })
{
}

bool web_server::listen(const std::string& address, unsigned short port, std::string& error)
{
    if (!listener_.listen(address, port, error))
        return false;
    host_rules& rules = gate_.rules();
    rules.listeningOn(address, listener_.port());
    for (const auto& name : settings_.allowHosts) {
        if (!checkAllowedHost(name, error))
            return false;
        rules.allow(name);
    }
    if (settings_.remoteRules)
        rules.treatAsRemote();
    return setUpKey(error);
}

// Beyond loopback every request needs the key; --token-file asks for it
// on loopback too, and keeps it across restarts.
bool web_server::setUpKey(std::string& error)
{
    if (!gate_.rules().remote() && settings_.tokenFile.empty())
        return true;
    std::string token;
    bool made = false;
    if (settings_.tokenFile.empty() ? !makeToken(token, error)
                                    : !tokenFromFile(settings_.tokenFile, token, made, error))
        return false;
    if (made)
        out_.block("panel_host: a new access key is in " + terminalSafe(settings_.tokenFile) +
                   " (readable by its owner alone)");
    gate_.requireToken(token);
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

int web_server::serve(page_transcript& page)
{
    std::string where = "panel_host: the browser view is at " + url() + "  (Ctrl-C ends)";
    for (const auto& host : gate_.rules().hosts())
        if (host != gate_.rules().host())
            where += "\n            also at " + gate_.url(host);
    out_.block(where);
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
    gate_.stop();
}

reply web_server::answer(const request& req, const connection_info& from)
{
    if (std::optional<response> refusal = gate_.check(req, from, routes_.table()))
        return std::move(*refusal);
    return routes_.table().answer(req);
}

std::optional<response> web_server::refuseLive(const request& req, const connection_info& from)
{
    if (std::optional<response> refusal = gate_.check(req, from, routes_.table()))
        return refusal;
    if (req.target() != web_routes::livePath)
        return plainError(req, http::status::not_found, std::string("the live stream is at ") + web_routes::livePath);
    return std::nullopt;
}

void web_server::joined(const std::shared_ptr<live_page>& page) { feed_.join(page); }

void web_server::heard(const std::shared_ptr<live_page>& page, const std::string& message)
{
    feed_.heard(page, message);
}

void web_server::note(const std::string& text) { out_.block(text); }

}  // namespace web
