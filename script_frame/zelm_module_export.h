// The one symbol a panel module exports. Each module defines it once:
//
//   ZELM_DEFINE_MODULE_EXPORT(Tessaly_Q)
//
// It creates the component with the host link and the data text, or returns
// null when that fails; it never lets an exception out. On Windows the macro
// also defines the DllMain that turns off thread notifications.
#pragma once

#include <new>

#include "zelm_client_callback.h"
#include "zelm_host_link.h"

#if defined(_WIN32)
#  define ZELM_MODULE_API extern "C" __declspec(dllexport)
#  include <windows.h>
#  define ZELM_DEFINE_DLLMAIN                                                                                          \
    BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)                                                      \
    {                                                                                                                  \
      if (reason == DLL_PROCESS_ATTACH)                                                                                \
        DisableThreadLibraryCalls(instance);                                                                           \
      return TRUE;                                                                                                     \
    }
#else
#  define ZELM_MODULE_API extern "C" __attribute__((visibility("default")))
#  define ZELM_DEFINE_DLLMAIN
#endif

// The export's type, for hosts that look it up by name.
using zelm_load_function = zelm_client_callback* (*)(zelm_host_link* hostLink, const char* data);

#define ZELM_DEFINE_MODULE_EXPORT(ComponentClass)                                                                      \
  ZELM_DEFINE_DLLMAIN                                                                                                  \
  ZELM_MODULE_API zelm_client_callback* load_zelm_client_script(zelm_host_link* hostLink, const char* data)            \
  {                                                                                                                    \
    try {                                                                                                              \
      return new (std::nothrow) ComponentClass(hostLink, data);                                                        \
    } catch (...) {                                                                                                    \
      return nullptr;                                                                                                  \
    }                                                                                                                  \
  }
