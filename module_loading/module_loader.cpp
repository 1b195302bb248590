#include "module_loader.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#endif

module_loader::~module_loader()
{
    if (handle_ == nullptr)
        return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

bool module_loader::open(const std::string& path)
{
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error_ = path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = module;
    FARPROC symbol = GetProcAddress(module, "load_zelm_client_script");
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : path + ": cannot be loaded";
        return false;
    }
    void* symbol = dlsym(handle_, "load_zelm_client_script");
#endif
    if (symbol == nullptr) {
        error_ = path + ": does not export load_zelm_client_script";
        return false;
    }
    entry_ = reinterpret_cast<zelm_load_function>(reinterpret_cast<void (*)()>(symbol));
    return true;
}
