#include "facility/module_database_size.h"

#include <cstring>

#include "platform/profile_file.h"
#include "zelm_string.h"

std::optional<std::int32_t> moduleDatabaseSize(const std::string& path, int database)
{
    // The module's lookup, but with a fallback no device file holds, so
    // that a missing key is told apart from "0".
    const std::string key = "DatabaseSize_" + std::to_string(database);
    const char absent[] = "\x01"
                          "absent"
                          "\x01";
    char result[256];
    zelm_platform::readProfileString("Database", key.c_str(), absent, result, sizeof result, path.c_str());
    if (std::strcmp(result, absent) == 0)
        return std::nullopt;
    return zelm_string(result).toInt();
}
