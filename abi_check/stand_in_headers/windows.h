// Stand-in for the MSVC-target compiles of the ABI check: the declarations of
// the Windows SDK that the module's export uses, with the SDK's types.
#pragma once
typedef int BOOL;
typedef unsigned long DWORD;
typedef void* LPVOID;
typedef struct HINSTANCE__* HINSTANCE;
#define WINAPI __stdcall
#define TRUE 1
#define DLL_PROCESS_ATTACH 1
extern "C" __declspec(dllimport) BOOL WINAPI DisableThreadLibraryCalls(HINSTANCE module);
