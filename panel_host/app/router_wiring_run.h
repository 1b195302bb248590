// A whole run for the tests of the router wiring: the sample installation
// (examples/installation) with router 31 simulated or on a protocol double
// over TCP on loopback, a scenario runner around the panel module, and the
// links wired to it as panel_host wires them. Tests run scenario text,
// let the double misbehave between steps, let wall time pass on the one
// loop, and read the transcript.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/router_wiring.h"
#include "routers/doubles/double_commands.h"
#include "routers/doubles/router_doubles.h"
#include "scenario/scenario_runner.h"
#include "temp_installation.h"

namespace wiring_test {

using namespace std::chrono_literals;

inline link_timing quickTiming()
{
    link_timing timing;
    timing.ack = 2000ms;
    timing.reply = 2000ms;
    timing.firstRetry = 50ms;
    timing.longestRetry = 200ms;
    timing.connect = 2000ms;
    return timing;
}

#if defined(_WIN32)
inline const char* const moduleSuffix = ".dll";
#else
inline const char* const moduleSuffix = ".so";
#endif

struct run_settings {
    std::string protocol = "simulated";  // or swp08, videohub: router 31 on a double
    link_timing timing = quickTiming();
    int verbosity = 1;
    // The double's routing differs from the device file: output -> input.
    std::vector<std::pair<int, int>> routerRoutes;
    bool startLate = false;  // the double listens only when the test says so
};

class sample_run {
public:
    explicit sample_run(const run_settings& settings = run_settings())
        : out_(text_, transcript_style{settings.verbosity, false, false})
    {
        std::string source = ZELM_SOURCE_DIR;
        // Copied now: on Windows the _putenv_s below may move the environment.
        const char* binVariable = std::getenv("ZELM_BIN_DIR");
        const std::string bin = binVariable == nullptr ? "." : binVariable;
        systemDir_ = source + "/examples/installation/SYS/config/system";
        setEnvironmentVariable("QV_ROOT", source + "/examples/installation");
        setEnvironmentVariable("QV_SYSTEM", "SYS");
        std::string error;
        EXPECT_TRUE(routers_.load(systemDir_, error)) << error;
        runner_settings runnerSettings;
        runnerSettings.modulePath = bin + "/Tessaly_Q" + moduleSuffix;
        runnerSettings.layoutDir = source + "/panels/components/Tessaly_Q";
        runnerSettings.picture = true;
        runnerSettings.pictureStyle.unicode = false;
        std::vector<std::string> overrides;
        if (settings.protocol != "simulated")
            overrides.push_back(startDouble(settings));
        runner_ = std::make_unique<scenario_runner>(runnerSettings, routers_, out_);
        EXPECT_TRUE(runner_->openModule(error)) << error;
        links_ = std::make_unique<router_links>(loop_, settings.timing);
        EXPECT_TRUE(wireRouterLinks(*links_, routers_, *runner_, overrides, error)) << error;
        links_->connectAll();
    }
    ~sample_run()
    {
        // Everything on the loop goes before the loop.
        links_.reset();
        runner_.reset();
        router.reset();
        unsetEnvironmentVariable("QV_ROOT");
        unsetEnvironmentVariable("QV_SYSTEM");
    }
    sample_run(const sample_run&) = delete;
    sample_run& operator=(const sample_run&) = delete;

    void run(const std::string& scenario)
    {
        parsed_scenario parsed = parseScenario(scenario, "t.scn");
        EXPECT_TRUE(parsed.errors.empty()) << scenario;
        for (const auto& step : parsed.steps)
            runner_->run(step);
    }
    // The transcript; the run must have met every expectation.
    std::string finish()
    {
        runner_->finish();
        EXPECT_TRUE(out_.failures().empty()) << text_.str();
        return text_.str();
    }
    std::string text() const { return text_.str(); }
    void runFor(std::chrono::milliseconds span) { loop_.runFor(span); }
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20000ms)
    {
        return loop_.runUntil(done, limit);
    }
    // The link of router 31 is up and has nothing left to do.
    bool linkSettled()
    {
        network_link* link = links_->link(31);
        return link != nullptr && link->connected() && link->settled();
    }
    network_link* link() { return links_->link(31); }
    router_model& routers() { return routers_; }
    scenario_runner& runner() { return *runner_; }
    virtual_clock& clock() { return runner_->clock(); }

    std::unique_ptr<router_double> router;

private:
    std::string startDouble(const run_settings& settings)
    {
        std::string error;
        double_state state;
        EXPECT_TRUE(double_state::fromDeviceFile(systemDir_ + "/dev_031.ini", 1, state, error)) << error;
        for (const auto& route : settings.routerRoutes)
            state.routes[static_cast<std::size_t>(route.first)] = route.second;
        if (settings.protocol == "swp08")
            router = std::make_unique<swp08_double>(loop_.context(), state);
        else
            router = std::make_unique<videohub_double>(loop_.context(), state);
        EXPECT_TRUE(router->listen(0, error)) << error;
        if (settings.startLate)
            router->refuse(true);
        return "31=" + settings.protocol + ":127.0.0.1:" + std::to_string(router->port());
    }

    std::ostringstream text_;
    transcript out_;
    std::string systemDir_;
    router_model routers_;
    event_loop loop_;
    std::unique_ptr<scenario_runner> runner_;
    std::unique_ptr<router_links> links_;
};

// Lines of `text` that contain `part`.
inline std::vector<std::string> linesWith(const std::string& text, const std::string& part)
{
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

}  // namespace wiring_test
