// Tessaly_Q: the take / undo panel for three-level package routing.
//
// Other panels select a source package and a destination package through the
// parameters "srcpkg" and "destpkg". The panel resolves each package into a
// router index on each of its three levels, shows the router names, and arms
// a flashing "Take". Take records what each destination carries now (from
// the tallies kept from the routers' revertives) and routes every enabled
// level; Undo routes the recorded sources back.
//
// Where each concern lives:
//   tessaly_q_lifecycle.cpp      construction, destruction, resetLevels
//   tessaly_q_configuration.cpp  configureLevels, registerLevels
//   tessaly_q_parameters.cpp     onParameter: every parameter and query
//   tessaly_q_names.cpp          package resolution, names display, onDatabaseChange
//   tessaly_q_buttons.cpp        onButton: Take, Undo, Clear, level toggles
//   tessaly_q_tallies.cpp        onRevertive: the router tallies
//   tessaly_q_take_arming.cpp    updateTake, onTimer, cancelTake, clearUndo
//
// Everything runs on the host's event thread, one event at a time; nothing
// throws and nothing is locked. Level k (1..3) is entry k-1 of every
// per-level array.
#pragma once

#include <cstdint>

#include "zelm_script_helper.h"
#include "zelm_string.h"
#include "zelm_stringlist.h"

class Tessaly_Q : public zelm_script_helper {
public:
    static constexpr int levelCount = 3;
    // Router destinations 0..200 have a tally entry; larger ones have none.
    static constexpr int tallyEntries = 201;

    // Shows the layout with "Take" and "Undo" disabled and three ticks.
    Tessaly_Q(zelm_host_link* hostLink, const char* data) noexcept;
    // Unregisters every level router and stops the take timer if it runs;
    // the frame then sends "AS" last.
    ~Tessaly_Q() override;

    Tessaly_Q(const Tessaly_Q&) = delete;
    Tessaly_Q& operator=(const Tessaly_Q&) = delete;

protected:
    // ---- Events -------------------------------------------------------------
    void onButton(buttonEvent event) override;
    std::int32_t onRevertive(revertiveEvent event) override;
    zelm_string onParameter(parameterEvent event) override;
    void onTimer(std::int32_t timerId) override;
    void onDatabaseChange(databaseEvent event) override;

    // ---- Lifecycle and configuration ----------------------------------------
    // Back to unconfigured: no package names device, every level router
    // unregistered and dropped, captions empty, all levels crossed out.
    void resetLevels();
    // Levels, captions and routers from "uselevels" and the settings of the
    // matrix object; resets when they do not describe a usable level set.
    void configureLevels();
    // Registers and polls every level router that has a database size.
    void registerLevels();

    // ---- Names display ------------------------------------------------------
    void resolveSourcePackage();
    void resolveDestPackage();
    void clearSourcePackage();
    void clearDestPackage();

    // ---- Buttons ------------------------------------------------------------
    void doTake();
    void doUndo();
    void toggleLevel(int level);  // level 1..3

    // ---- Take arming and undo reset -----------------------------------------
    void updateTake();
    void cancelTake();
    void clearUndo();

    // ---- State, in its fixed declaration order ------------------------------
    zelm_string instance;
    zelm_string matrixObject;
    zelm_string useLevels;
    zelm_string srcPkgText;
    zelm_string destPkgText;
    zelm_string srcNamesDatabaseText;
    zelm_string destNamesDatabaseText;
    zelm_string takeLow;
    zelm_string takeHigh;
    zelm_string mimicState[levelCount];
    zelm_string takeUndoBgState;
    zelm_string unusedLevelText;
    std::int32_t srcPkg = -1;  // -1: none selected
    std::int32_t destPkg = -1;
    std::int32_t srcNamesDatabase = 0;
    std::int32_t destNamesDatabase = 1;
    std::int32_t packageNamesDevice = 0;                // 0: not configured
    std::int32_t levelDevice[levelCount] = {0, 0, 0};   // 0: no router
    std::int32_t packageLevel[levelCount] = {0, 0, 0};  // 0: level not used
    std::int32_t srcIndex[levelCount] = {0, 0, 0};      // -1: not on this level
    std::int32_t destIndex[levelCount] = {0, 0, 0};
    std::int32_t undoSrc[levelCount] = {0, 0, 0};  // -1: nothing to restore
    std::int32_t undoDest[levelCount] = {0, 0, 0};
    std::int32_t levelSize[levelCount] = {0, 0, 0};  // 0: not registered
    std::int32_t takeCountdown = 0;
    bool levelEnabled[levelCount] = {true, true, true};
    bool takeEnabled = false;
    bool undoEnabled = false;
    bool takeTimerRunning = false;
    std::int32_t tally[levelCount][tallyEntries];  // -1: not known

private:
    // Tick or cross on the level's enable control, from levelEnabled.
    void paintLevelEnable(int levelEntry);
    // Drops the registrations of routers that the new configuration no
    // longer uses (devices in `before`, 0 for none).
    void releaseDroppedRouters(const std::int32_t (&before)[levelCount]);
    // Shared by the source and destination side of the package resolution.
    void resolvePackage(std::int32_t package, std::int32_t packageDatabase, std::int32_t namesDatabase,
                        std::int32_t (&index)[levelCount], const char* const (&labels)[levelCount]);
    void clearPackage(std::int32_t (&index)[levelCount], const char* const (&labels)[levelCount]);
    // Re-labels after a names database number changed.
    void relabelNames(std::int32_t namesDatabase, const std::int32_t (&index)[levelCount],
                      const char* const (&labels)[levelCount], const std::int32_t (&undoIndex)[levelCount],
                      const char* const (&undoLabels)[levelCount]);
    // One route per level that passes the route rule; level 3 carries the
    // final flag.
    void routeLevels(const std::int32_t (&source)[levelCount], const std::int32_t (&destination)[levelCount]);
    // Looks `index` up into `holder`, emptied first (so a lookup the host
    // leaves unanswered shows an empty label), turns every '|' into a space
    // and shows it.
    void showLookedUpName(std::int32_t device, std::int32_t database, std::int32_t index, zelm_string& holder,
                          const char* control);
    void showText(const zelm_string& text, const char* control);  // "text" property
    void emptyText(const char* control);                          // "text="
    void setStateSheet(const zelm_string& sheet, const char* control);
};
