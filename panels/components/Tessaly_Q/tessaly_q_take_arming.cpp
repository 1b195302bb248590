// Take arming: "Take" is live only while a selection is ready, flashes on
// timer 1 and disarms itself after ten ticks. "Undo" is live only while an
// undo state is held.
#include "tessaly_q.h"

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

void Tessaly_Q::updateTake()
{
    // Both sides must be present on some level with a router; the two sides
    // may be met on different levels.
    bool sourceReady = false;
    bool destReady = false;
    for (int entry = 0; entry < levelCount; ++entry) {
        if (levelDevice[entry] <= 0)
            continue;
        sourceReady = sourceReady || srcIndex[entry] >= 0;
        destReady = destReady || destIndex[entry] >= 0;
    }
    sourceReady = sourceReady && srcPkg != -1;
    destReady = destReady && destPkg != -1;

    const zelm_string panel(ctl::panelNumber);
    if (sourceReady && destReady) {
        if (takeTimerRunning)
            stopTimer(ctl::takeTimerId);
        takeCountdown = ctl::takeTicks;
        startTimer(ctl::takeTimerId, ctl::takeTimerInterval);
        takeTimerRunning = true;
        if (takeEnabled)
            return;  // a re-arm only restarts the count
        enableControl(panel, zelm_string(ctl::take));
        setStateSheet(takeHigh, ctl::take);
        takeEnabled = true;
        return;
    }

    if (takeTimerRunning) {
        stopTimer(ctl::takeTimerId);
        takeTimerRunning = false;
    }
    if (takeEnabled) {
        setStateSheet(takeLow, ctl::take);
        disableControl(panel, zelm_string(ctl::take));
        takeEnabled = false;
    }
}

void Tessaly_Q::onTimer(std::int32_t timerId)
{
    if (timerId != ctl::takeTimerId) {
        stopTimer(timerId);  // not ours: make sure it stops ticking
        return;
    }
    --takeCountdown;
    setStateSheet(takeCountdown % 2 != 0 ? takeLow : takeHigh, ctl::take);
    if (takeCountdown == 0) {
        // Timed out: the selection stays, and so does the takeHigh sheet of
        // the last flash phase; only cancelTake and a not-ready check put
        // takeLow back.
        stopTimer(ctl::takeTimerId);
        takeTimerRunning = false;
        disableControl(zelm_string(ctl::panelNumber), zelm_string(ctl::take));
        takeEnabled = false;
    }
}

void Tessaly_Q::cancelTake()
{
    if (!takeEnabled)
        return;
    if (takeTimerRunning) {
        stopTimer(ctl::takeTimerId);
        takeTimerRunning = false;
    }
    setStateSheet(takeLow, ctl::take);
    disableControl(zelm_string(ctl::panelNumber), zelm_string(ctl::take));
    takeEnabled = false;
}

void Tessaly_Q::clearUndo()
{
    if (!undoEnabled)
        return;
    disableControl(zelm_string(ctl::panelNumber), zelm_string(ctl::undo));
    for (const char* control : ctl::undoSourceName)
        emptyText(control);
    for (const char* control : ctl::undoDestName)
        emptyText(control);
    // 0, not -1: a dropped undo reads like the one of a fresh panel.
    for (int entry = 0; entry < levelCount; ++entry) {
        undoSrc[entry] = 0;
        undoDest[entry] = 0;
    }
    undoEnabled = false;
}
