// scenario_runner: plays the host around one panel module. It loads the
// module as the host does, creates the component through the export,
// delivers every event through hostEvent, gives back each parameter answer
// with code 5, runs the virtual clock, and checks a scenario's
// expectations. Failures are reported through the transcript with the
// scenario's file:line.
//
// A facility may hold several components of the module (take/undo
// positions), each with a name, its own host link, panels, answers and
// timers, all on the same routers and clock. A scenario that names none
// has the one component "main", and its transcript reads as it always
// did; once a second is named ("use B", "B: create"), events, pictures and
// failures carry the component's name. A scenario that names a component
// before any line addressed "main" renames it: "A: create", "B: create"
// make two components, A and B.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "facility/event_record.h"
#include "facility/panel_model.h"
#include "facility/router_model.h"
#include "facility/simulated_host.h"
#include "facility/virtual_clock.h"
#include "module_loader.h"
#include "scenario/panel_picture.h"
#include "scenario/scenario_parser.h"
#include "text/transcript.h"

struct runner_settings {
    std::string modulePath;
    std::string loadData;   // data text for the export
    std::string layoutDir;  // where relative layout files are read from
    bool picture = false;   // "show" draws the panel
    bool stopOnFailure = false;
    picture_style pictureStyle;
    std::string recordPath;  // --record-events: the first component's event record is written here
};

// One component of the facility as the runner holds it.
struct runner_component {
    std::string name;    // "main" for the first
    int clockOwner = 0;  // its timers and revertives on the shared clock
    panel_model panels;
    std::unique_ptr<simulated_host> host;
    zelm_client_callback* object = nullptr;  // null before "create" and after "destroy"
    std::string usedData;
    std::optional<std::string> lastAnswer;
    // The value the host last set for each parameter name ("srcpkg" -> "3"),
    // at most maxRememberedParameters names, each value cut at
    // maxRememberedValue bytes: what a view shows as selected.
    std::map<std::string, std::string> parametersSet;
};
constexpr std::size_t maxRememberedParameters = 64;
constexpr std::size_t maxRememberedValue = 256;

// The crosspoints the last press of a control routed while it was handled
// (its event and what settled at once): a view marks them as that
// control's, until they change again. `number` counts the presses.
struct press_routes {
    std::int64_t number = 0;
    std::string component;
    std::string control;
    std::vector<std::pair<int, int>> routed;  // (device, destination), in order, each once
};
constexpr std::size_t maxPressRoutes = 4096;

// What a view of the facility needs to know of one component.
struct component_view {
    std::string name;
    bool exists = false;
    const panel_model* panels = nullptr;
    const std::optional<std::string>* lastAnswer = nullptr;          // its answer to the last parameter
    const std::map<std::string, std::string>* parameters = nullptr;  // the values the host last set
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
    // A router reported a new name: delivered as "rename" would, once a
    // component exists.
    void nameChanged(int device, int database, int index, const std::string& name);

    // The current component: the one lines without a name address.
    bool componentExists() const { return current_->object != nullptr; }
    simulated_host& host() { return *current_->host; }
    virtual_clock& clock() { return clock_; }
    const router_model& routers() const { return routers_; }
    panel_model& panels() { return current_->panels; }
    const std::optional<std::string>& lastAnswer() const { return current_->lastAnswer; }
    const std::string& currentComponent() const { return current_->name; }
    std::size_t failureCount() const { return out_.failureCount(); }
    int expectationsChecked() const { return expectations_; }

    // Every component declared so far, in order of declaration ("main" first).
    std::vector<component_view> components() const;
    // Crosspoints that components ("RC") or other controllers ("route")
    // routed during the run, as (device, destination), in order.
    const std::set<std::pair<int, int>>& routedCrosspoints() const { return routed_; }
    const press_routes& lastPress() const { return lastPress_; }
    // Lets virtual time pass as "wait" does, for a clock that follows the
    // wall or a view's step button.
    void passTime(std::int64_t milliseconds);
    // The lines come from the browser view, which draws the panels itself:
    // "help" lists what applies on the page, and "show" says so.
    void setShownInBrowser(bool shown) { inBrowser_ = shown; }

private:
    // The runner's work is spread over files by job: this class's core and
    // the component's own lines (scenario_runner.cpp), the roster of
    // components (runner_components.cpp), event delivery and the clock
    // (runner_events.cpp), the facility's lines (runner_facility.cpp), the
    // expectations (runner_expect.cpp).

    // scenario_runner.cpp
    bool aimAt(const scenario_step& step);
    void runStep(const scenario_step& step);
    void fail(const std::string& text);
    void parameterLine(const std::string& text);
    void destroyLine();
    void showPanel(const scenario_step& step);
    void showRouter(const scenario_step& step);
    void useComponent(const scenario_step& step);

    // runner_components.cpp
    runner_component* findComponent(const std::string& name);
    bool recording(const runner_component& of) const { return recorder_ && &of == components_.front().get(); }
    runner_component& declareComponent(const std::string& name);
    runner_component* ownerOf(int clockOwner);
    std::string label(const runner_component& of) const;
    bool requireComponent();
    bool anyComponentExists() const;
    void create(const scenario_step& step);
    void destroy();

    // runner_events.cpp
    char* deliver(runner_component& to, std::intptr_t data, std::int32_t code);
    void checkAfterEvent(runner_component& of);
    void routeChanged(device_model& device, int destination);
    void settle();
    void advance(std::int64_t milliseconds);
    void handleItem(const clock_item& item);
    void deliverRevertive(const clock_item& item);
    void deliverTimer(const clock_item& item);
    void parameter(const std::string& text);
    void checkParameterName(const std::string& text);
    void rememberParameter(runner_component& of, const std::string& text);
    void press(const scenario_step& step);
    std::string nearestControl(const scenario_step& step);
    void revertive(const scenario_step& step);
    void tick(const scenario_step& step);
    void wait(const scenario_step& step);
    void schedule(const scenario_step& step);

    // runner_facility.cpp
    void runFacility(const scenario_step& step, bool scheduled);
    device_model* deviceFor(std::int64_t number);
    void route(const scenario_step& step, const std::string& prefix);
    void rename(const scenario_step& step, const std::string& prefix);
    void tellName(const scenario_step& step);
    void revertiveFault(const scenario_step& step, const std::string& prefix);
    void deviceOnline(const scenario_step& step, const std::string& prefix);
    void clearFaults(const std::string& prefix);

    // runner_expect.cpp
    void expect(const scenario_step& step);
    void expectSent(const scenario_step& step);
    void expectAnswer(const scenario_step& step);
    void expectProperty(const scenario_step& step);
    void expectEnabled(const scenario_step& step);
    void expectCrosspoint(const scenario_step& step);
    void expectTimer(const scenario_step& step);
    std::string substitute(const std::string& line) const;

    runner_settings settings_;
    router_model& routers_;
    transcript& out_;
    virtual_clock clock_;
    module_loader loader_;
    std::vector<std::unique_ptr<runner_component>> components_;
    runner_component* current_ = nullptr;   // what lines without a name address
    runner_component* target_ = nullptr;    // what the step being run addresses
    runner_component* speaking_ = nullptr;  // whose name failures carry now
    std::set<std::pair<int, int>> routed_;
    bool firstUsed_ = false;                    // a line addressed the first component ("main")
    std::unique_ptr<event_recorder> recorder_;  // with --record-events: the first component's host link
    std::string where_;                         // file:line of the step being run
    std::size_t failuresBefore_ = 0;
    int expectations_ = 0;
    std::function<void()> betweenSteps_;
    // The module's parameter names, asked of a spare component once
    // (parameter_vocabulary.h); empty when it lists none.
    std::optional<std::vector<std::string>> parameterNames_;
    bool toldAboutPictures_ = false;  // "show" without pictures says so once
    press_routes lastPress_;
    bool pressing_ = false;  // routes now are the press's
    bool inBrowser_ = false;
};

// The lines of a whole-transcript comparison, expected against actual, as
// a readable difference ("  = same", "  - expected only", "  + sent only").
std::string describeDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual);
