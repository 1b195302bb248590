// json_text: the little JSON the web view writes. The page sends plain text
// (scenario lines, clock words), so nothing here reads JSON.
#pragma once

#include <cstdint>
#include <string>

namespace json {

// `text` as a JSON string literal, quotes included. Bytes that are not valid
// UTF-8 become U+FFFD, so a name with stray bytes cannot break the page.
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
