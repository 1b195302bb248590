#include "web/json_text.h"

#include <cmath>
#include <cstdio>

#include "text/utf8.h"

namespace json {

std::string quote(const std::string& text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const utf8::sequence read = utf8::decode(text, i);
            if (read.valid)
                out.append(text, i, read.length);
            else
                out += "\\ufffd";  // one for the whole ill-formed run, as a browser decodes it
            i += read.length;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
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
