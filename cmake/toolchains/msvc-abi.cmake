# Cross-build for the MSVC C++ ABI with clang and lld-link, from Debian
# packages only. Included by msvc-abi-x86_64.cmake and msvc-abi-i686.cmake,
# which set ZELM_MSVC_TRIPLE and ZELM_MSVC_IMPORT_LIBS.
#
# - Headers: the C runtime and Windows headers of Wine (libwine-dev), and
#   libc++'s headers (libc++-14-dev) for the header-only pieces (<cstdint>,
#   <cstring>, <new> ...); no C++ library is linked. The system's own
#   include folders are left out (-nostdlibinc -nostdinc++).
# - Libraries: import libraries of the Universal C runtime, vcruntime140
#   (exception handling) and kernel32 (Wine's PE import libraries, or made
#   with llvm-dlltool), with no default libraries. What MSVC's static runtime
#   would add to each binary comes from msvc_runtime/.
set(CMAKE_SYSTEM_NAME Windows)
set(ZELM_MSVC_ABI ON)

find_program(ZELM_CLANG NAMES clang-14 clang REQUIRED)
find_program(ZELM_CLANGXX NAMES clang++-14 clang++ REQUIRED)
find_program(CMAKE_LINKER NAMES lld-link-14 lld-link REQUIRED)
find_program(CMAKE_AR NAMES llvm-ar-14 llvm-ar REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc-14 llvm-rc)
set(CMAKE_C_COMPILER ${ZELM_CLANG})
set(CMAKE_CXX_COMPILER ${ZELM_CLANGXX})
set(CMAKE_C_COMPILER_TARGET ${ZELM_MSVC_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${ZELM_MSVC_TRIPLE})
# The compiler checks cannot link a program before msvc_runtime exists.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(wine_include /usr/include/wine/wine)
set(libcxx_include /usr/lib/llvm-14/include/c++/v1)
foreach(dir ${libcxx_include} ${wine_include}/msvcrt ${wine_include}/windows)
  if(NOT EXISTS ${dir})
    message(FATAL_ERROR "msvc-abi toolchain: ${dir} is missing (packages libc++-14-dev, libwine-dev)")
  endif()
endforeach()

# Wine's winnt.h defines, as inline functions, interlocked operations that
# clang knows as builtins for this target: they are renamed out of the way.
set(builtin_renames _InterlockedCompareExchange128)
if(ZELM_MSVC_TRIPLE MATCHES "^i686")
  list(APPEND builtin_renames _InterlockedAnd64 _InterlockedCompareExchangePointer
       _InterlockedExchangeAdd64 _InterlockedExchangePointer _InterlockedIncrement64
       _InterlockedDecrement64 _InterlockedOr64 _InterlockedXor64)
endif()
set(renames "")
foreach(name ${builtin_renames})
  string(APPEND renames " -D${name}=zelm_wine${name}")
endforeach()

# libc++ as headers only: no vcruntime headers, no visibility attributes
# (dllimport of the library's own symbols). Local statics are not guarded:
# the host calls the module on one thread.
set(flags "-nostdlibinc -nostdinc++ -isystem ${libcxx_include} -isystem ${wine_include}/msvcrt -isystem ${wine_include}/windows -D_LIBCPP_NO_VCRUNTIME -D_LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS -D_CRT_SECURE_NO_WARNINGS${renames}")
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags} -fno-threadsafe-statics")

# vcruntime140 first: Wine's ucrtbase exports the exception-handling entries
# too, and an MSVC link takes them from vcruntime140.
# 32-bit code calls 64-bit arithmetic helpers (_aulldiv ...), which MSVC's
# static runtime holds and ntdll.dll exports.
set(import_dlls vcruntime140 ucrtbase kernel32)
if(ZELM_MSVC_TRIPLE MATCHES "^i686")
  list(APPEND import_dlls ntdll)
endif()
set(import_libs "")
foreach(dll ${import_dlls})
  if(NOT EXISTS ${ZELM_MSVC_IMPORT_LIBS}/lib${dll}.a)
    message(FATAL_ERROR "msvc-abi toolchain: ${ZELM_MSVC_IMPORT_LIBS}/lib${dll}.a is missing "
                        "(64-bit: package libwine-dev; 32-bit: made by scripts/msvc-deps)")
  endif()
  list(APPEND import_libs ${ZELM_MSVC_IMPORT_LIBS}/lib${dll}.a)
endforeach()
string(REPLACE ";" " " import_libs "${import_libs}")
set(CMAKE_C_STANDARD_LIBRARIES "${import_libs}" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "${import_libs}" CACHE STRING "" FORCE)
set(link_flags "-fuse-ld=lld -nostdlib -Wl,/nodefaultlib -Wno-unused-command-line-argument")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link_flags} -Wl,/subsystem:console -Wl,/entry:mainCRTStartup")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${link_flags}")

set(CMAKE_FIND_ROOT_PATH ${ZELM_MSVC_DEPS})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZELM_MSVC_DEPS ZELM_MSVC_IMPORT_LIBS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
