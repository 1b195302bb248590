// What each host event costs the take / undo panel, measured through the
// host's event entry with a host link that does nothing but answer name
// lookups, next to the physical floor of a revertive: one virtual call that
// stores into a table. Every event's cost is also given as a ratio to that
// floor, measured in the same run, so the figures travel between machines.
//
//   panel_benchmarks [Google Benchmark flags] [--markdown=FILE]
//
// --markdown writes the table (median of the repetitions when
// --benchmark_repetitions is given) to FILE as well.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "command_text.h"
#include "event_records.h"
#include "floor_target.h"
#include "temp_installation.h"
#include "tessaly_q.h"
#include "zelm_client_callback.h"
#include "zelm_host_link.h"

namespace {

// Answers the lookups a package selection and a Take make, with fixed texts;
// every other command gets no answer. Nothing is recorded.
class silent_host_link final : public zelm_host_link {
public:
    silent_host_link() = default;
    virtual ~silent_host_link() = default;
    silent_host_link(const silent_host_link&) = delete;
    silent_host_link& operator=(const silent_host_link&) = delete;

    const char* send(const char* text, std::int32_t kind) override
    {
        if (kind != zelmSendCommand || text == nullptr || text[0] != 'R' || text[1] != 'N')
            return nullptr;
        if (std::strncmp(text, "RN 20 0 ", 8) == 0)
            return "12,14,16";
        if (std::strncmp(text, "RN 20 1 ", 8) == 0)
            return "101,102,103";
        return "NAME|1";
    }
};

// Three package levels on routers 31, 32 and 33 with 200 destinations each
// and packages on device 20, for the whole run.
std::unique_ptr<temp_installation> installation;

void writeInstallation()
{
    installation = std::make_unique<temp_installation>();
    installation->writeThreeLevelMatrix(200);
}

char* parameter(zelm_client_callback* panel, const char* text)
{
    return panel->hostEvent(reinterpret_cast<std::intptr_t>(text), zelmEventParameter);
}

void revertive(zelm_client_callback* panel, std::int32_t device, std::int32_t index, std::int32_t state)
{
    const revertiveRecord record{device, 0, index, state};
    panel->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
}

void press(zelm_client_callback* panel, const char* id)
{
    const commandText text(nullptr);
    const buttonRecord record{0, 0, "1", id, &text};
    panel->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventButton);
}

// A configured panel whose tallies hold a full poll answer.
struct configured_panel {
    silent_host_link link;
    std::unique_ptr<zelm_client_callback> panel;

    configured_panel() : panel(new Tessaly_Q(&link, ""))
    {
        parameter(panel.get(), "uselevels=1,2,3");
        parameter(panel.get(), "matrixobject=MTX");
        parameter(panel.get(), "takelow=takeLowSheet");
        parameter(panel.get(), "takehigh=takeHighSheet");
        parameter(panel.get(), "unusedleveltext=-");
        for (std::int32_t router = 31; router <= 33; ++router)
            for (std::int32_t destination = 1; destination <= 200; ++destination)
                revertive(panel.get(), router, destination, 3);
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- The floor ---------------------------------------------------------------

void Floor_VirtualCallAndStore(benchmark::State& state)
{
    const std::unique_ptr<floor_target> target(makeFloorTarget());
    floor_target* through = target.get();
    revertiveRecord record{31, 0, 1, 1};
    std::int32_t destination = 1;
    for (auto _ : state) {
        record.index = destination;
        record.state = destination;
        benchmark::DoNotOptimize(through);  // the type behind it stays unknown
        through->store(&record);
        benchmark::ClobberMemory();
        if (++destination > 200)
            destination = 1;
    }
}
BENCHMARK(Floor_VirtualCallAndStore);

// ---- Events through hostEvent --------------------------------------------------

void Revertive(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    revertiveRecord record{32, 0, 1, 1};
    std::int32_t destination = 1;
    for (auto _ : state) {
        record.index = destination;
        record.state = destination;
        benchmark::DoNotOptimize(panel);
        panel->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
        benchmark::ClobberMemory();
        if (++destination > 200)
            destination = 1;
    }
}
BENCHMARK(Revertive);

void TimerTick_Foreign(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state) {
        benchmark::DoNotOptimize(panel);
        panel->hostEvent(static_cast<std::intptr_t>(7), zelmEventTimer);  // stops timer 7: "ET 7"
    }
}
BENCHMARK(TimerTick_Foreign);

void TimerTick_Take(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state) {
        benchmark::DoNotOptimize(panel);
        panel->hostEvent(static_cast<std::intptr_t>(1), zelmEventTimer);  // a flash: one state sheet
    }
}
BENCHMARK(TimerTick_Take);

void ParameterSet(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state)
        benchmark::DoNotOptimize(parameter(panel, "takelow=takeLowSheet"));
}
BENCHMARK(ParameterSet);

void ParameterQuery(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state) {
        char* answer = parameter(panel, "return=all");
        benchmark::DoNotOptimize(answer);
        panel->hostEvent(reinterpret_cast<std::intptr_t>(answer), zelmEventRelease);
    }
}
BENCHMARK(ParameterQuery);

void PackageSelection(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state)  // the package and a name on each of three levels
        benchmark::DoNotOptimize(parameter(panel, "srcpkg=5"));
}
BENCHMARK(PackageSelection);

void Take(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state) {
        parameter(panel, "srcpkg=5");
        parameter(panel, "destpkg=9");
        const auto start = std::chrono::steady_clock::now();
        press(panel, "Take");  // three routes, six name lookups
        state.SetIterationTime(secondsSince(start));
    }
}
BENCHMARK(Take)->UseManualTime();

void Undo(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    for (auto _ : state) {
        parameter(panel, "srcpkg=5");
        parameter(panel, "destpkg=9");
        press(panel, "Take");
        const auto start = std::chrono::steady_clock::now();
        press(panel, "Undo");  // three routes back
        state.SetIterationTime(secondsSince(start));
    }
}
BENCHMARK(Undo)->UseManualTime();

void PollAnswer_3x200(benchmark::State& state)
{
    configured_panel world;
    zelm_client_callback* panel = world.panel.get();
    revertiveRecord record{31, 0, 1, 1};
    std::int32_t round = 0;
    for (auto _ : state) {
        for (std::int32_t router = 31; router <= 33; ++router) {
            record.device = router;
            for (std::int32_t destination = 1; destination <= 200; ++destination) {
                record.index = destination;
                record.state = destination + round;
                panel->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
            }
        }
        benchmark::ClobberMemory();
        ++round;
    }
    state.SetItemsProcessed(state.iterations() * 600);
}
BENCHMARK(PollAnswer_3x200);

// ---- The table -------------------------------------------------------------------

// Prints as the console reporter does and keeps, per benchmark, the median
// (or the single run) in nanoseconds.
class collecting_reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            const std::string name = run.run_name.function_name;
            const auto known = fromMedian_.find(name);
            if (known == fromMedian_.end())
                order_.push_back(name);
            else if (known->second && !median)
                continue;  // a median already stands for this benchmark
            nanoseconds_[name] = run.GetAdjustedRealTime() * toNanoseconds(run.time_unit);
            fromMedian_[name] = median;
        }
    }

    // The Markdown table: each event's time and its ratio to the floor.
    std::string table() const
    {
        const auto floor = nanoseconds_.find("Floor_VirtualCallAndStore");
        const double floorNs = floor == nanoseconds_.end() ? 0.0 : floor->second;
        std::string out = "| Event through hostEvent | Time per event | Ratio to floor |\n|---|---:|---:|\n";
        char row[256];
        for (const std::string& name : order_) {
            const double ns = nanoseconds_.at(name);
            const char* label = labelOf(name);
            if (floorNs > 0.0)
                std::snprintf(row, sizeof row, "| %s | %.1f ns | %.1f |\n", label, ns, ns / floorNs);
            else
                std::snprintf(row, sizeof row, "| %s | %.1f ns | - |\n", label, ns);
            out += row;
        }
        const auto revertiveRun = nanoseconds_.find("Revertive");
        if (floorNs > 0.0 && revertiveRun != nanoseconds_.end()) {
            std::snprintf(row, sizeof row, "\nRevertive: %.2f times the floor (target: at most 3): %s.\n",
                          revertiveRun->second / floorNs, revertiveRun->second <= 3.0 * floorNs ? "met" : "MISSED");
            out += row;
        }
        return out;
    }

private:
    static double toNanoseconds(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1.0;
        case benchmark::kMicrosecond:
            return 1e3;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kSecond:
            return 1e9;
        }
        return 1.0;
    }

    static const char* labelOf(const std::string& name)
    {
        static const std::map<std::string, const char*> labels = {
            {"Floor_VirtualCallAndStore", "Floor: bare virtual call + table store"},
            {"Revertive", "Revertive (stored in a tally)"},
            {"TimerTick_Foreign", "Timer tick, foreign id (\"ET\" stop)"},
            {"TimerTick_Take", "Timer tick, take timer (one flash)"},
            {"ParameterSet", "Parameter set (\"takelow\")"},
            {"ParameterQuery", "Parameter query (\"return=all\" + give-back)"},
            {"PackageSelection", "Package selection (4 lookups)"},
            {"Take", "Take (3 routes, 6 lookups)"},
            {"Undo", "Undo (3 routes)"},
            {"PollAnswer_3x200", "Poll answer, 3 routers x 200 destinations"},
        };
        const auto found = labels.find(name);
        return found == labels.end() ? name.c_str() : found->second;
    }

    std::map<std::string, double> nanoseconds_;
    std::map<std::string, bool> fromMedian_;
    std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv)
{
    std::string markdown;
    std::vector<char*> arguments;
    for (int at = 0; at < argc; ++at) {
        if (std::strncmp(argv[at], "--markdown=", 11) == 0)
            markdown = argv[at] + 11;
        else
            arguments.push_back(argv[at]);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;

    writeInstallation();
    collecting_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    installation.reset();

    const std::string table = reporter.table();
    std::printf("\n%s", table.c_str());
    if (!markdown.empty()) {
        std::ofstream out(markdown, std::ios::trunc);
        out << table;
        if (!out)
            return 1;
    }
    return 0;
}
