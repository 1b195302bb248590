// Import/export decoration of the host system's string and configuration
// libraries. On Windows the host ships them as zelm_string.dll and
// zelm_config.dll; the build of our stand-ins defines the *_BUILD macros.
#pragma once

#if defined(_WIN32)
#  if defined(ZELM_STRING_BUILD)
#    define ZELM_STRING_API __declspec(dllexport)
#  else
#    define ZELM_STRING_API __declspec(dllimport)
#  endif
#  if defined(ZELM_CONFIG_BUILD)
#    define ZELM_CONFIG_API __declspec(dllexport)
#  else
#    define ZELM_CONFIG_API __declspec(dllimport)
#  endif
#else
#  define ZELM_STRING_API __attribute__((visibility("default")))
#  define ZELM_CONFIG_API __attribute__((visibility("default")))
#endif
