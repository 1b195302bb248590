// zelm_script_helper: the frame every panel component derives from.
//
// It decodes each host event into one call of an overridable operation and
// offers one operation per host command. Everything runs on the host's event
// thread, one event at a time; nothing here throws, and without a host link
// every command is dropped quietly.
//
// Virtual operations, in slot order (a host calls them by slot):
//   0 destructor  1 hostEvent  2 onButton  3 onRevertive  4 onParameter
//   5 onEvent7    6 onTimer    7 onDatabaseChange
#pragma once

#include <cstdint>

#include "event_views.h"
#include "zelm_client_callback.h"
#include "zelm_host_link.h"
#include "zelm_string.h"
#include "zelm_stringlist.h"

class zelm_script_helper : public zelm_client_callback {
public:
    // Stores the host link (may be null) and a copy of `data` (the folder
    // prefix of layout files; null reads as empty). Sends nothing.
    zelm_script_helper(zelm_host_link* hostLink, const char* data) noexcept;
    // Sends the closing notice "AS" last, when there is a host link.
    ~zelm_script_helper() override;

    // The dispatcher; see zelm_event_code for what `data` carries. Codes
    // outside 1..7, and a null record for codes 1, 2 and 6, are ignored and
    // answered with null. For code 3 the answer is a block of this
    // component's that the host gives back with code 5; code 5 frees only
    // such a block, once, and ignores every other pointer.
    char* hostEvent(std::intptr_t data, std::int32_t code) noexcept final;

    zelm_script_helper(const zelm_script_helper&) = delete;
    zelm_script_helper& operator=(const zelm_script_helper&) = delete;

protected:
    // Event operations, called only by hostEvent(), on the host's thread.
    // Overrides must not throw.
    virtual void onButton(buttonEvent event) = 0;
    virtual std::int32_t onRevertive(revertiveEvent event) = 0;  // result ignored
    // The answer to a parameter request; empty means no answer (null).
    virtual zelm_string onParameter(parameterEvent event) = 0;
    virtual void onEvent7(event7 event);  // does nothing
    virtual void onTimer(std::int32_t timerId) = 0;
    virtual void onDatabaseChange(databaseEvent event);  // does nothing

    // ---- Host commands. Each sends one line with kind 0. -------------------
    // "PS 'panel' 'loadData/file'" (no prefix when loadData is empty), then
    // " 'extra'" when extra is not empty. True when the host answered
    // non-null, or when there is no host link.
    bool showPanel(const zelm_string& panel, const zelm_string& file, const zelm_string& extra);
    void notifyHost(const zelm_string& text);  // "HN 'text'"
    // "TP 'property=value' 'panel' 'control'"
    void putText(const zelm_string& property, const zelm_string& value, const zelm_string& panel,
                 const zelm_string& control);
    // "TP 'text' 'panel' 'control'"
    void putText(const zelm_string& text, const zelm_string& panel, const zelm_string& control);
    // "TG 'panel' 'control' 'property'". `out` gets the value part of an
    // answer "property=value" (the whole answer for property "all"); the
    // empty text for no answer, no host link, or another property (then one
    // debugger line).
    void getText(const zelm_string& property, const zelm_string& panel, const zelm_string& control, zelm_string& out);
    void enableControl(const zelm_string& panel, const zelm_string& control);   // "CE"
    void disableControl(const zelm_string& panel, const zelm_string& control);  // "CD"
    void startTimer(std::int32_t id, std::int32_t interval);                    // "ET id interval"; "ET id" for 0
    void stopTimer(std::int32_t id);                                            // "ET id"
    // "RC device source destination ',extra' 1|0"
    void routeCrosspoint(std::int32_t device, std::int32_t source, std::int32_t destination, const zelm_string& extra,
                         bool flag);
    // "RN device database index". `out` keeps its text when the host gives
    // no answer; the answer pointer (null included) is always given back.
    void lookupName(std::int32_t device, std::int32_t database, std::int32_t index, zelm_string& out);
    void pollRevertives(std::int32_t device, std::int32_t first, std::int32_t last);  // "RP"
    // "RR device first last", with " 'ADD'" when `add`.
    void registerRevertives(std::int32_t device, std::int32_t first, std::int32_t last, bool add);
    void unregisterRevertives(std::int32_t device);  // "RU device"
    // "XI 'panel' 'prefix'": the ids the host lists, split at ','.
    zelm_stringlist listControls(const zelm_string& panel, const zelm_string& prefix);
    // Fills %1..%9 of `format` with a1..a9 and writes it to the debugger
    // output as it is. Sends nothing to the host.
    static void debugMessage(const zelm_string& format, const zelm_string& a1 = zelm_string(),
                             const zelm_string& a2 = zelm_string(), const zelm_string& a3 = zelm_string(),
                             const zelm_string& a4 = zelm_string(), const zelm_string& a5 = zelm_string(),
                             const zelm_string& a6 = zelm_string(), const zelm_string& a7 = zelm_string(),
                             const zelm_string& a8 = zelm_string(), const zelm_string& a9 = zelm_string());

    // ---- Alarm controls -----------------------------------------------------
    // Drives every control on panel "1" whose id starts with "alm_": "alarm"
    // gets `state` as it is; "value" gets the state's number, or for an
    // acknowledge ("ack" or "4") a value of 1 or outside 0..5 becomes 4.
    // Called by hostEvent() for "ActionAll"/"AckAll" while alarmHandling.
    void applyAlarmState(const zelm_string& state);

    // ---- Installation lookups (no host command, no state) -------------------
    // The "value" of the first entry of "object_settings.<object>" whose "id"
    // is `key`, or the empty text.
    static zelm_string readObjectSetting(const zelm_string& object, const zelm_string& key);
    // "DatabaseSize_<database>" in section "Database" of
    // <QV_ROOT>\<QV_SYSTEM>\config\system\dev_<device, 3 digits>.ini, or 0.
    static std::int32_t readDatabaseSize(std::int32_t device, std::int32_t database);

    zelm_host_link* const hostLink;
    zelm_string loadData;
    bool alarmHandling;

private:
    const char* sendCommand(const char* text);   // kind 0; null without a link
    void giveBack(const char* answer);           // kind 5
    char* answerBlock(const zelm_string& text);  // a new block the host owns
    void releaseBlock(std::intptr_t data);       // code 5
    void dispatchButton(const buttonRecord* record);

    // Blocks handed to the host by code 3 and not yet given back. Usually
    // none or one; blocks the host still holds at destruction stay its own.
    char** outstanding_;
    int outstandingCount_;
    int outstandingCapacity_;
};
