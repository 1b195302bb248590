// The parsing of event and parameter texts: any bytes up to the first NUL.
// Every part must lie inside the record's own copy (or be the shared empty
// text), the parts must be NUL-terminated, and at most 32 subs may exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command_text.h"
#include "fuzz_support.h"

namespace {

// Inside the buffer, or a text of length 0 outside it.
void checkPart(const commandText& parsed, const char* part, std::size_t bufferLength)
{
    check(part != nullptr);
    if (parsed.buffer != nullptr && part >= parsed.buffer && part <= parsed.buffer + bufferLength)
        check(std::strlen(part) <= bufferLength);
    else
        check(part[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);  // cut at the first NUL by the parser
    const commandText parsed(text.c_str());
    const std::size_t length = std::strlen(text.c_str());
    check(parsed.subCount >= 0 && parsed.subCount <= commandText::maxSubs);
    checkPart(parsed, parsed.command, length);
    checkPart(parsed, parsed.value, length);
    for (int sub = 0; sub < commandText::maxSubs; ++sub)
        checkPart(parsed, parsed.subs[sub], length);
    // The value is everything after the first '=', unless 32 subs came
    // before it: then the rest, '=' and all, stays in the last sub.
    const char* equals = std::strchr(text.c_str(), '=');
    std::size_t dotsBefore = 0;
    for (const char* at = text.c_str(); equals != nullptr && at < equals; ++at)
        dotsBefore += *at == '.' ? 1 : 0;
    const bool valueExpected = equals != nullptr && dotsBefore < static_cast<std::size_t>(commandText::maxSubs);
    check(parsed.hasValue == valueExpected);
    if (valueExpected)
        check(std::strcmp(parsed.value, equals + 1) == 0);
    else
        check(parsed.value[0] == '\0');
    // The command is the text before the first '.' or '='.
    const std::size_t commandLength = std::strcspn(text.c_str(), ".=");
    check(std::strlen(parsed.command) == commandLength);
    check(std::strncmp(parsed.command, text.c_str(), commandLength) == 0);

    const commandText none(nullptr);
    check(none.buffer == nullptr && none.subCount == 0 && !none.hasValue && none.command[0] == '\0');
    return 0;
}
