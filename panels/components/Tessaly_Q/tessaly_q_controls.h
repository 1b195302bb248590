// The names the take / undo panel shares with its layout file
// "TessalyQ.zelm_ui" and with the host: controls, images, timer, the one
// notification. Short enough that every control name fits the string's
// inline storage, so naming a control never allocates.
#pragma once

#include <cstdint>

namespace tessaly_q_controls {

constexpr const char* layoutFile = "TessalyQ.zelm_ui";
constexpr int panelNumber = 1;  // every command names panel "1"

constexpr const char* take = "Take";
constexpr const char* undo = "Undo";
constexpr const char* clear = "Clear";
constexpr const char* background = "TUC_BGND";

constexpr const char* caption[3] = {"ID_L1", "ID_L2", "ID_L3"};
constexpr const char* enable[3] = {"Enable_L1", "Enable_L2", "Enable_L3"};
constexpr const char* sourceName[3] = {"Src_L1", "Src_L2", "Src_L3"};
constexpr const char* destName[3] = {"Dst_L1", "Dst_L2", "Dst_L3"};
constexpr const char* undoSourceName[3] = {"Src_UL1", "Src_UL2", "Src_UL3"};
constexpr const char* undoDestName[3] = {"Dst_UL1", "Dst_UL2", "Dst_UL3"};

constexpr const char* tickImage = "/images/tick.png";
constexpr const char* crossImage = "/images/cross.png";

constexpr const char* textProperty = "text";
constexpr const char* emptyTextSetting = "text=";
constexpr const char* pixmapProperty = "pixmap";
constexpr const char* stateSheetProperty = "statesheet";

// The one event text the panel sends, and lists for "_events".
constexpr const char* selectionCleared = "selected=-1";

constexpr std::int32_t takeTimerId = 1;
constexpr std::int32_t takeTimerInterval = 1000;
constexpr std::int32_t takeTicks = 10;  // ticks from arming to self-disarm

// The package names device holds source packages in database 0 and
// destination packages in database 1.
constexpr std::int32_t sourcePackageDatabase = 0;
constexpr std::int32_t destPackageDatabase = 1;
// Router database sizes are always read for database 1.
constexpr std::int32_t sizedDatabase = 1;

}  // namespace tessaly_q_controls
