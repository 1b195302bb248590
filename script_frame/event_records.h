// The records that arrive with host events. The host lays them out; they are
// read-only for the component and valid only during one hostEvent() call.
#pragma once

#include <cstdint>

#include "command_text.h"

// Code 1: a device reports a state, for a router the source now on `index`.
struct revertiveRecord {
    std::int32_t device;
    std::int32_t reserved;  // not read by the component
    std::int32_t index;
    std::int32_t state;
};

// Code 6: a name in one of a device's name databases changed.
struct databaseRecord {
    std::int32_t device;
    std::int32_t database;
    std::int32_t index;
    std::int32_t reserved;  // not read by the component
    // The new name, NUL-terminated, stored in the record itself; the text
    // runs on past the declared end of the record.
    char name[1];
};

// Code 2: a control on a panel was pressed.
struct buttonRecord {
    std::int32_t reserved0;  // not read by the component
    std::int32_t reserved1;
    const char* panel;        // text of the panel's number
    const char* id;           // the control's id
    const commandText* text;  // the control's parsed event text
};
