#include "replay_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

[[noreturn]] void outOfMemory()
{
    std::fputs("replay_host: out of memory\n", stderr);
    std::exit(2);
}

void* allocate(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        outOfMemory();
    return block;
}

char* copyText(const char* text, std::size_t length)
{
    char* copy = static_cast<char*>(allocate(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void addRecordText(text_buffer& out, const char* text)
{
    if (text == nullptr) {
        out.add("null");
        return;
    }
    out.add('"');
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        switch (byte) {
        case '\\':
            out.add("\\\\");
            break;
        case '"':
            out.add("\\\"");
            break;
        case '\n':
            out.add("\\n");
            break;
        case '\r':
            out.add("\\r");
            break;
        case '\t':
            out.add("\\t");
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                out.add(escaped);
            } else {
                out.add(*c);
            }
        }
    }
    out.add('"');
}
