# 32-bit Windows, MSVC C++ ABI, built with clang and lld-link (see
# msvc-abi.cmake). The import libraries come from libwine-dev:i386.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZELM_MSVC_TRIPLE i686-pc-windows-msvc)
set(ZELM_MSVC_IMPORT_LIBS /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
