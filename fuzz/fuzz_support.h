// What the fuzz targets share: a check that stops the run, and a panel that
// does nothing but reach the frame's installation lookups.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "zelm_script_helper.h"

// Ends the run with a crash libFuzzer reports (and keeps the input).
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

class lookup_probe : public zelm_script_helper {
public:
    lookup_probe() : zelm_script_helper(nullptr, nullptr) {}
    using zelm_script_helper::readDatabaseSize;
    using zelm_script_helper::readObjectSetting;

protected:
    void onButton(buttonEvent) override {}
    std::int32_t onRevertive(revertiveEvent) override { return 0; }
    zelm_string onParameter(parameterEvent) override { return zelm_string(); }
    void onTimer(std::int32_t) override {}
};
