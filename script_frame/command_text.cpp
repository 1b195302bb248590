#include "command_text.h"

#include <cstdlib>
#include <cstring>

namespace {
// Every unused part points here, so a reader never meets a null text.
const char emptyText[1] = {'\0'};
}  // namespace

commandText::commandText(const char* text) noexcept
    : command(emptyText), value(emptyText), subCount(0), hasValue(false), buffer(nullptr)
{
    for (const char*& sub : subs)
        sub = emptyText;
    if (text == nullptr || text[0] == '\0')
        return;

    const std::size_t length = std::strlen(text);
    buffer = static_cast<char*>(std::malloc(length + 1));
    if (buffer == nullptr)
        return;
    std::memcpy(buffer, text, length + 1);

    for (char* at = buffer; *at != '\0' && subCount < maxSubs; ++at) {
        if (*at == '.') {
            if (command == emptyText)
                command = buffer;
            *at = '\0';
            subs[subCount++] = at + 1;
        } else if (*at == '=') {
            if (command == emptyText)
                command = buffer;
            *at = '\0';
            hasValue = true;
            value = at + 1;
            break;
        }
    }
    if (command == emptyText)
        command = buffer;
}

commandText::~commandText() { std::free(buffer); }
