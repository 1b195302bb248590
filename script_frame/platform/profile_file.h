// Reading one value from a Windows-style profile (ini) file:
//
//   [Database]
//   DatabaseSize_1=64
//
// On Windows this is GetPrivateProfileStringA. Elsewhere it is this system's
// own reader (readProfileFile), which reads the format by the API's rules;
// the rules are listed in profile_file.cpp. The Windows build compiles the
// own reader too, so that a differential test can hold the two side by side
// (profile_differential/).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelm_platform {

// Copies the value (or `fallback`) into `result`, cut to `size` - 1 bytes and
// NUL-terminated, and returns the number of bytes copied without the NUL.
// `size` 0 or a null `result` copies nothing and returns 0. Never throws.
std::uint32_t readProfileString(const char* section, const char* key, const char* fallback, char* result,
                                std::uint32_t size, const char* path) noexcept;

// This system's own reader with the same contract, on every platform. A
// backslash-separated path is read with '/' separators where '/' is the
// separator. A null section or key reads as one the file does not have (the
// API would list the file's section or key names instead; nothing here asks
// for such lists).
std::uint32_t readProfileFile(const char* section, const char* key, const char* fallback, char* result,
                              std::uint32_t size, const char* path) noexcept;

// The same over a file's contents already in memory (`length` bytes).
std::uint32_t readProfileText(const char* section, const char* key, const char* fallback, char* result,
                              std::uint32_t size, const char* text, std::size_t length) noexcept;

}  // namespace zelm_platform
