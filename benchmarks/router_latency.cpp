// router_latency: how long a Take takes to reach a real router, over
// loopback: from the press of Take to the moment the protocol double
// changes the crosspoint. The road is panel_host's own: the panel module in
// the scenario runner, the host's "RC", the router's link (SW-P-08 or
// Videohub), TCP on 127.0.0.1, the double reading the request. The double
// runs on the simulator's loop, as the link runs that loop while it waits
// for the router's acknowledgement anyway; its own work is a table store.
//
// Router 31 of the sample installation (examples/installation) is on the
// double; the panel takes source packages 1 and 2 by turns to MON 3 on the
// Video level. The first takes warm the road up and are not counted.
//
//   router_latency SOURCE_DIR BIN_DIR [TAKES]
//
// prints one line per protocol: the takes, the median and the 99th
// percentile in microseconds. Exit status 1 when a Take never reached the
// double.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

#include "app/router_wiring.h"
#include "routers/doubles/router_doubles.h"
#include "scenario/scenario_runner.h"
#include "temp_installation.h"

namespace {

using steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

#if defined(_WIN32)
const char* const moduleSuffix = ".dll";
#else
const char* const moduleSuffix = ".so";
#endif

// The transcript is not what is measured: it goes nowhere.
class discard_buffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

struct latencies {
    std::vector<double> micros;
    bool complete = true;
};

class latency_run {
public:
    latency_run(const std::string& protocol, const std::string& sourceDir, const std::string& binDir)
        : sink_(std::getenv("BENCH_DEBUG") ? std::cerr.rdbuf() : &discard_),
          out_(sink_, transcript_style{1, false, false})
    {
        std::string systemDir = sourceDir + "/examples/installation/SYS/config/system";
        setEnvironmentVariable("QV_ROOT", sourceDir + "/examples/installation");
        setEnvironmentVariable("QV_SYSTEM", "SYS");
        std::string error;
        double_state state;
        if (!routers_.load(systemDir, error) ||
            !double_state::fromDeviceFile(systemDir + "/dev_031.ini", 1, state, error))
            fail(error);
        if (protocol == "swp08")
            double_ = std::make_unique<swp08_double>(loop_.context(), state);
        else
            double_ = std::make_unique<videohub_double>(loop_.context(), state);
        if (!double_->listen(0, error))
            fail(error);
        runner_settings settings;
        settings.modulePath = binDir + "/Tessaly_Q" + moduleSuffix;
        settings.layoutDir = sourceDir + "/panels/components/Tessaly_Q";
        runner_ = std::make_unique<scenario_runner>(settings, routers_, out_);
        if (!runner_->openModule(error))
            fail(error);
        links_ = std::make_unique<router_links>(loop_);
        std::string override = "31=" + protocol + ":127.0.0.1:" + std::to_string(double_->port());
        if (!wireRouterLinks(*links_, routers_, *runner_, {override}, error))
            fail(error);
        links_->connectAll();
        double_->watchClientRoutes([this](int output, int) {
            if (output == monitor3)
                routedAt_ = steady::now();
        });
    }
    ~latency_run()
    {
        // Everything on the loop goes before the loop.
        links_.reset();
        runner_.reset();
        double_.reset();
    }
    latency_run(const latency_run&) = delete;
    latency_run& operator=(const latency_run&) = delete;

    latencies measure(int warmUp, int takes)
    {
        run("create\nset matrixobject MTX\nset uselevels 1\n");
        latencies result;
        for (int take = 0; take < warmUp + takes; ++take) {
            // A Take clears the selection: both packages are chosen again.
            run("set destpkg 3\nset srcpkg " + std::to_string(1 + take % 2) + "\n");
            parsed_scenario press = parseScenario("press Take\n", "bench.scn");
            routedAt_.reset();
            steady::time_point pressed = steady::now();
            runner_->run(press.steps.front());
            if (!routedAt_ && !loop_.runUntil([this] { return routedAt_.has_value(); }, 2000ms)) {
                result.complete = false;
                return result;
            }
            if (take >= warmUp)
                result.micros.push_back(std::chrono::duration<double, std::micro>(*routedAt_ - pressed).count());
        }
        runner_->finish();
        return result;
    }

private:
    static constexpr int monitor3 = 2;  // MON 3's wire number

    [[noreturn]] static void fail(const std::string& error)
    {
        std::cerr << "router_latency: " << error << "\n";
        std::exit(2);
    }
    void run(const std::string& text)
    {
        parsed_scenario parsed = parseScenario(text, "bench.scn");
        for (const auto& step : parsed.steps)
            runner_->run(step);
    }

    discard_buffer discard_;
    std::ostream sink_;
    transcript out_;
    router_model routers_;
    event_loop loop_;
    std::unique_ptr<router_double> double_;
    std::unique_ptr<scenario_runner> runner_;
    std::unique_ptr<router_links> links_;
    std::optional<steady::time_point> routedAt_;
};

// The value below which `share` of the sorted samples lie (nearest rank).
double percentile(const std::vector<double>& sorted, double share)
{
    auto rank = static_cast<std::size_t>(share * static_cast<double>(sorted.size()) + 0.999999);
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: router_latency SOURCE_DIR BIN_DIR [TAKES]\n";
        return 2;
    }
    int takes = argc == 4 ? std::atoi(argv[3]) : 2000;
    if (takes < 1) {
        std::cerr << "router_latency: TAKES must be a positive number\n";
        return 2;
    }
    int status = 0;
    for (const char* protocol : {"swp08", "videohub"}) {
        latencies result = latency_run(protocol, argv[1], argv[2]).measure(50, takes);
        const char* name = std::string(protocol) == "swp08" ? "SW-P-08" : "Videohub";
        if (!result.complete) {
            std::cerr << "router_latency: " << name << ": a Take never reached the double\n";
            status = 1;
            continue;
        }
        std::sort(result.micros.begin(), result.micros.end());
        std::printf(
            "%-9s %d takes, Take -> crosspoint changed on the double: median %.0f us, 99th percentile %.0f us\n", name,
            takes, percentile(result.micros, 0.5), percentile(result.micros, 0.99));
    }
    return status;
}
