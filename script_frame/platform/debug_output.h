// The debugger output channel: OutputDebugStringA on Windows; elsewhere
// standard error, one message per line.
#pragma once

namespace zelm_platform {

// Writes `message` (null reads as empty) as one message. Never throws.
void debugOutput(const char* message) noexcept;

}  // namespace zelm_platform
