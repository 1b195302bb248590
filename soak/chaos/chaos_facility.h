// chaos_facility: what the chaos soak runs on: the sample installation with
// routers 31, 32 and 33 on protocol doubles over loopback, the runner with
// three components of the panel module on them, and the links wired as
// panel_host wires them (app/router_wiring.h), all on one event loop.
//
// The transcript is read, not kept: every revertive line (verbosity 2) is
// parsed into the tallies each component was handed, and the last lines
// are kept for a failure's report.
#pragma once

#include <cstddef>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/router_wiring.h"
#include "facility/router_model.h"
#include "loop/event_loop.h"
#include "routers/doubles/router_doubles.h"
#include "scenario/scenario_runner.h"
#include "text/transcript.h"

// The revertives each component was handed, read from the transcript's
// lines "<- revertive device 31 to B: destination 3 carries source 11".
class tally_reader final : public transcript_sink {
public:
    // Lines without "to NAME" went to `first`: the runner names the
    // component only once there are several.
    explicit tally_reader(std::string first) : first_(std::move(first)) {}
    void write(std::string_view text) override;
    // component -> (device, destination) -> source.
    using tallies = std::map<std::string, std::map<std::pair<int, int>, int>>;
    const tallies& handed() const { return handed_; }
    // The last lines of the transcript, oldest first.
    std::string recent() const;
    std::size_t linesRead() const { return linesRead_; }

    static constexpr std::size_t keptLines = 60;
    static constexpr std::size_t longestLine = 4096;

private:
    void line(const std::string& text);
    std::string first_;
    std::string partial_;
    std::deque<std::string> recent_;
    tallies handed_;
    std::size_t linesRead_ = 0;
};

struct chaos_paths {
    std::string modulePath;
    std::string layoutDir;
    std::string installation;    // QV_ROOT; its system SYS holds dev_031.ini and the rest
    std::string transcriptFile;  // when set, the whole transcript is written there
};

class chaos_facility {
public:
    explicit chaos_facility(chaos_paths paths);
    ~chaos_facility();
    chaos_facility(const chaos_facility&) = delete;
    chaos_facility& operator=(const chaos_facility&) = delete;

    // Starts the doubles, opens the module, wires and connects the links,
    // creates and configures the components. False with `error`.
    bool start(std::string& error);

    static const std::vector<int>& devices();
    static const std::vector<std::string>& componentNames();
    // "swp08" or "videohub".
    static std::string protocolOf(int device);

    router_double& router(int device) { return *doubles_.at(device); }
    network_link* link(int device) { return links_ ? links_->link(device) : nullptr; }
    device_model& device(int device) { return *routers_.device(device); }
    event_loop& loop() { return loop_; }
    scenario_runner& runner() { return *runner_; }
    const tally_reader& reader() const { return reader_; }

    // Runs scenario lines; false when one of them failed (an expectation,
    // a line the runner refused).
    bool run(const std::string& lines);
    // The registrations of one component: device -> destination ranges.
    std::map<int, std::vector<std::pair<int, int>>> registrationsOf(const std::string& component);

private:
    chaos_paths paths_;
    std::ofstream file_;
    std::ostream nowhere_{nullptr};
    tally_reader reader_{"A"};
    transcript out_;
    router_model routers_;
    event_loop loop_;
    std::map<int, std::unique_ptr<router_double>> doubles_;
    std::unique_ptr<scenario_runner> runner_;
    std::unique_ptr<router_links> links_;
};
