#include "text/utf8.h"

namespace utf8 {

namespace {

// What a lead byte promises: the length of its sequence and the range of
// the byte after it. Only the second byte's range depends on the lead
// (that is where overlong forms, surrogates and code points above U+10FFFF
// are shut out); every later byte is any of 80..BF.
struct lead_rule {
    std::size_t length;  // 0: this byte starts no sequence
    unsigned low, high;
    char32_t bits;  // the lead's share of the code point
};

lead_rule ruleFor(unsigned char lead)
{
    if (lead < 0x80)
        return {1, 0, 0, lead};
    if (lead < 0xC2)  // a continuation byte, or C0 / C1 (overlong two-byte forms)
        return {0, 0, 0, 0};
    if (lead < 0xE0)
        return {2, 0x80, 0xBF, lead & 0x1Fu};
    if (lead < 0xF0) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;   // E0 80..9F: overlong
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;  // ED A0..BF: surrogates
        return {3, low, high, lead & 0x0Fu};
    }
    if (lead < 0xF5) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;   // F0 80..8F: overlong
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;  // F4 90..BF: above U+10FFFF
        return {4, low, high, lead & 0x07u};
    }
    return {0, 0, 0, 0};  // F5..FF: above U+10FFFF or no UTF-8 at all
}

}  // namespace

sequence decode(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const lead_rule rule = ruleFor(byte(at));
    sequence read;
    if (rule.length == 0) {
        read.length = 1;
        return read;
    }
    char32_t point = rule.bits;
    std::size_t taken = 1;
    while (taken < rule.length) {
        if (at + taken >= text.size())
            break;
        const unsigned next = byte(at + taken);
        const unsigned low = taken == 1 ? rule.low : 0x80u;
        const unsigned high = taken == 1 ? rule.high : 0xBFu;
        if (next < low || next > high)
            break;
        point = (point << 6) | (next & 0x3Fu);
        ++taken;
    }
    read.length = taken;
    if (taken == rule.length) {
        read.point = point;
        read.valid = true;
    }
    return read;
}

bool wellFormed(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const sequence read = decode(text, at);
        if (!read.valid)
            return false;
        at += read.length;
    }
    return true;
}

}  // namespace utf8
