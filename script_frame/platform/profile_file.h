// Reading one value from a Windows-style profile (ini) file:
//
//   [Database]
//   DatabaseSize_1=64
//
// On Windows this is GetPrivateProfileStringA. Elsewhere a reader that keeps
// the rules this system relies on: section and key names match without
// regard to case, blanks around names and values are trimmed, the first
// matching key of the first matching section wins, lines starting with ';'
// are comments, CRLF and LF line ends read the same, and a missing file,
// section or key yields `fallback`. A backslash-separated path is read with
// '/' separators.
#pragma once

#include <cstdint>

namespace zelm_platform {

// Copies the value (or `fallback`) into `result`, cut to `size` - 1 bytes and
// NUL-terminated, and returns the number of bytes copied without the NUL.
// `size` 0 or a null `result` copies nothing and returns 0. Never throws.
std::uint32_t readProfileString(const char* section, const char* key, const char* fallback,
                                char* result, std::uint32_t size, const char* path) noexcept;

}  // namespace zelm_platform
