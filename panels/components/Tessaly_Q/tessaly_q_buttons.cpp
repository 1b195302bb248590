// The buttons: "Take" routes the selected packages on every enabled level
// and records what Undo must restore, "Undo" routes it back, "Clear" drops
// the selection, and each level's caption or enable control includes or
// excludes the level.
#include "tessaly_q.h"

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

void Tessaly_Q::onButton(buttonEvent event)
{
    if (!(event.panel() == ctl::panelNumber))
        return;
    const zelm_string id = event.id();
    if (id == ctl::clear) {
        if (takeEnabled)
            cancelTake();
        if (undoEnabled)
            clearUndo();
        clearSourcePackage();
        clearDestPackage();
        notifyHost(zelm_string(ctl::selectionCleared));
    } else if (id == ctl::take) {
        doTake();  // acted on whether or not a Take is armed
    } else if (id == ctl::undo) {
        doUndo();
    } else {
        for (int entry = 0; entry < levelCount; ++entry) {
            if (id == ctl::caption[entry] || id == ctl::enable[entry]) {
                toggleLevel(entry + 1);
                return;
            }
        }
    }
}

void Tessaly_Q::toggleLevel(int level)
{
    if (level < 1 || level > levelCount)
        return;
    const int entry = level - 1;
    levelEnabled[entry] = !levelEnabled[entry];
    paintLevelEnable(entry);  // on the enable control, also for a caption press
}

void Tessaly_Q::doTake()
{
    // The capture comes first, so it holds what the routers reported before
    // this Take's own routes. Every level is captured, enabled or not, so
    // that enabling a level before Undo can still restore it.
    for (int entry = 0; entry < levelCount; ++entry) {
        const std::int32_t destination = destIndex[entry];
        undoDest[entry] = destination;
        // A destination beyond the tally has nothing recorded to restore.
        undoSrc[entry] = destination >= 1 && destination < tallyEntries ? tally[entry][destination] : -1;
    }

    cancelTake();
    routeLevels(srcIndex, destIndex);
    clearSourcePackage();
    clearDestPackage();
    notifyHost(zelm_string(ctl::selectionCleared));

    // One holder for all six labels, emptied before each lookup.
    zelm_string holder;
    for (int entry = 0; entry < levelCount; ++entry) {
        if (undoSrc[entry] >= 1 && levelDevice[entry] >= 1)
            showLookedUpName(levelDevice[entry], srcNamesDatabase, undoSrc[entry], holder, ctl::undoSourceName[entry]);
        else
            showText(unusedLevelText, ctl::undoSourceName[entry]);
    }
    for (int entry = 0; entry < levelCount; ++entry) {
        if (undoDest[entry] >= 1 && levelDevice[entry] >= 1)
            showLookedUpName(levelDevice[entry], destNamesDatabase, undoDest[entry], holder, ctl::undoDestName[entry]);
        else
            showText(unusedLevelText, ctl::undoDestName[entry]);
    }

    enableControl(zelm_string(ctl::panelNumber), zelm_string(ctl::undo));
    undoEnabled = true;
}

void Tessaly_Q::doUndo()
{
    // The level enables as they are now, not as they were at the Take.
    routeLevels(undoSrc, undoDest);
    clearUndo();
}

void Tessaly_Q::routeLevels(const std::int32_t (&source)[levelCount], const std::int32_t (&destination)[levelCount])
{
    for (int entry = 0; entry < levelCount; ++entry) {
        if (!levelEnabled[entry] || source[entry] < 0 || destination[entry] <= 0 || levelDevice[entry] <= 0)
            continue;
        // The final flag belongs to level 3, not to the last route sent.
        const bool finalLevel = entry == levelCount - 1;
        routeCrosspoint(levelDevice[entry], source[entry], destination[entry], zelm_string(), finalLevel);
    }
}
