# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#
#   cmake --preset mingw      (scripts/windows-check does everything)
#
# Libraries Debian ships only for Linux (pugixml, GoogleTest) are built for
# the target by scripts/windows-deps into ZELM_MINGW_DEPS, which is searched
# here like a sysroot. Tests run under Wine as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT DEFINED ZELM_MINGW_DEPS AND DEFINED ENV{ZELM_MINGW_DEPS})
  set(ZELM_MINGW_DEPS "$ENV{ZELM_MINGW_DEPS}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZELM_MINGW_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${ZELM_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libgcc, libstdc++, winpthread) goes into each binary, so the
# DLLs and test programs import system DLLs and each other only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine (see wine-run). A persistent wineserver must be
# running while CTest runs, or CTest waits for Wine's background services.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
