#include "facility/installation_paths.h"

#include <filesystem>

namespace fs = std::filesystem;

installation_paths::installation_paths(const std::string& installation, const std::string& systemName)
    : system(systemName)
{
    std::error_code failure;
    fs::path absolute = fs::absolute(installation, failure);
    root = absolute.string();
    systemRoot = (absolute / systemName).string();
    config = (absolute / systemName / "config").string();
    devices = (absolute / systemName / "config" / "system").string();
    styles = (absolute / systemName / "config" / "panel_styles.ini").string();
}
