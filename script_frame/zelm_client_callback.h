// The host's view of a panel component: what the host creates through the
// module's export, delivers every event to, and deletes at the end.
#pragma once

#include <cstdint>

// Event codes delivered with hostEvent().
enum zelm_event_code : std::int32_t {
    zelmEventRevertive = 1,       // data: const revertiveRecord*
    zelmEventButton = 2,          // data: const buttonRecord*
    zelmEventParameter = 3,       // data: const char* parameter text
    zelmEventTimer = 4,           // data: the timer id itself
    zelmEventRelease = 5,         // data: a text returned earlier for code 3
    zelmEventDatabaseChange = 6,  // data: const databaseRecord*
    zelmEventSeven = 7,           // data: passed on untouched
};

class zelm_client_callback {
public:
    // Slot 0. The host deletes the component through it.
    virtual ~zelm_client_callback() = default;

    // Slot 1. The one event entry. `data` is a pointer-sized word whose
    // meaning depends on `code`. Returns a text the host must give back with
    // code 5, or null. Called on the host's thread, one call at a time; never
    // throws.
    virtual char* hostEvent(std::intptr_t data, std::int32_t code) = 0;
};
