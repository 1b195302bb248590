// The router links wired to the runner, against the protocol doubles over
// TCP on loopback: the demo scenario gives the same transcript on either
// double as on the simulated router, and a router's label change reaches
// the panel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/router_wiring.h"
#include "routers/doubles/router_doubles.h"
#include "scenario/scenario_runner.h"
#include "temp_installation.h"

namespace {

using namespace std::chrono_literals;

link_timing testTiming()
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
const char* const moduleSuffix = ".dll";
#else
const char* const moduleSuffix = ".so";
#endif

// The sample installation with router 31 simulated or on a double, and a
// scenario runner around the panel module.
class sample_run {
public:
    explicit sample_run(const std::string& protocol) : out_(text_, transcript_style{1, false, false})
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
        runner_settings settings;
        settings.modulePath = bin + "/Tessaly_Q" + moduleSuffix;
        settings.layoutDir = source + "/panels/components/Tessaly_Q";
        settings.picture = true;
        settings.pictureStyle.unicode = false;
        double_state state;
        EXPECT_TRUE(double_state::fromDeviceFile(systemDir_ + "/dev_031.ini", 1, state, error)) << error;
        if (protocol == "swp08")
            router = std::make_unique<swp08_double>(loop_.context(), state);
        else if (protocol == "videohub")
            router = std::make_unique<videohub_double>(loop_.context(), state);
        std::vector<std::string> overrides;
        if (router) {
            EXPECT_TRUE(router->listen(0, error)) << error;
            overrides.push_back("31=" + protocol + ":127.0.0.1:" + std::to_string(router->port()));
        }
        runner_ = std::make_unique<scenario_runner>(settings, routers_, out_);
        EXPECT_TRUE(runner_->openModule(error)) << error;
        links_ = std::make_unique<router_links>(loop_, testTiming());
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
        EXPECT_TRUE(parsed.errors.empty());
        for (const auto& step : parsed.steps)
            runner_->run(step);
    }
    std::string finish()
    {
        runner_->finish();
        EXPECT_TRUE(out_.failures().empty()) << text_.str();
        return text_.str();
    }
    void runFor(std::chrono::milliseconds span) { loop_.runFor(span); }

    std::unique_ptr<router_double> router;

private:
    std::ostringstream text_;
    transcript out_;
    std::string systemDir_;
    router_model routers_;
    event_loop loop_;
    std::unique_ptr<scenario_runner> runner_;
    std::unique_ptr<router_links> links_;
};

std::string runDemo(const std::string& protocol)
{
    std::ifstream file(std::string(ZELM_SOURCE_DIR) + "/examples/scenarios/demo.scn");
    std::stringstream scenario;
    scenario << file.rdbuf();
    sample_run demo(protocol);
    demo.run(scenario.str());
    return demo.finish();
}

TEST(VideohubNames, ALabelChangeOnTheRouterIsShownByThePanel)
{
    sample_run run("videohub");
    run.run("create\nset matrixobject MTX\nset uselevels 1,2,3\nset srcpkg 5\nset destpkg 3\n"
            "expect text Src_L1 \"VTR 1\"\n");
    static_cast<videohub_double*>(run.router.get())->relabel(0, 4, "VTR|1 NEW");  // panel source 5
    run.runFor(100ms);
    run.run("say next\nexpect text Src_L1 \"VTR|1 NEW\"\nset srcpkg 5\nexpect text Src_L1 \"VTR 1 NEW\"\n");
    std::string transcript = run.finish();
    EXPECT_NE(transcript.find("name 5 of database 0 on device 31 becomes \"VTR|1 NEW\""), std::string::npos)
        << transcript;
}

TEST(DemoAgainstDoubles, TranscriptEqualsTheSimulatedRouters)
{
    std::string simulated = runDemo("simulated");
    EXPECT_NE(simulated.find("revertives from 31: 1<12 2<12 3<5"), std::string::npos);
    EXPECT_EQ(runDemo("swp08"), simulated);
    EXPECT_EQ(runDemo("videohub"), simulated);
}

}  // namespace
