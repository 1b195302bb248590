# 32-bit Windows, MSVC C++ ABI, built with clang and lld-link (see msvc-abi.cmake).
set(CMAKE_SYSTEM_PROCESSOR X86)
set(ZELM_MSVC_TRIPLE i686-pc-windows-msvc)
if(NOT DEFINED ZELM_MSVC_IMPORT_LIBS)
  set(ZELM_MSVC_IMPORT_LIBS $ENV{ZELM_MSVC_IMPORT_LIBS})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
