// The step loop every soak shares: a seeded run of scenario lines through
// the simulator's scenario runner, each line read as a scenario file's
// would be, run, and the host commands it caused folded into a digest; the
// first failure ends the run and keeps the lines just before it. What a
// soak generates and what it checks after each line are its own (see
// soak_generator and soak_run.cpp).
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "facility/router_model.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "soak_outcome.h"
#include "text/transcript.h"

// One kind of soak: the lines it opens with, one random step, the lines it
// closes with (only when every step before passed).
class soak_generator {
public:
    virtual ~soak_generator() = default;
    virtual void begin() = 0;
    virtual void randomStep() = 0;
    virtual void end() = 0;
};

class soak_loop {
public:
    explicit soak_loop(soak_outcome& outcome);

    // Makes the runner on `routers` (which must outlive the loop) and opens
    // the module. False, with the run failed, when it cannot be loaded.
    bool open(const runner_settings& settings, router_model& routers);
    // Runs `generator` until the run fails or `steps` lines have run; the
    // run's wall time goes to the outcome.
    void run(int steps, soak_generator& generator);

    // Runs one scenario line, unless the run has failed. False when the run
    // has failed, before or by this line (a line the simulator cannot read,
    // a failure the simulator reports).
    bool step(const std::string& line);
    // Fails the run, unless it has failed already: the first failure is the
    // one reported.
    void fail(const std::string& text);
    bool passed() const { return outcome_.passed; }

    // Called with every command line the component sends, in order.
    void onSent(std::function<void(const std::string&)> hook) { onSent_ = std::move(hook); }

    scenario_runner& runner() { return *runner_; }
    const transcript& out() const { return out_; }

private:
    soak_outcome& outcome_;
    std::ostream nowhere_;
    transcript out_;
    scenario_parser parser_{"soak"};
    std::unique_ptr<scenario_runner> runner_;
    std::function<void(const std::string&)> onSent_;
};
