// scenario_runner: plays the host around one panel module. It loads the
// module as the host does, creates the component through the export,
// delivers every event through hostEvent, gives back each parameter answer
// with code 5, runs the virtual clock, and checks a scenario's
// expectations. Failures are reported through the transcript with the
// scenario's file:line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "module_loader.h"
#include "panel_model.h"
#include "panel_picture.h"
#include "router_model.h"
#include "scenario_parser.h"
#include "simulated_host.h"
#include "transcript.h"
#include "virtual_clock.h"

struct runner_settings {
    std::string modulePath;
    std::string loadData;      // data text for the export
    std::string layoutDir;     // where relative layout files are read from
    bool picture = false;      // "show" draws the panel
    bool stopOnFailure = false;
    picture_style pictureStyle;
};

class scenario_runner {
public:
    scenario_runner(runner_settings settings, router_model& routers, transcript& out);
    ~scenario_runner();
    scenario_runner(const scenario_runner&) = delete;
    scenario_runner& operator=(const scenario_runner&) = delete;

    // Opens the module. False, with `error`, when it cannot be loaded or
    // lacks the export.
    bool openModule(std::string& error);

    // Runs one step. False when the run is to stop (a failure with
    // stopOnFailure set).
    bool run(const scenario_step& step);
    // Ends the run: destroys a component that still exists and reports
    // leftovers (unreturned answers, running timers).
    void finish();

    // Run before every step: real routers' links hand over what they
    // reported (routers/router_setup.h); revertives it queued are delivered
    // before the step.
    void setBetweenSteps(std::function<void()> hook) { betweenSteps_ = std::move(hook); }
    // A router reported a new name: delivered as "rename" would.
    void nameChanged(int device, int database, int index, const std::string& name);

    bool componentExists() const { return component_ != nullptr; }
    simulated_host& host() { return *host_; }
    virtual_clock& clock() { return clock_; }
    panel_model& panels() { return panels_; }
    const std::optional<std::string>& lastAnswer() const { return lastAnswer_; }
    std::size_t failureCount() const { return out_.failures().size(); }
    int expectationsChecked() const { return expectations_; }

private:
    char* deliver(std::intptr_t data, std::int32_t code);
    void checkAfterEvent();
    void settle();
    void advance(std::int64_t milliseconds);
    void handleItem(const clock_item& item);
    bool requireComponent(const scenario_step& step);
    void parameter(const std::string& text);
    void runFacility(const scenario_step& step, bool scheduled);
    void expect(const scenario_step& step);
    void fail(const std::string& text);
    std::string substitute(const std::string& line) const;
    void create(const scenario_step& step);
    void destroy();

    runner_settings settings_;
    router_model& routers_;
    transcript& out_;
    panel_model panels_;
    virtual_clock clock_;
    std::unique_ptr<simulated_host> host_;
    module_loader loader_;
    zelm_client_callback* component_ = nullptr;
    std::string usedData_;
    std::optional<std::string> lastAnswer_;
    std::string where_;  // file:line of the step being run
    std::size_t failuresBefore_ = 0;
    int expectations_ = 0;
    std::function<void()> betweenSteps_;
};

// The lines of a whole-transcript comparison, expected against actual, as
// a readable difference ("  = same", "  - expected only", "  + sent only").
std::string describeDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);
