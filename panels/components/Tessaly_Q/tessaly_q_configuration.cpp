// Level configuration: which package level each panel level shows, its
// caption and router, the package names device, and the revertive
// registration of every level router.
//
// Settings of the matrix object, each a comma list counted from 0:
//   "package_levels"  must be present (its value is not read further)
//   "driver_type"     position n+1: caption of package level n
//   "driver_ids"      position 1: package names device;
//                     position n+1: router of package level n
#include "tessaly_q.h"

#include <cstdint>

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

namespace {

// The entry at `position`, or the empty text where the list has none, so a
// package level beyond the settings reads as an empty caption or device 0.
// 64-bit position: a package level near the 32-bit limit plus one stays
// exact.
zelm_string entryAt(const zelm_stringlist& list, std::int64_t position)
{
    if (position < 0 || position >= list.count())
        return zelm_string();
    return list[static_cast<int>(position)];
}

}  // namespace

void Tessaly_Q::configureLevels()
{
    const zelm_string packageLevels = readObjectSetting(matrixObject, zelm_string("package_levels"));
    if (packageLevels.isEmpty() || useLevels.isEmpty()) {
        resetLevels();
        return;
    }
    const zelm_stringlist levels(useLevels, ',');
    if (levels.count() > levelCount) {
        resetLevels();
        return;
    }
    for (int entry = 0; entry < levelCount; ++entry)
        packageLevel[entry] = entry < levels.count() ? levels[entry].toInt() : 0;
    if (packageLevel[0] == 0 && packageLevel[1] == 0 && packageLevel[2] == 0) {
        resetLevels();
        return;
    }

    // A new level set: whatever was armed or held belongs to the old one.
    cancelTake();
    clearUndo();
    notifyHost(zelm_string(ctl::selectionCleared));
    for (const char* control : ctl::caption)
        emptyText(control);
    for (const char* control : ctl::sourceName)
        emptyText(control);
    for (const char* control : ctl::destName)
        emptyText(control);
    for (const char* control : ctl::undoSourceName)
        emptyText(control);
    for (const char* control : ctl::undoDestName)
        emptyText(control);

    const zelm_stringlist driverTypes(readObjectSetting(matrixObject, zelm_string("driver_type")), ',');
    const zelm_stringlist driverIds(readObjectSetting(matrixObject, zelm_string("driver_ids")), ',');

    for (int entry = 0; entry < levelCount; ++entry)
        levelEnabled[entry] = packageLevel[entry] != 0;  // a negative level counts as used
    for (int entry = 0; entry < levelCount; ++entry)
        paintLevelEnable(entry);

    const zelm_string panel(ctl::panelNumber);
    for (int entry = 0; entry < levelCount; ++entry) {
        const zelm_string captionControl(ctl::caption[entry]);
        const zelm_string enableControlName(ctl::enable[entry]);
        if (levelEnabled[entry]) {
            enableControl(panel, captionControl);
            enableControl(panel, enableControlName);
        } else {
            disableControl(panel, captionControl);
            disableControl(panel, enableControlName);
        }
    }

    for (int entry = 0; entry < levelCount; ++entry)
        if (packageLevel[entry] > 0)
            showText(entryAt(driverTypes, std::int64_t{packageLevel[entry]} + 1), ctl::caption[entry]);

    packageNamesDevice = entryAt(driverIds, 1).toInt();

    // Routers registered at the host before this configuration.
    std::int32_t registeredBefore[levelCount];
    for (int entry = 0; entry < levelCount; ++entry)
        registeredBefore[entry] = levelDevice[entry] > 0 && levelSize[entry] > 0 ? levelDevice[entry] : 0;

    for (int entry = 0; entry < levelCount; ++entry) {
        const std::int32_t level = packageLevel[entry];
        if (!levelEnabled[entry] || level < 1)
            levelDevice[entry] = 0;  // a level not in use, or on no package level, has no router
        else
            levelDevice[entry] = entryAt(driverIds, static_cast<std::int64_t>(level) + 1).toInt();
    }

    releaseDroppedRouters(registeredBefore);
    registerLevels();
}

void Tessaly_Q::releaseDroppedRouters(const std::int32_t (&before)[levelCount])
{
    for (int entry = 0; entry < levelCount; ++entry) {
        const std::int32_t device = before[entry];
        if (device == 0)
            continue;
        bool handled = false;  // still in use, or already released in this step
        for (const std::int32_t now : levelDevice)
            handled = handled || now == device;
        for (int earlier = 0; earlier < entry; ++earlier)
            handled = handled || before[earlier] == device;
        if (!handled)
            unregisterRevertives(device);
    }
}

void Tessaly_Q::registerLevels()
{
    for (int entry = 0; entry < levelCount; ++entry) {
        levelSize[entry] = 0;
        const std::int32_t device = levelDevice[entry];
        if (device > 0)
            levelSize[entry] = readDatabaseSize(device, ctl::sizedDatabase);
        if (levelSize[entry] > 0) {
            for (auto& slot : tally[entry])
                slot = -1;
            registerRevertives(device, 1, levelSize[entry], false);
            pollRevertives(device, 1, levelSize[entry]);
        }
    }
}
