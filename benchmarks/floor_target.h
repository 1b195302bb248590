// The physical floor of a revertive: one virtual call that stores one value
// into a table. Declared here and defined in its own translation unit, and
// reached only through a pointer the benchmark launders, so the compiler can
// neither see the target's type nor inline or drop the call.
#pragma once

#include <cstdint>

#include "event_records.h"

class floor_target {
public:
    virtual ~floor_target() = default;
    virtual std::int32_t store(const revertiveRecord* record) = 0;
    // The stored value, or -1 outside the table (for tests only).
    virtual std::int32_t at(std::int32_t index) const = 0;
};

// A new target with a table of 201 entries; the caller deletes it.
floor_target* makeFloorTarget();
