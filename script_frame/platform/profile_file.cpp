#include "platform/profile_file.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <cstdio>
#  include <cstring>
#  include <memory>
#  include <string>
#endif

namespace zelm_platform {

#if defined(_WIN32)

std::uint32_t readProfileString(const char* section, const char* key, const char* fallback,
                                char* result, std::uint32_t size, const char* path) noexcept
{
    if (result == nullptr || size == 0)
        return 0;
    return GetPrivateProfileStringA(section, key, fallback, result, size, path);
}

#else

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// [begin, end) without blanks at either side.
void trim(const char*& begin, const char*& end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

bool sameName(const char* begin, const char* end, const char* name)
{
    const std::size_t length = static_cast<std::size_t>(end - begin);
    if (std::strlen(name) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        auto a = static_cast<unsigned char>(begin[i]);
        auto b = static_cast<unsigned char>(name[i]);
        if (a >= 'A' && a <= 'Z')
            a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

std::uint32_t copyOut(const char* begin, const char* end, char* result, std::uint32_t size)
{
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length > size - 1)
        length = size - 1;
    std::memcpy(result, begin, length);
    result[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

// Reads one line (without its line end) into `line`; false at end of file.
bool readLine(std::FILE* file, std::string& line)
{
    line.clear();
    int c = std::getc(file);
    if (c == EOF)
        return false;
    while (c != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = std::getc(file);
    }
    return true;
}

// The value's bounds in `line`, or false when the key is not in the file.
bool findValue(std::FILE* file, const char* section, const char* key, std::string& line,
               const char*& valueBegin, const char*& valueEnd)
{
    bool inSection = false;
    bool sectionSeen = false;
    while (readLine(file, line)) {
        const char* begin = line.data();
        const char* end = begin + line.size();
        trim(begin, end);
        if (begin == end || *begin == ';')
            continue;
        if (*begin == '[') {
            if (sectionSeen)
                return false;  // only the first section of that name counts
            const char* close = static_cast<const char*>(std::memchr(begin, ']', static_cast<std::size_t>(end - begin)));
            const char* nameBegin = begin + 1;
            const char* nameEnd = close != nullptr ? close : end;
            trim(nameBegin, nameEnd);
            inSection = sameName(nameBegin, nameEnd, section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection)
            continue;
        const char* equals = static_cast<const char*>(std::memchr(begin, '=', static_cast<std::size_t>(end - begin)));
        if (equals == nullptr)
            continue;
        const char* nameBegin = begin;
        const char* nameEnd = equals;
        trim(nameBegin, nameEnd);
        if (!sameName(nameBegin, nameEnd, key))
            continue;
        valueBegin = equals + 1;
        valueEnd = end;
        trim(valueBegin, valueEnd);
        return true;
    }
    return false;
}

}  // namespace

std::uint32_t readProfileString(const char* section, const char* key, const char* fallback,
                                char* result, std::uint32_t size, const char* path) noexcept
{
    if (result == nullptr || size == 0)
        return 0;
    if (fallback == nullptr)
        fallback = "";
    const char* fallbackEnd = fallback + std::strlen(fallback);
    if (section == nullptr || key == nullptr || path == nullptr)
        return copyOut(fallback, fallbackEnd, result, size);

    try {
        std::string localPath(path);
        for (char& c : localPath)
            if (c == '\\')
                c = '/';
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(localPath.c_str(), "rb"), &std::fclose);
        if (file == nullptr)
            return copyOut(fallback, fallbackEnd, result, size);
        std::string line;
        const char* valueBegin = nullptr;
        const char* valueEnd = nullptr;
        if (findValue(file.get(), section, key, line, valueBegin, valueEnd))
            return copyOut(valueBegin, valueEnd, result, size);
    } catch (...) {
        // Out of memory for a line: read as not found.
    }
    return copyOut(fallback, fallbackEnd, result, size);
}

#endif

}  // namespace zelm_platform
