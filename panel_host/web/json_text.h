// json_text: the little JSON the web view writes. The page sends plain text
// (scenario lines, clock words), so nothing here reads JSON.
#pragma once

#include <cstdint>
#include <string>

namespace json {

// `text` as a JSON string literal, quotes included, always well-formed UTF-8
// so a name with stray bytes cannot break the page. Bytes that are not UTF-8
// become "\ufffd": one for each maximal ill-formed subsequence (see
// text/utf8.h), as Unicode recommends and as the browser's own decoder
// counts them, so "\xE2\x96" (a character cut short) is one U+FFFD, while
// "\xED\xA0\x80" (a surrogate), "\xC0\xAF" (an overlong '/') and
// "\xF5\x80" are one for every byte. Controls, '"' and '\\' are escaped.
std::string quote(const std::string& text);

// Builds one JSON value piece by piece; commas are placed by the writer.
class writer {
public:
    writer& beginObject();
    writer& endObject();
    writer& beginArray();
    writer& endArray();
    writer& key(const std::string& name);
    writer& value(const std::string& text);
    writer& value(const char* text) { return value(std::string(text)); }
    writer& value(std::int64_t number);
    writer& value(int number) { return value(static_cast<std::int64_t>(number)); }
    writer& value(double number);
    writer& value(bool flag);
    writer& null();
    // A value already written as JSON.
    writer& raw(const std::string& json);

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void separate();
    std::string out_;
    bool first_ = true;  // no value yet at this nesting level
    bool afterKey_ = false;
};

}  // namespace json
