#include "web/web_routes.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "loop/event_loop.h"
#include "scenario/scenario_parser.h"
#include "scenario/session_recorder.h"
#include "web/clock_ticker.h"
#include "web/json_text.h"
#include "web/live_feed.h"
#include "web/page_assets.h"
#include "web/runner_adapter.h"
#include "web/web_files.h"
#include "web/web_view.h"

namespace web {

namespace {

constexpr std::uintmax_t maxImageBytes = std::uintmax_t{8} * 1024 * 1024;

}  // namespace

web_routes::web_routes(const web_settings& settings, event_loop& loop, runner_adapter& adapter, live_feed& feed,
                       clock_ticker& ticker)
    : settings_(settings), adapter_(adapter), feed_(feed), ticker_(ticker), table_([&loop] { return loop.nested(); })
{
    using verb = http::verb;
    table_.area("/api/", true, "no such API: ");
    table_.area("", false, "no such page: ");
    // method, path, prefix, the 405 answer, calls the panel, handler
    table_.add(
        {verb::get, "/api/state", false, "GET /api/state", false, [this](const request& req, const std::string&) {
             return makeResponse(req, http::status::ok, "application/json", feed_.stateJson());
         }});
    table_.add({verb::post, "/api/step", false, "POST /api/step with the text as body", true,
                [this](const request& req, const std::string&) { return step(req, req.body()); }});
    table_.add({verb::post, "/api/clock", false, "POST /api/clock with the text as body", true,
                [this](const request& req, const std::string&) { return clock(req); }});
    table_.add({verb::post, "/api/record", false, "POST /api/record with the text as body", true,
                [this](const request& req, const std::string&) { return record(req); }});
    table_.add({verb::get, "/images/", true, "only GET here", false,
                [this](const request& req, const std::string& path) { return image(req, path); }});
    // Every other path outside the API is one of the page's own files, or nothing.
    table_.add({verb::get, "", true, "only GET here", false,
                [this](const request& req, const std::string& path) { return page(req, path); }});
}

response web_routes::step(const request& req, const std::string& text)
{
    feed_.publish(false);  // what the clock printed before belongs to no step
    step_outcome outcome = adapter_.runText(text, "<browser>");
    if (!outcome.accepted) {
        json::writer out;
        out.beginObject().key("error").value(outcome.error).key("where").value(outcome.where).endObject();
        return makeResponse(req, http::status::bad_request, "application/json", out.take());
    }
    std::string printed = feed_.publish(true);
    json::writer out;
    out.beginObject();
    out.key("ok").value(outcome.failures.empty());
    out.key("transcript").value(printed);
    out.key("failures").beginArray();
    for (const auto& failure : outcome.failures)
        out.value(failure);
    out.endArray();
    out.key("answer");
    if (outcome.answer)
        out.value(*outcome.answer);
    else
        out.null();
    out.endObject();
    return makeResponse(req, http::status::ok, "application/json", out.take());
}

response web_routes::clock(const request& req)
{
    std::vector<std::string> words;
    std::string error;
    if (!splitWords(req.body(), words, error) || words.empty() || words.size() > 2)
        return jsonError(req, http::status::bad_request, "clock: say pause, run, speed FACTOR or step TIME");
    wall_clock_settings& settings = adapter_.clockSettings();
    if (words[0] == "pause" && words.size() == 1) {
        settings.running = false;
    } else if (words[0] == "run" && words.size() == 1) {
        settings.running = true;
        ticker_.resume();
    } else if (words[0] == "speed" && words.size() == 2) {
        char* end = nullptr;
        double factor = std::strtod(words[1].c_str(), &end);
        if (end == words[1].c_str() || *end != '\0' || !(factor >= 0.1 && factor <= 100))
            return jsonError(req, http::status::bad_request,
                             "clock: \"" + words[1] + "\" is not a speed from 0.1 to 100");
        settings.speed = factor;
    } else if (words[0] == "step" && words.size() == 2) {
        std::int64_t milliseconds = 0;
        if (!readTime(words[1], milliseconds))
            return jsonError(req, http::status::bad_request, "clock: \"" + words[1] + "\" is not a time");
        // A step of the clock is a "wait" of the session, recorded as one.
        return step(req, "wait " + words[1]);
    } else {
        return jsonError(req, http::status::bad_request, "clock: say pause, run, speed FACTOR or step TIME");
    }
    feed_.publishClock();
    return makeResponse(req, http::status::ok, "application/json", feed_.clockMessage());
}

response web_routes::record(const request& req)
{
    // The session records from the start; the button shows what it holds
    // and writes it to the one file the server may write, --record's.
    if (req.body().find_first_not_of(" \t\r\n") != std::string::npos)
        return jsonError(req, http::status::bad_request, "record: send an empty body; the answer is the recording");
    std::string scenario = adapter_.session().scenarioText();
    std::string error;
    if (!settings_.record.empty() && !adapter_.session().write(settings_.record, error))
        return jsonError(req, http::status::internal_server_error, error);
    json::writer out;
    out.beginObject().key("scenario").value(scenario).key("file");
    if (settings_.record.empty())
        out.null();
    else
        out.value(settings_.record);
    out.endObject();
    return makeResponse(req, http::status::ok, "application/json", out.take());
}

reply web_routes::image(const request& req, const std::string& path)
{
    std::string name;
    if (!percentDecode(path.substr(std::string("/images/").size()), name))
        return plainError(req, http::status::bad_request, "bad escape in " + path);
    bool refused = false;
    std::string why;
    std::string file = findImage(settings_.imageFolders, name, refused, why);
    if (file.empty())
        return plainError(req, refused ? http::status::bad_request : http::status::not_found, why);
    // Sent a piece at a time as it is read: a client that reads slowly
    // holds a small buffer, not the image.
    boost::beast::error_code opened;
    http::file_body::value_type body;
    body.open(file.c_str(), boost::beast::file_mode::scan, opened);
    if (opened)
        return plainError(req, http::status::not_found, "no image " + name);
    if (body.size() > maxImageBytes)
        return plainError(req, http::status::payload_too_large, "image too large to serve");
    file_response res{http::status::ok, req.version()};
    res.set(http::field::server, "panel_host");
    res.set(http::field::content_type, contentType(file));
    res.set(http::field::cache_control, "no-store");
    res.set("X-Content-Type-Options", "nosniff");
    res.keep_alive(req.keep_alive());
    res.body() = std::move(body);
    res.prepare_payload();
    return res;
}

std::optional<response> web_routes::page(const request& req, const std::string& path)
{
    const page_asset* asset = findPageAsset(path == "/" ? "/index.html" : path);
    if (asset == nullptr)
        return std::nullopt;
    response res = makeResponse(req, http::status::ok, contentType(asset->path),
                                std::string(reinterpret_cast<const char*>(asset->data), asset->size));
    res.set("Content-Security-Policy", "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:");
    return res;
}

}  // namespace web
