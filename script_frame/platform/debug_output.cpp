#include "platform/debug_output.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <cstdio>
#endif

namespace zelm_platform {

void debugOutput(const char* message) noexcept
{
    if (message == nullptr)
        message = "";
#if defined(_WIN32)
    OutputDebugStringA(message);
#else
    // A terminal or log file has no message boundaries of its own, so each
    // message ends its line here.
    std::fputs(message, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
#endif
}

}  // namespace zelm_platform
