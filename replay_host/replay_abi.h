// The module's interfaces as the replay host sees them: the component's
// slots, the export's shape and the event records in their binary layout.
// Declared here from the host's side of the contract (slot order, record
// layouts), not taken from the module's headers, so that a module whose own
// headers drifted fails the replay. C runtime only (see replay_host.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

// The component: slot 0 the destructor (under MSVC one slot, the scalar
// deleting destructor, which `delete` calls), slot 1 hostEvent.
class panel_component {
public:
    virtual ~panel_component() {}
    virtual char* hostEvent(std::intptr_t data, std::int32_t code) = 0;
};

using load_function = panel_component* (*)(void* hostLink, const char* data);

struct revertive_record {
    std::int32_t device;
    std::int32_t reserved;
    std::int32_t index;
    std::int32_t state;
};

struct command_text_record {
    const char* command;
    const char* subs[32];
    const char* value;
    std::int32_t subCount;
    bool hasValue;
    char* buffer;
};

struct button_record {
    std::int32_t reserved0;
    std::int32_t reserved1;
    const char* panel;
    const char* id;
    const command_text_record* text;
};

const std::size_t databaseNameOffset = 4 * sizeof(std::int32_t);  // the name follows four int32
