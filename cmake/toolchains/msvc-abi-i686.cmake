# 32-bit Windows, MSVC C++ ABI, built with clang and lld-link (see
# msvc-abi.cmake).
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZELM_MSVC_TRIPLE i686-pc-windows-msvc)
# The import libraries are made by scripts/msvc-deps (ZELM_MSVC_IMPORT_LIBS,
# set by the msvc-abi-x86 preset).
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
