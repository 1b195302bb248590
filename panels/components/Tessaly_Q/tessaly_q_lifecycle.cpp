// Construction, destruction and the level reset, plus the small command
// helpers every other part of the panel writes its controls with.
#include "tessaly_q.h"

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

Tessaly_Q::Tessaly_Q(zelm_host_link* link, const char* data) noexcept : zelm_script_helper(link, data)
{
    for (auto& table : tally)
        for (auto& entry : table)
            entry = -1;

    const zelm_string panel(ctl::panelNumber);
    showPanel(panel, zelm_string(ctl::layoutFile), zelm_string());
    // "Take" and "Undo" mirror their flags, which start false.
    if (takeEnabled)
        enableControl(panel, zelm_string(ctl::take));
    else
        disableControl(panel, zelm_string(ctl::take));
    if (undoEnabled)
        enableControl(panel, zelm_string(ctl::undo));
    else
        disableControl(panel, zelm_string(ctl::undo));
    for (int entry = 0; entry < levelCount; ++entry)
        paintLevelEnable(entry);
    // Registrations, the timer and name lookups all wait for parameters.
}

Tessaly_Q::~Tessaly_Q()
{
    for (auto& device : levelDevice) {
        if (device > 0) {
            unregisterRevertives(device);
            device = 0;
        }
    }
    if (takeTimerRunning) {
        stopTimer(ctl::takeTimerId);
        takeTimerRunning = false;
    }
}

void Tessaly_Q::resetLevels()
{
    packageNamesDevice = 0;
    // Any device other than 0 is released here, unlike the destructor,
    // which releases only positive ones.
    for (auto& device : levelDevice) {
        if (device != 0) {
            unregisterRevertives(device);
            device = 0;
        }
    }
    for (const char* control : ctl::caption)
        emptyText(control);
    for (bool& enabled : levelEnabled)
        enabled = false;
    for (int entry = 0; entry < levelCount; ++entry)
        paintLevelEnable(entry);
}

void Tessaly_Q::paintLevelEnable(int levelEntry)
{
    putText(zelm_string(ctl::pixmapProperty), zelm_string(levelEnabled[levelEntry] ? ctl::tickImage : ctl::crossImage),
            zelm_string(ctl::panelNumber), zelm_string(ctl::enable[levelEntry]));
}

void Tessaly_Q::showText(const zelm_string& text, const char* control)
{
    putText(zelm_string(ctl::textProperty), text, zelm_string(ctl::panelNumber), zelm_string(control));
}

void Tessaly_Q::emptyText(const char* control)
{
    putText(zelm_string(ctl::emptyTextSetting), zelm_string(ctl::panelNumber), zelm_string(control));
}

void Tessaly_Q::setStateSheet(const zelm_string& sheet, const char* control)
{
    putText(zelm_string(ctl::stateSheetProperty), sheet, zelm_string(ctl::panelNumber), zelm_string(control));
}
