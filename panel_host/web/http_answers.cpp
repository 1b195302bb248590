#include "web/http_answers.h"

#include "web/json_text.h"

namespace web {

response makeResponse(const request& req, http::status status, const std::string& type,
                      std::shared_ptr<const std::string> body)
{
    response res{status, req.version()};
    res.set(http::field::server, "panel_host");
    res.set(http::field::content_type, type);
    res.set(http::field::cache_control, "no-store");
    res.set("X-Content-Type-Options", "nosniff");
    res.keep_alive(req.keep_alive());
    res.body() = std::move(body);
    res.prepare_payload();
    return res;
}

response makeResponse(const request& req, http::status status, const std::string& type, std::string body)
{
    return makeResponse(req, status, type, std::make_shared<const std::string>(std::move(body)));
}

response jsonError(const request& req, http::status status, const std::string& message)
{
    json::writer out;
    out.beginObject().key("error").value(message).endObject();
    return makeResponse(req, status, "application/json", out.take());
}

response plainError(const request& req, http::status status, const std::string& message)
{
    return makeResponse(req, status, "text/plain; charset=utf-8", message + "\n");
}

}  // namespace web
