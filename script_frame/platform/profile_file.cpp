// This system's reader of Windows profile files, by the rules of
// GetPrivateProfileStringA (checked against it by profile_differential/):
// - CR, LF and CRLF each end a line; a missing last line end is no matter.
// - Blanks are space, tab, VT, FF, CR, LF and Ctrl-Z (0x1A); they are trimmed
//   around each line, around section and key names (in the file and as
//   asked for) and around values.
// - "[name]" starts a section; the name runs to the last ']' of the line and
//   what follows it is ignored. A line starting with '[' without a ']' is a
//   key line like any other. Lines before the first section header form a
//   section with the empty name.
// - A line starting with ';' is a comment.
// - "name=value" splits at the first '='. A key line without '=' has no
//   value: asking for it gives the default.
// - Section and key names match without regard to the case of ASCII letters;
//   only the first section of a name is read, and in it only the first line
//   of a key, whatever later lines say.
// - A value in a matching pair of quotes, single or double, is read without
//   them; a lone quote or a pair that does not match stays.
// - A NUL byte of the file ends the name or value it stands in.
// - The default (empty when null) loses its trailing spaces and a matching
//   pair of quotes.
// - The value or default is cut to size - 1 bytes and NUL-terminated; the
//   count returned leaves the NUL out.
#include "platform/profile_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace zelm_platform {

namespace {

struct text_span {
    const char* begin;
    const char* end;
    bool empty() const { return begin == end; }
    std::size_t length() const { return static_cast<std::size_t>(end - begin); }
};

// Blanks as the API trims them: white space and Ctrl-Z, the old end-of-file
// mark that some editors still leave in text files.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

text_span trimmed(text_span s)
{
    while (s.begin < s.end && isBlank(*s.begin))
        ++s.begin;
    while (s.end > s.begin && isBlank(s.end[-1]))
        --s.end;
    return s;
}

// A name or value is a C string to the API: a NUL byte of the file ends it.
text_span cutAtNul(text_span s)
{
    const char* nul = static_cast<const char*>(std::memchr(s.begin, '\0', s.length()));
    return {s.begin, nul != nullptr ? nul : s.end};
}

// A value enclosed in a matching pair of quotes, single or double, without them.
text_span unquoted(text_span s)
{
    if (s.length() >= 2 && (*s.begin == '"' || *s.begin == '\'') && s.end[-1] == *s.begin)
        return {s.begin + 1, s.end - 1};
    return s;
}

// Only ASCII letters match without regard to case; other bytes match exactly.
unsigned char folded(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

bool sameName(text_span a, text_span b)
{
    if (a.length() != b.length())
        return false;
    for (std::size_t i = 0; i < a.length(); ++i)
        if (folded(static_cast<unsigned char>(a.begin[i])) != folded(static_cast<unsigned char>(b.begin[i])))
            return false;
    return true;
}

std::uint32_t copyOut(text_span s, char* result, std::uint32_t size)
{
    std::size_t length = s.length();
    if (length > size - 1)
        length = size - 1;
    if (length > 0)
        std::memcpy(result, s.begin, length);
    result[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

// The next line of [*at, end) without its line end; false when none is left.
// CR and LF each end a line, so CRLF, LF and a lone CR all read alike.
bool nextLine(const char*& at, const char* end, text_span& line)
{
    if (at >= end)
        return false;
    const char* lineEnd = at;
    while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r')
        ++lineEnd;
    line = {at, lineEnd};
    at = lineEnd < end ? lineEnd + 1 : end;
    return true;
}

const char* lastOf(text_span s, char c)
{
    for (const char* at = s.end; at > s.begin; --at)
        if (at[-1] == c)
            return at - 1;
    return nullptr;
}

// Finds `key` in the first section named `section`. Lines before the first
// section header form a section with the empty name. False when the file
// has no such key, or has it without '=' (the API then gives the default).
bool findValue(text_span text, text_span section, text_span key, text_span& value)
{
    const char* at = text.begin;
    bool inSection = section.empty();
    bool sectionSeen = inSection;
    text_span line{};
    while (nextLine(at, text.end, line)) {
        line = trimmed(line);
        if (line.empty())
            continue;
        // A section header's name runs to the last ']'; a line starting
        // with '[' without one is read as a key line.
        const char* close = *line.begin == '[' ? lastOf(line, ']') : nullptr;
        if (close != nullptr) {
            if (sectionSeen)
                return false;  // only the first section of that name counts
            inSection = sameName(cutAtNul(trimmed({line.begin + 1, close})), section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection || *line.begin == ';')
            continue;  // ';' starts a comment
        const char* equals = static_cast<const char*>(std::memchr(line.begin, '=', line.length()));
        if (!sameName(cutAtNul(trimmed({line.begin, equals != nullptr ? equals : line.end})), key))
            continue;
        if (equals == nullptr)
            return false;  // the first line of that name has no value
        value = unquoted(cutAtNul(trimmed({equals + 1, line.end})));
        return true;
    }
    return false;
}

// The whole file in memory from malloc (the caller frees it), or null.
char* readWholeFile(std::FILE* file, std::size_t& length)
{
    std::size_t room = 4096;
    char* data = static_cast<char*>(std::malloc(room));
    length = 0;
    while (data != nullptr) {
        length += std::fread(data + length, 1, room - length, file);
        if (length < room) {
            if (std::ferror(file) == 0)
                return data;
            std::free(data);
            return nullptr;
        }
        char* grown = room <= static_cast<std::size_t>(-1) / 2 ? static_cast<char*>(std::realloc(data, room * 2))
                                                               : nullptr;
        if (grown == nullptr)
            std::free(data);
        data = grown;
        room *= 2;
    }
    return nullptr;
}

}  // namespace

std::uint32_t readProfileText(const char* section, const char* key, const char* fallback, char* result,
                              std::uint32_t size, const char* text, std::size_t length) noexcept
{
    if (result == nullptr || size == 0)
        return 0;
    if (fallback == nullptr)
        fallback = "";
    // The default loses its trailing spaces and a pair of quotes around it.
    text_span value{fallback, fallback + std::strlen(fallback)};
    while (value.end > value.begin && value.end[-1] == ' ')
        --value.end;
    value = unquoted(value);
    if (section != nullptr && key != nullptr && text != nullptr) {
        const text_span sectionName = trimmed({section, section + std::strlen(section)});
        const text_span keyName = trimmed({key, key + std::strlen(key)});
        findValue({text, text + length}, sectionName, keyName, value);
    }
    return copyOut(value, result, size);
}

std::uint32_t readProfileFile(const char* section, const char* key, const char* fallback, char* result,
                              std::uint32_t size, const char* path) noexcept
{
    if (result == nullptr || size == 0)
        return 0;
    std::FILE* file = nullptr;
    if (path != nullptr) {
#if defined(_WIN32)
        file = std::fopen(path, "rb");
#else
        const std::size_t pathLength = std::strlen(path);
        char* localPath = static_cast<char*>(std::malloc(pathLength + 1));
        if (localPath != nullptr) {
            for (std::size_t i = 0; i <= pathLength; ++i)
                localPath[i] = path[i] == '\\' ? '/' : path[i];
            file = std::fopen(localPath, "rb");
            std::free(localPath);
        }
#endif
    }
    std::size_t length = 0;
    char* text = file != nullptr ? readWholeFile(file, length) : nullptr;
    if (file != nullptr)
        std::fclose(file);
    // A file that cannot be opened or read reads as one without the key.
    const std::uint32_t copied =
        readProfileText(section, key, fallback, result, size, text, text != nullptr ? length : 0);
    std::free(text);
    return copied;
}

std::uint32_t readProfileString(const char* section, const char* key, const char* fallback, char* result,
                                std::uint32_t size, const char* path) noexcept
{
    if (result == nullptr || size == 0)
        return 0;
#if defined(_WIN32)
    return GetPrivateProfileStringA(section, key, fallback, result, size, path);
#else
    return readProfileFile(section, key, fallback, result, size, path);
#endif
}

}  // namespace zelm_platform
