#include "record_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "replay_text.h"

bool readRecord(const char* path, record_file& record)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    text_buffer all;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        all.add(chunk, got);
    std::fclose(file);
    record.path = path;
    int capacity = 0;
    const char* start = all.text();
    while (*start != '\0') {
        const char* end = std::strchr(start, '\n');
        std::size_t length = end == nullptr ? std::strlen(start) : static_cast<std::size_t>(end - start);
        if (length > 0 && start[length - 1] == '\r')
            --length;
        if (record.lineCount == capacity) {
            capacity = capacity == 0 ? 256 : capacity * 2;
            auto** grown =
                static_cast<char**>(std::realloc(record.lines, sizeof(char*) * static_cast<std::size_t>(capacity)));
            if (grown == nullptr)
                outOfMemory();
            record.lines = grown;
        }
        record.lines[record.lineCount++] = copyText(start, length);
        if (end == nullptr)
            break;
        start = end + 1;
    }
    return true;
}

[[noreturn]] void badRecord(const record_file& record, int line, const char* message)
{
    std::fprintf(stderr, "%s:%d: %s\n", record.path, line + 1, message);
    std::exit(2);
}

bool readNumber(const char*& at, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(at, &end, 10);
    if (end == at || (*end != ' ' && *end != '\0'))
        return false;
    at = *end == ' ' ? end + 1 : end;
    return true;
}

bool readWord(const char*& at, const char* word)
{
    const std::size_t length = std::strlen(word);
    if (std::strncmp(at, word, length) != 0 || (at[length] != ' ' && at[length] != '\0'))
        return false;
    at += at[length] == ' ' ? length + 1 : length;
    return true;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool readText(const char*& at, char*& text)
{
    text = nullptr;
    if (readWord(at, "null"))
        return true;
    if (*at != '"')
        return false;
    text_buffer out;
    out.add("", 0);
    for (++at; *at != '"'; ++at) {
        if (*at == '\0')
            return false;
        if (*at != '\\') {
            out.add(*at);
            continue;
        }
        ++at;
        switch (*at) {
        case '\\':
            out.add('\\');
            break;
        case '"':
            out.add('"');
            break;
        case 'n':
            out.add('\n');
            break;
        case 'r':
            out.add('\r');
            break;
        case 't':
            out.add('\t');
            break;
        case 'x': {
            const int high = hexDigit(at[1]);
            const int low = high < 0 ? -1 : hexDigit(at[2]);
            if (low < 0)
                return false;
            out.add(static_cast<char>(high * 16 + low));
            at += 2;
            break;
        }
        default:
            return false;
        }
    }
    ++at;
    if (*at == ' ')
        ++at;
    else if (*at != '\0')
        return false;
    text = out.release();
    return true;
}
