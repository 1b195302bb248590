// A panel for the frame's own tests: records which event operation was
// called with what, answers parameter requests with a chosen text, and opens
// the frame's protected operations to the tests.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "zelm_script_helper.h"

class recording_panel : public zelm_script_helper {
public:
    recording_panel(zelm_host_link* link, const char* data) noexcept : zelm_script_helper(link, data) {}

    std::vector<std::string> calls;  // one line per event operation called
    zelm_string parameterAnswer;     // what onParameter returns
    bool throwOnTimer = false;

    using zelm_script_helper::alarmHandling;
    using zelm_script_helper::applyAlarmState;
    using zelm_script_helper::debugMessage;
    using zelm_script_helper::disableControl;
    using zelm_script_helper::enableControl;
    using zelm_script_helper::getText;
    using zelm_script_helper::hostLink;
    using zelm_script_helper::listControls;
    using zelm_script_helper::loadData;
    using zelm_script_helper::lookupName;
    using zelm_script_helper::notifyHost;
    using zelm_script_helper::pollRevertives;
    using zelm_script_helper::putText;
    using zelm_script_helper::readDatabaseSize;
    using zelm_script_helper::readObjectSetting;
    using zelm_script_helper::registerRevertives;
    using zelm_script_helper::routeCrosspoint;
    using zelm_script_helper::showPanel;
    using zelm_script_helper::startTimer;
    using zelm_script_helper::stopTimer;
    using zelm_script_helper::unregisterRevertives;

protected:
    void onButton(buttonEvent event) override
    {
        calls.push_back(std::string("button ") + event.panel().c_str() + " " + event.id().c_str() + " " +
                        event.command().c_str() + "=" + event.value().c_str());
    }
    std::int32_t onRevertive(revertiveEvent event) override
    {
        calls.push_back("revertive " + std::to_string(event.device()) + " " + std::to_string(event.index()) + " " +
                        std::to_string(event.state()));
        return 99;
    }
    zelm_string onParameter(parameterEvent event) override
    {
        calls.push_back(std::string("parameter ") + event.command().c_str() + "=" + event.value().c_str());
        return parameterAnswer;
    }
    void onTimer(std::int32_t timerId) override
    {
        calls.push_back("timer " + std::to_string(timerId));
        if (throwOnTimer)
            throw std::runtime_error("timer failed");
    }
    void onDatabaseChange(databaseEvent event) override
    {
        calls.push_back("database " + std::to_string(event.device()) + " " + std::to_string(event.database()) + " " +
                        std::to_string(event.index()) + " " + event.name().c_str());
    }
    void onEvent7(event7 event) override { calls.push_back("seven " + std::to_string(event.data())); }
};
