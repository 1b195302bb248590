// Tessaly_Q: the take / undo router panel (placeholder until the panel lands).
#pragma once

#include "zelm_script_helper.h"

class Tessaly_Q : public zelm_script_helper {
public:
    Tessaly_Q(zelm_host_link* hostLink, const char* data) noexcept : zelm_script_helper(hostLink, data) {}

protected:
    void onButton(buttonEvent) override {}
    std::int32_t onRevertive(revertiveEvent) override { return 0; }
    zelm_string onParameter(parameterEvent) override { return zelm_string(); }
    void onTimer(std::int32_t) override {}
};
