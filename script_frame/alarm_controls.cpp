// The alarm-control convention: every control on panel "1" whose id starts
// with "alm_" follows the "ActionAll" and "AckAll" buttons.
#include "zelm_script_helper.h"

namespace {
constexpr std::int32_t acknowledgeLevel = 4;
constexpr std::int32_t noLevel = -1;
}  // namespace

void zelm_script_helper::applyAlarmState(const zelm_string& state)
{
    std::int32_t level = noLevel;
    if (state == "ack")
        level = acknowledgeLevel;
    else if (state.length() == 1)
        level = state.toInt();

    const zelm_string panel(1);
    const zelm_stringlist controls = listControls(panel, zelm_string("alm_"));
    for (const zelm_string& control : controls) {
        putText(zelm_string("alarm"), state, panel, control);
        if (level == acknowledgeLevel) {
            // Acknowledging turns an active alarm (1) into acknowledged (4);
            // a state outside the known 0..5 is taken as active too.
            zelm_string current;
            getText(zelm_string("value"), panel, control, current);
            const int value = current.toInt();
            if (value == 1 || value < 0 || value > 5)
                putText(zelm_string("value"), zelm_string("4"), panel, control);
        } else if (level != noLevel) {
            putText(zelm_string("value"), zelm_string(level), panel, control);
        }
    }
}
