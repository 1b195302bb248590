// Start-up and shut-down of a binary of the MSVC-ABI build (see
// cxx_support.cpp): the C++ initialisers of this binary, and the functions
// registered with atexit by this binary, which run when it is unloaded (a
// DLL) or when its main returns (a program), never those of another module.
#pragma once

namespace zelm_msvc_runtime {
void runInitialisers();
void runExitFunctions();
}  // namespace zelm_msvc_runtime
