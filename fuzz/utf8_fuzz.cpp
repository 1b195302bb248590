// panel_host's one UTF-8 decoder against a second one: the C library's
// mbrtowc under C.UTF-8. Any bytes: both must agree at every place ours
// stops on whether a character starts there and which (the C library's
// code points above U+10FFFF, which Unicode does not have, count as not
// UTF-8), and each ill-formed run ours reports must be the longest start of
// a character the C library finds there (see text/c_library_utf8.h).
//
// Then the writers built on the decoder keep their promises: terminalSafe()
// and shownText() print no control character and only well-formed UTF-8,
// and json::quote() (where the web view is built) writes a literal that
// reads back as the text with one U+FFFD for each ill-formed run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/c_library_utf8.h"
#include "text/file_faults.h"
#include "text/terminal_text.h"
#include "text/utf8.h"

#if defined(ZELM_FUZZ_JSON)
#  include "web/json_text.h"
#endif

namespace {

// As fuzz_support.h's check(), without the frame that header brings in.
void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Printable, well-formed by both decoders, and no C0 or C1 control.
void checkTerminalText(const c_library_utf8& library, const std::string& shown)
{
    check(utf8::wellFormed(shown) && firstDifference(library, shown).empty());
    for (std::size_t at = 0; at < shown.size();) {
        const utf8::sequence read = utf8::decode(shown, at);
        check(read.point >= 0x20 && read.point != 0x7F && (read.point < 0x80 || read.point >= 0xA0));
        at += read.length;
    }
}

#if defined(ZELM_FUZZ_JSON)
void appendUtf8(std::string& out, char32_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// The text a JSON string literal stands for, as far as quote() writes
// them: the escapes \" \\ \n \r \t and \uXXXX below U+D800 (quote() writes
// no other).
std::string unquote(const std::string& literal)
{
    check(literal.size() >= 2 && literal.front() == '"' && literal.back() == '"');
    std::string text;
    for (std::size_t at = 1; at + 1 < literal.size(); ++at) {
        const char c = literal[at];
        check(c != '"' && static_cast<unsigned char>(c) >= 0x20);
        if (c != '\\') {
            text += c;
            continue;
        }
        check(at + 2 < literal.size());
        const char kind = literal[++at];
        if (kind == 'u') {
            check(at + 5 < literal.size());
            const unsigned long point = std::strtoul(literal.substr(at + 1, 4).c_str(), nullptr, 16);
            check(point < 0xD800 || (point >= 0xE000 && point <= 0xFFFF));
            appendUtf8(text, static_cast<char32_t>(point));
            at += 4;
        } else {
            check(kind == '"' || kind == '\\' || kind == 'n' || kind == 'r' || kind == 't');
            text += kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind == 't' ? '\t' : kind;
        }
    }
    return text;
}

void checkJson(const c_library_utf8& library, std::string_view bytes)
{
    const std::string quoted = json::quote(std::string(bytes));
    check(utf8::wellFormed(quoted) && firstDifference(library, quoted).empty());
    std::string expected;
    for (std::size_t at = 0; at < bytes.size();) {
        const utf8::sequence read = utf8::decode(bytes, at);
        if (read.valid)
            expected.append(bytes.substr(at, read.length));
        else
            appendUtf8(expected, utf8::replacement);
        at += read.length;
    }
    check(unquote(quoted) == expected);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const c_library_utf8 library;
    check(library.ready());
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string difference = firstDifference(library, bytes);
    if (!difference.empty()) {
        std::fprintf(stderr, "utf8_fuzz: %s\n", difference.c_str());
        std::abort();
    }
    // shownText() is terminalSafe() itself, or the start of it and "...".
    const std::string safe = terminalSafe(bytes);
    const std::string shown = shownText(std::string(bytes), 200);
    checkTerminalText(library, safe);
    checkTerminalText(library, shown);
    const std::size_t kept = shown.size() < 3 ? 0 : shown.size() - 3;
    check(shown == safe || (shown.compare(kept, 3, "...") == 0 && safe.compare(0, kept, shown, 0, kept) == 0));
#if defined(ZELM_FUZZ_JSON)
    checkJson(library, bytes);
#endif
    return 0;
}
