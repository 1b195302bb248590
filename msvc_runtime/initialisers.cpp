// The compiler puts a pointer to each dynamic initialiser of a translation
// unit into section .CRT$XCU; the linker sorts .CRT$XC* sections by name, so
// the two markers below bracket every initialiser of the binary. The
// functions registered with atexit are kept per binary, as MSVC's static
// runtime keeps them, and run in reverse order.
#include <cstddef>

#include "startup.h"

// Not from <cstdlib>, which declares atexit as the C runtime's import.
extern "C" {
__declspec(dllimport) void* __cdecl malloc(std::size_t size);
__declspec(dllimport) void __cdecl free(void* block);
}

namespace {
using Function = void(__cdecl*)();

__attribute__((section(".CRT$XCA"), used)) const Function firstInitialiser = nullptr;
__attribute__((section(".CRT$XCZ"), used)) const Function lastInitialiser = nullptr;

struct ExitFunction {
    Function function;
    ExitFunction* next;
};
ExitFunction* exitFunctions = nullptr;
}  // namespace

// Takes the place of the C runtime's process-wide atexit in this binary.
extern "C" int __cdecl atexit(Function function)
{
    auto* entry = static_cast<ExitFunction*>(malloc(sizeof(ExitFunction)));
    if (entry == nullptr)
        return -1;
    entry->function = function;
    entry->next = exitFunctions;
    exitFunctions = entry;
    return 0;
}

namespace zelm_msvc_runtime {

void runInitialisers()
{
    for (const Function* entry = &firstInitialiser + 1; entry < &lastInitialiser; ++entry) {
        if (*entry != nullptr)
            (*entry)();
    }
}

void runExitFunctions()
{
    while (exitFunctions != nullptr) {
        ExitFunction* entry = exitFunctions;
        exitFunctions = entry->next;
        entry->function();
        free(entry);
    }
}

}  // namespace zelm_msvc_runtime
