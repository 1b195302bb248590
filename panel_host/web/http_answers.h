// http_answers: the request and response types the browser view's
// connections, routes and server share, and the answers they all build the
// same way (no caching, no sniffing, keep-alive as the request asked).
#pragma once

#include <string>

#include <boost/beast/http.hpp>

namespace web {

namespace http = boost::beast::http;
using request = http::request<http::string_body>;
using response = http::response<http::string_body>;

response makeResponse(const request& req, http::status status, const std::string& type, std::string body);
// {"error": message}: how the API answers what it cannot do.
response jsonError(const request& req, http::status status, const std::string& message);
// The message as a line of text: how the page's files answer.
response plainError(const request& req, http::status status, const std::string& message);

}  // namespace web
