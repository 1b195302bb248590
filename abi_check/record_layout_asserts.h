// The event records as the host lays them out, byte for byte. The host fills
// these records and the component reads them in place, so a field that moves
// or a size that changes would make the component read the wrong words.
// Included by a translation unit of every build (native, MinGW) and by the
// MSVC-target compile of the ABI check, so each ABI is held to the same
// numbers. Pointer fields widen with the platform; the field order does not.
#pragma once

#include <cstddef>
#include <cstdint>

#include "command_text.h"
#include "event_records.h"

namespace zelm_record_layout {

// Offsets and sizes for a platform with `pointerSize`-byte pointers.
struct expected {
    std::size_t revertiveSize, revertiveDevice, revertiveReserved, revertiveIndex, revertiveState;
    std::size_t databaseSize, databaseDevice, databaseDatabase, databaseIndex, databaseReserved, databaseName;
    std::size_t buttonSize, buttonReserved0, buttonReserved1, buttonPanel, buttonId, buttonText;
    std::size_t textSize, textCommand, textSubs, textValue, textSubCount, textHasValue, textBuffer;
};

// One row per record, laid out as the records are.
// clang-format off
constexpr expected layout64 = {
    16, 0, 4, 8, 12,           // revertiveRecord
    20, 0, 4, 8, 12, 16,       // databaseRecord: name in place, padded to 4
    32, 0, 4, 8, 16, 24,       // buttonRecord
    288, 0, 8, 264, 272, 276, 280,  // commandText
};

constexpr expected layout32 = {
    16, 0, 4, 8, 12,
    20, 0, 4, 8, 12, 16,
    20, 0, 4, 8, 12, 16,
    148, 0, 4, 132, 136, 140, 144,
};
// clang-format on

constexpr expected here = sizeof(void*) == 8 ? layout64 : layout32;

}  // namespace zelm_record_layout

static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "pointers of 4 or 8 bytes");
static_assert(sizeof(std::int32_t) == 4 && sizeof(bool) == 1, "32-bit words and one-byte flags");

static_assert(sizeof(revertiveRecord) == zelm_record_layout::here.revertiveSize, "revertiveRecord size");
static_assert(offsetof(revertiveRecord, device) == zelm_record_layout::here.revertiveDevice, "revertiveRecord::device");
static_assert(offsetof(revertiveRecord, reserved) == zelm_record_layout::here.revertiveReserved,
              "revertiveRecord::reserved");
static_assert(offsetof(revertiveRecord, index) == zelm_record_layout::here.revertiveIndex, "revertiveRecord::index");
static_assert(offsetof(revertiveRecord, state) == zelm_record_layout::here.revertiveState, "revertiveRecord::state");

static_assert(sizeof(databaseRecord) == zelm_record_layout::here.databaseSize, "databaseRecord size");
static_assert(offsetof(databaseRecord, device) == zelm_record_layout::here.databaseDevice, "databaseRecord::device");
static_assert(offsetof(databaseRecord, database) == zelm_record_layout::here.databaseDatabase,
              "databaseRecord::database");
static_assert(offsetof(databaseRecord, index) == zelm_record_layout::here.databaseIndex, "databaseRecord::index");
static_assert(offsetof(databaseRecord, reserved) == zelm_record_layout::here.databaseReserved,
              "databaseRecord::reserved");
static_assert(offsetof(databaseRecord, name) == zelm_record_layout::here.databaseName, "databaseRecord::name");

static_assert(sizeof(buttonRecord) == zelm_record_layout::here.buttonSize, "buttonRecord size");
static_assert(offsetof(buttonRecord, reserved0) == zelm_record_layout::here.buttonReserved0, "buttonRecord::reserved0");
static_assert(offsetof(buttonRecord, reserved1) == zelm_record_layout::here.buttonReserved1, "buttonRecord::reserved1");
static_assert(offsetof(buttonRecord, panel) == zelm_record_layout::here.buttonPanel, "buttonRecord::panel");
static_assert(offsetof(buttonRecord, id) == zelm_record_layout::here.buttonId, "buttonRecord::id");
static_assert(offsetof(buttonRecord, text) == zelm_record_layout::here.buttonText, "buttonRecord::text");

static_assert(sizeof(commandText) == zelm_record_layout::here.textSize, "commandText size");
static_assert(offsetof(commandText, command) == zelm_record_layout::here.textCommand, "commandText::command");
static_assert(offsetof(commandText, subs) == zelm_record_layout::here.textSubs, "commandText::subs");
static_assert(sizeof(commandText::subs) == 32 * sizeof(void*), "commandText::subs holds 32 pointers");
static_assert(offsetof(commandText, value) == zelm_record_layout::here.textValue, "commandText::value");
static_assert(offsetof(commandText, subCount) == zelm_record_layout::here.textSubCount, "commandText::subCount");
static_assert(offsetof(commandText, hasValue) == zelm_record_layout::here.textHasValue, "commandText::hasValue");
static_assert(offsetof(commandText, buffer) == zelm_record_layout::here.textBuffer, "commandText::buffer");
