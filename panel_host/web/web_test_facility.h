// The sample installation with the real module, as the web view's tests
// drive it: a facility loaded from examples/, a runner started on demand
// and a transcript written to `text`.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "facility/router_model.h"
#include "scenario/scenario_runner.h"
#include "temp_installation.h"
#include "text/transcript.h"

class web_test_facility : public ::testing::Test {
protected:
    web_test_facility() : out(text, transcript_style{1, false, false})
    {
        std::string source = ZELM_SOURCE_DIR;
        setEnvironmentVariable("QV_ROOT", source + "/examples/installation");
        setEnvironmentVariable("QV_SYSTEM", "SYS");
        std::string error;
        EXPECT_TRUE(routers.load(source + "/examples/installation/SYS/config/system", error)) << error;
        const char* bin = std::getenv("ZELM_BIN_DIR");
        settings.modulePath = std::string(bin == nullptr ? "." : bin) + "/Tessaly_Q" + moduleSuffix;
        settings.layoutDir = source + "/panels/components/Tessaly_Q";
    }
    std::unique_ptr<scenario_runner> start()
    {
        auto runner = std::make_unique<scenario_runner>(settings, routers, out);
        std::string error;
        EXPECT_TRUE(runner->openModule(error)) << error;
        return runner;
    }

#if defined(_WIN32)
    static constexpr const char* moduleSuffix = ".dll";
#else
    static constexpr const char* moduleSuffix = ".so";
#endif
    std::ostringstream text;
    transcript out;
    router_model routers;
    runner_settings settings;
};
