// The entry point of a console program of the MSVC-ABI build: takes the
// command line apart with the Universal C runtime, runs the C++
// initialisers, calls main, runs the program's atexit functions and ends the
// process with main's result.
#include <cstdlib>

#include "startup.h"

// The Universal C runtime's start-up interface (corecrt_startup.h).
extern "C" {
__declspec(dllimport) int __cdecl _configure_narrow_argv(int mode);
__declspec(dllimport) int __cdecl _initialize_narrow_environment();
__declspec(dllimport) int* __cdecl __p___argc();
__declspec(dllimport) char*** __cdecl __p___argv();
__declspec(dllimport) void __cdecl _set_app_type(int type);
}

int main(int argc, char** argv);

extern "C" void __cdecl mainCRTStartup()
{
    const int consoleApplication = 1;
    const int unexpandedArguments = 1;
    _set_app_type(consoleApplication);
    if (_configure_narrow_argv(unexpandedArguments) != 0 || _initialize_narrow_environment() != 0)
        std::exit(255);
    zelm_msvc_runtime::runInitialisers();
    // Calling main is what this start-up code is for.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wmain"
    const int result = main(*__p___argc(), *__p___argv());
#pragma clang diagnostic pop
    zelm_msvc_runtime::runExitFunctions();
    std::exit(result);
}
