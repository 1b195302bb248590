// Names display: the selected packages resolved into a router index per
// level, and the name labels kept showing the names behind those indices.
//
// A package text holds one comma-separated field per package level: the
// router index on that package level, or "-" when the package has nothing
// there ("12,-,40").
#include "tessaly_q.h"

#include <cstdint>

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

void Tessaly_Q::resolveSourcePackage()
{
    resolvePackage(srcPkg, ctl::sourcePackageDatabase, srcNamesDatabase, srcIndex, ctl::sourceName);
}

void Tessaly_Q::resolveDestPackage()
{
    resolvePackage(destPkg, ctl::destPackageDatabase, destNamesDatabase, destIndex, ctl::destName);
}

void Tessaly_Q::resolvePackage(std::int32_t package, std::int32_t packageDatabase, std::int32_t namesDatabase,
                               std::int32_t (&index)[levelCount], const char* const (&labels)[levelCount])
{
    if (packageNamesDevice == 0)
        return;  // nowhere to look packages up: leave indices and labels alone

    if (package == -1) {
        cancelTake();
        clearUndo();
        clearPackage(index, labels);
        return;
    }

    // Selecting a package, even the same one again, drops a held undo; an
    // armed Take is left to the arming check that follows.
    clearUndo();

    zelm_string packageText;  // stays empty when the host gives no answer
    lookupName(packageNamesDevice, packageDatabase, package, packageText);
    const zelm_stringlist fields(packageText, ',');

    // One holder for all three levels, emptied before each lookup.
    zelm_string holder;
    for (int entry = 0; entry < levelCount; ++entry) {
        if (levelDevice[entry] <= 0) {
            index[entry] = 0;
            showText(unusedLevelText, labels[entry]);
            continue;
        }
        const std::int32_t level = packageLevel[entry];
        if (level <= 0)
            continue;  // level not used: index and label stay
        // A package level beyond the package text's fields (an empty text
        // included) means the package has nothing there, as "-" does.
        if (level > fields.count() || fields[level - 1] == "-") {
            index[entry] = -1;
            showText(unusedLevelText, labels[entry]);
            continue;
        }
        index[entry] = fields[level - 1].toInt();
        showLookedUpName(levelDevice[entry], namesDatabase, index[entry], holder, labels[entry]);
    }
}

void Tessaly_Q::clearSourcePackage()
{
    srcPkg = -1;  // srcPkgText keeps its text for the "srcpkg" query
    clearPackage(srcIndex, ctl::sourceName);
}

void Tessaly_Q::clearDestPackage()
{
    destPkg = -1;
    clearPackage(destIndex, ctl::destName);
}

void Tessaly_Q::clearPackage(std::int32_t (&index)[levelCount], const char* const (&labels)[levelCount])
{
    for (auto& value : index)
        value = 0;
    for (const char* control : labels)
        emptyText(control);
}

void Tessaly_Q::onDatabaseChange(databaseEvent event)
{
    const std::int32_t device = event.device();
    const std::int32_t database = event.database();
    const std::int32_t changed = event.index();
    // Shown as delivered: unlike looked-up names, '|' stays.
    const zelm_string name = event.name();
    for (int entry = 0; entry < levelCount; ++entry) {
        if (device != levelDevice[entry])
            continue;
        if (database == srcNamesDatabase) {
            if (changed == srcIndex[entry])
                showText(name, ctl::sourceName[entry]);
            if (changed == undoSrc[entry])
                showText(name, ctl::undoSourceName[entry]);
        }
        if (database == destNamesDatabase) {
            if (changed == destIndex[entry])
                showText(name, ctl::destName[entry]);
            if (changed == undoDest[entry])
                showText(name, ctl::undoDestName[entry]);
        }
    }
}

void Tessaly_Q::showLookedUpName(std::int32_t device, std::int32_t database, std::int32_t index, zelm_string& holder,
                                 const char* control)
{
    // Each label's lookup starts from an empty holder: a lookup the host
    // leaves unanswered writes its label empty, never the name the holder
    // kept from the label before it.
    holder = "";
    lookupName(device, database, index, holder);
    holder.replace('|', ' ');
    showText(holder, control);
}
