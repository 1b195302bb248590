// access_token: the key a browser view beyond loopback asks of every
// request. It is made at start from the system's random source, or read
// from --token-file so that it survives a restart; the URL printed carries
// it once (?token=), a browser keeps it in a cookie, a program sends it as
// "Authorization: Bearer KEY".
//
// No Beast here: these read and write header values as plain text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace web {

// The characters a key may hold: they need no escape in a URL or a cookie.
constexpr std::size_t minTokenLength = 32;
constexpr std::size_t maxTokenLength = 256;

// A new key: 24 bytes (192 bits) of the system's random source, as 48 hex
// digits. False, with `error`, when the source cannot be read.
bool makeToken(std::string& token, std::string& error);

// The key in `file` (its first line). A file that does not exist is made,
// readable by its owner alone, with a new key, and `made` is set. False,
// with `error`, when the file can be read or written by others (a key
// others can read is no key), cannot be read or written, or holds no key:
// at least 32 of the characters letters, digits, '-', '_', '.', '~'.
bool tokenFromFile(const std::string& file, std::string& token, bool& made, std::string& error);

// Whether `given` is the key, in a time that depends on the key's length
// only, never on how much of it a guess got right.
bool sameToken(std::string_view given, std::string_view key);

// "Bearer KEY" -> KEY.
std::optional<std::string> bearerToken(std::string_view authorization);
// The value of cookie `name` in a Cookie header ("a=1; name=KEY").
std::optional<std::string> cookieValue(std::string_view header, std::string_view name);
// The value of `name` in the target's query ("/?token=KEY"), %XX decoded.
std::optional<std::string> queryValue(std::string_view target, std::string_view name);
// The target without `name` in its query: "/?token=KEY" -> "/".
std::string withoutQueryValue(std::string_view target, std::string_view name);

}  // namespace web
