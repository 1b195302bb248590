// The entry point of a DLL of the MSVC-ABI build: runs the DLL's C++
// initialisers before its DllMain sees the process attach, and its atexit
// functions after DllMain has seen the detach. A DLL without a DllMain of
// its own gets one that accepts every notification.
#include <windows.h>

#include "startup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern "C" BOOL WINAPI zelm_default_DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#if defined(_M_IX86)
#  pragma comment(linker, "/alternatename:_DllMain@12=_zelm_default_DllMain@12")
#else
#  pragma comment(linker, "/alternatename:DllMain=zelm_default_DllMain")
#endif

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        zelm_msvc_runtime::runInitialisers();
    const BOOL result = DllMain(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH || (reason == DLL_PROCESS_ATTACH && !result))
        zelm_msvc_runtime::runExitFunctions();
    return result;
}
