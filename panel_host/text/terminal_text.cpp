#include "text/terminal_text.h"

#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#  include <clocale>
#  include <cwchar>
#endif

#include "text/utf8.h"

namespace {

void appendHex(std::string& out, const char* prefix, unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%s%0*x", prefix, digits, value);
    out += text;
}

struct range {
    char32_t first, last;
};

bool within(const range* ranges, std::size_t count, char32_t point)
{
    for (std::size_t i = 0; i < count; ++i)
        if (point >= ranges[i].first && point <= ranges[i].last)
            return true;
    return false;
}

// Where the C library cannot answer (Windows, or no UTF-8 locale): the
// common combining blocks and the East Asian wide and emoji ranges.
int tableWidth(char32_t point)
{
    static const range zero[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},  {0x0610, 0x061A},
                                 {0x064B, 0x065F}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},  {0x1AB0, 0x1AFF},
                                 {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x2060, 0x2064},  {0x20D0, 0x20FF},
                                 {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF}};
    static const range wide[] = {
        {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
        {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
        {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
        {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
        {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
        {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
        {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
        {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
        {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
        {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
        {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB},
        {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    if (within(zero, sizeof zero / sizeof zero[0], point))
        return 0;
    if (within(wide, sizeof wide / sizeof wide[0], point))
        return 2;
    return 1;
}

// Columns of one code point. ASCII is answered at once; the rest asks the
// C library's wcwidth under a UTF-8 locale of its own (the process's
// locale may well be "C"), so the width follows the system's Unicode data.
class column_counter {
public:
    column_counter()
    {
#if !defined(_WIN32)
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (utf8 != static_cast<locale_t>(nullptr) && sizeof(wchar_t) >= 4)
            previous_ = uselocale(utf8);
#endif
    }
    ~column_counter()
    {
#if !defined(_WIN32)
        if (previous_ != static_cast<locale_t>(nullptr))
            uselocale(previous_);
#endif
    }
    column_counter(const column_counter&) = delete;
    column_counter& operator=(const column_counter&) = delete;

    int operator()(char32_t point) const
    {
        if (point >= 0x20 && point < 0x7F)
            return 1;
#if !defined(_WIN32)
        if (previous_ != static_cast<locale_t>(nullptr)) {
            int width = wcwidth(static_cast<wchar_t>(point));
            // Unassigned and control code points: one column, as a
            // terminal shows a replacement for them.
            return width < 0 ? 1 : width;
        }
#endif
        return tableWidth(point);
    }

private:
#if !defined(_WIN32)
    locale_t previous_ = static_cast<locale_t>(nullptr);
#endif
};

}  // namespace

std::size_t appendSafe(std::string& out, std::string_view text, std::size_t at, bool keepNewlines)
{
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
        return 1;
    }
    if (c < 0x80) {
        if (c == '\n' && keepNewlines)
            out += '\n';
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            appendHex(out, "\\x", c, 2);
        return 1;
    }
    const utf8::sequence read = utf8::decode(text, at);
    if (!read.valid) {
        // Byte by byte: the rest of an ill-formed run are continuation
        // bytes, each shown the same way on the next call.
        appendHex(out, "\\x", c, 2);
        return 1;
    }
    if (read.point < 0xA0)
        appendHex(out, "\\u", static_cast<unsigned>(read.point), 4);
    else
        out.append(text.substr(at, read.length));
    return read.length;
}

std::string terminalSafe(std::string_view text, bool keepNewlines)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();)
        at += appendSafe(out, text, at, keepNewlines);
    return out;
}

std::string shortened(std::string_view text, std::size_t limit)
{
    // Cut on a character boundary before escaping, so the escapes of a
    // huge binary word are not built either.
    std::size_t end = 0, characters = 0;
    while (end < text.size() && characters < limit) {
        const utf8::sequence read = utf8::decode(text, end);
        end += read.valid ? read.length : 1;
        ++characters;
    }
    if (end >= text.size())
        return terminalSafe(text);
    return terminalSafe(text.substr(0, end)) + "… (" + std::to_string(text.size()) + " bytes)";
}

std::size_t displayWidth(std::string_view text)
{
    column_counter columns;
    std::size_t width = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        // A byte that is no character takes one column, as the terminal
        // shows one replacement character for it.
        const utf8::sequence read = utf8::decode(text, at);
        if (!read.valid) {
            ++width;
            ++at;
            continue;
        }
        width += static_cast<std::size_t>(columns(read.point));
        at += read.length;
    }
    return width;
}

std::string fitWidth(std::string_view text, std::size_t width, bool unicode)
{
    std::size_t have = displayWidth(text);
    if (have <= width)
        return std::string(text) + std::string(width - have, ' ');
    if (width == 0)
        return std::string();
    // Keep what fits in width-1 columns (combining marks stay with their
    // character), then the cut mark and a blank where a wide character
    // would have straddled the edge.
    column_counter columns;
    std::string cut;
    std::size_t used = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const utf8::sequence read = utf8::decode(text, at);
        const std::size_t w = read.valid ? static_cast<std::size_t>(columns(read.point)) : 1;
        const std::size_t length = read.valid ? read.length : 1;
        if (used + w > width - 1)
            break;
        cut.append(text.substr(at, length));
        used += w;
        at += length;
    }
    cut += std::string(width - 1 - used, ' ');
    cut += unicode ? "…" : "~";
    return cut;
}
