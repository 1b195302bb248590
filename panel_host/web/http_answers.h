// http_answers: the request and response types the browser view's
// connections, routes and server share, and the answers they all build the
// same way (no caching, no sniffing, keep-alive as the request asked).
//
// An answer's body is shared, not copied: the whole state is built once and
// handed to every GET and every page that asks while it holds. An image is
// sent from its file a piece at a time, never read whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http.hpp>
#include <boost/optional.hpp>

namespace web {

namespace http = boost::beast::http;
using request = http::request<http::string_body>;

// A body that many answers may hold at once: a text that does not change
// once built.
struct shared_text_body {
    using value_type = std::shared_ptr<const std::string>;

    static std::uint64_t size(const value_type& body) { return body ? body->size() : 0; }

    class writer {
    public:
        using const_buffers_type = boost::asio::const_buffer;
        template <bool isRequest, class Fields>
        writer(const http::header<isRequest, Fields>&, const value_type& body) : body_(body)
        {
        }
        void init(boost::beast::error_code& ec) { ec = {}; }
        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& ec)
        {
            ec = {};
            if (!body_ || body_->empty())
                return boost::none;
            return {{const_buffers_type(body_->data(), body_->size()), false}};
        }

    private:
        const value_type& body_;
    };
};

using response = http::response<shared_text_body>;
using file_response = http::response<http::file_body>;
// What a request is answered with: a text, or a file sent as it is read.
using reply = std::variant<response, file_response>;

// Which connection a request came on: the client's address (for the log of
// refused requests) and the address of ours that it reached (a server on
// every address answers the names of the one reached).
struct connection_info {
    std::string client;  // "10.0.0.7"
    std::string local;   // "192.168.1.5", "::1"
};

response makeResponse(const request& req, http::status status, const std::string& type, std::string body);
response makeResponse(const request& req, http::status status, const std::string& type,
                      std::shared_ptr<const std::string> body);
// {"error": message}: how the API answers what it cannot do.
response jsonError(const request& req, http::status status, const std::string& message);
// The message as a line of text: how the page's files answer.
response plainError(const request& req, http::status status, const std::string& message);

// The text of an answer's body (for the tests and the step's own answer).
inline const std::string& bodyOf(const response& res)
{
    static const std::string none;
    return res.body() ? *res.body() : none;
}

}  // namespace web
