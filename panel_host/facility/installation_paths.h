// installation_paths: where panel_host finds an installation's files, from
// the installation folder (QV_ROOT) and the system name (QV_SYSTEM).
#pragma once

#include <string>

struct installation_paths {
    // `installation` is made absolute (from the current folder).
    installation_paths(const std::string& installation, const std::string& system);

    std::string root;        // QV_ROOT, absolute
    std::string system;      // QV_SYSTEM
    std::string systemRoot;  // ROOT/SYSTEM: images of the installation are looked for here too
    std::string config;      // ROOT/SYSTEM/config: object_settings.xml
    std::string devices;     // ROOT/SYSTEM/config/system: dev_NNN.ini
    std::string styles;      // ROOT/SYSTEM/config/panel_styles.ini: the browser view's state sheets
};
