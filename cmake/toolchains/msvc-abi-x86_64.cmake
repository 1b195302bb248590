# 64-bit Windows, MSVC C++ ABI, built with clang and lld-link (see msvc-abi.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZELM_MSVC_TRIPLE x86_64-pc-windows-msvc)
set(ZELM_MSVC_IMPORT_LIBS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
