// Loads a panel module the way the host does: open the shared library, find
// load_zelm_client_script by name, and keep the library open until the
// loader goes away. dlopen/dlsym on Linux, LoadLibraryA/GetProcAddress on
// Windows.
#pragma once

#include <string>

#include "zelm_module_export.h"

class module_loader {
public:
    module_loader() = default;
    ~module_loader();
    module_loader(const module_loader&) = delete;
    module_loader& operator=(const module_loader&) = delete;

    // False, with error() saying why, when the library cannot be opened or
    // lacks the export.
    bool open(const std::string& path);
    zelm_load_function entry() const { return entry_; }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    zelm_load_function entry_ = nullptr;
    std::string error_;
};
