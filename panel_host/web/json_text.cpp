#include "web/json_text.h"

#include <cmath>
#include <cstdio>

namespace json {

namespace {

// Length of the valid UTF-8 sequence at `at`, or 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    if (length == 2 && lead < 0xC2)
        return 0;  // overlong
    return length;
}

}  // namespace

std::string quote(const std::string& text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t length = utf8Length(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

void writer::separate()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_)
        out_ += ',';
    first_ = false;
}

writer& writer::beginObject()
{
    separate();
    out_ += '{';
    first_ = true;
    return *this;
}

writer& writer::endObject()
{
    out_ += '}';
    first_ = false;
    return *this;
}

writer& writer::beginArray()
{
    separate();
    out_ += '[';
    first_ = true;
    return *this;
}

writer& writer::endArray()
{
    out_ += ']';
    first_ = false;
    return *this;
}

writer& writer::key(const std::string& name)
{
    separate();
    out_ += quote(name);
    out_ += ':';
    afterKey_ = true;
    return *this;
}

writer& writer::value(const std::string& text)
{
    separate();
    out_ += quote(text);
    return *this;
}

writer& writer::value(std::int64_t number)
{
    separate();
    out_ += std::to_string(number);
    return *this;
}

writer& writer::value(double number)
{
    separate();
    if (!std::isfinite(number)) {
        out_ += "null";
        return *this;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", number);
    out_ += text;
    return *this;
}

writer& writer::value(bool flag)
{
    separate();
    out_ += flag ? "true" : "false";
    return *this;
}

writer& writer::null()
{
    separate();
    out_ += "null";
    return *this;
}

writer& writer::raw(const std::string& json)
{
    separate();
    out_ += json;
    return *this;
}

}  // namespace json
