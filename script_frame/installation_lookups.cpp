// Reading installation data directly: object settings through zelm_config,
// router database sizes from the device ini files.
#include <cstdio>
#include <cstdlib>

#include "platform/profile_file.h"
#include "zelm_config.h"
#include "zelm_script_helper.h"

zelm_string zelm_script_helper::readObjectSetting(const zelm_string& object, const zelm_string& key)
{
    zelm_config settings(zelm_string("object_settings.%1").arg(object));
    while (settings.isChildValid()) {
        if (settings.childAttr(zelm_string("id")) == key)
            return settings.childAttr(zelm_string("value"));
        settings.nextChild();
    }
    return zelm_string();
}

std::int32_t zelm_script_helper::readDatabaseSize(std::int32_t device, std::int32_t database)
{
    const char* root = std::getenv("QV_ROOT");
    const char* system = std::getenv("QV_SYSTEM");
    if (root == nullptr || system == nullptr)
        return 0;

    char key[256];
    char file[256];
    char path[260];
    char result[256];
    std::snprintf(key, sizeof key, "DatabaseSize_%d", static_cast<int>(database));
    std::snprintf(file, sizeof file, "dev_%03d.ini", static_cast<int>(device));
    // A path cut short would name some other file: refuse it instead.
    const int pathLength = std::snprintf(path, sizeof path, "%s\\%s\\config\\system\\%s", root, system, file);
    if (pathLength < 0 || static_cast<std::size_t>(pathLength) >= sizeof path)
        return 0;

    if (zelm_platform::readProfileString("Database", key, "0", result, sizeof result, path) == 0)
        return 0;
    // Same rules as atoi, but saturating instead of undefined past 32 bits.
    return zelm_string(result).toInt();
}
