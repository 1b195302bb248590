#include "scenario/scenario_runner.h"

namespace {

// A facility has a handful of take/undo positions; a view that lets anyone
// name components must not grow without bound.
constexpr std::size_t maxComponents = 64;

// A step that can deliver events starts a new record of lines sent, for
// every component.
bool startsNewRecordOfSent(step_kind kind)
{
    switch (kind) {
    case step_kind::create:
    case step_kind::destroy:
    case step_kind::set:
    case step_kind::get:
    case step_kind::param:
    case step_kind::press:
    case step_kind::route:
    case step_kind::rename:
    case step_kind::wait:
    case step_kind::revertive:
    case step_kind::tick:
        return true;
    default:
        return false;
    }
}

}  // namespace

scenario_runner::scenario_runner(runner_settings settings, router_model& routers, transcript& out)
    : settings_(std::move(settings)), routers_(routers), out_(out)
{
    current_ = &declareComponent("main");
    target_ = current_;
    // The event record follows the first component, the one a replay host
    // plays; its host link stays the same for the whole run.
    if (!settings_.recordPath.empty())
        recorder_ = std::make_unique<event_recorder>(*current_->host, settings_.recordPath);
}

scenario_runner::~scenario_runner()
{
    // A run cut short still deletes the components before their module goes.
    for (auto& component : components_)
        if (component->object != nullptr) {
            if (recording(*component))
                recorder_->destroy();
            delete component->object;
            component->object = nullptr;
        }
}

bool scenario_runner::openModule(std::string& error)
{
    if (recorder_ && !recorder_->ok()) {
        error = "cannot write the event record " + settings_.recordPath;
        return false;
    }
    if (!loader_.open(settings_.modulePath)) {
        error = loader_.error();
        return false;
    }
    return true;
}

void scenario_runner::passTime(std::int64_t milliseconds)
{
    where_ = "clock";
    advance(milliseconds);
    out_.flush();
}

void scenario_runner::fail(const std::string& text)
{
    std::string message = speaking_ != nullptr ? label(*speaking_) + text : text;
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    out_.failure(where_, message);
}

bool scenario_runner::run(const scenario_step& step)
{
    // Reports of real routers that came in since the last step arrive
    // before this step's own event.
    if (betweenSteps_) {
        betweenSteps_();
        settle();
    }
    where_ = step.where();
    failuresBefore_ = out_.failureCount();
    target_ = current_;
    speaking_ = nullptr;
    if (!aimAt(step)) {
        out_.flush();
        return !settings_.stopOnFailure;
    }
    if (addressesComponent(step.kind))
        speaking_ = target_;
    if (target_ == components_.front().get() && addressesComponent(step.kind))
        firstUsed_ = true;
    if (startsNewRecordOfSent(step.kind))
        for (auto& component : components_)
            component->host->clearSent();
    runStep(step);
    out_.flush();
    return !(settings_.stopOnFailure && out_.failureCount() > failuresBefore_);
}

// Sets the component the step addresses; false, with the failure reported,
// for a component that is not there or one too many.
bool scenario_runner::aimAt(const scenario_step& step)
{
    std::string declared = step.kind == step_kind::use_component ? step.name
                           : step.kind == step_kind::create      ? step.component
                                                                 : std::string();
    if (!declared.empty() && findComponent(declared) == nullptr && components_.size() >= maxComponents) {
        fail("the facility has " + std::to_string(maxComponents) + " components already; no more are made");
        return false;
    }
    if (step.component.empty())
        return true;
    target_ = step.kind == step_kind::create ? &declareComponent(step.component) : findComponent(step.component);
    if (target_ != nullptr)
        return true;
    target_ = current_;
    fail("no component \"" + step.component + "\": \"use " + step.component + "\" or \"" + step.component +
         ": create\" first");
    return false;
}

void scenario_runner::runStep(const scenario_step& step)
{
    switch (step.kind) {
    case step_kind::create:
        create(step);
        break;
    case step_kind::destroy:
        destroyLine();
        break;
    case step_kind::set:
        parameterLine(step.name + "=" + step.text);
        break;
    case step_kind::get:
        parameterLine("return=" + step.name);
        break;
    case step_kind::param:
        parameterLine(step.name);
        break;
    case step_kind::press:
        press(step);
        break;
    case step_kind::route:
    case step_kind::rename:
    case step_kind::fault_delay:
    case step_kind::fault_drop:
    case step_kind::fault_duplicate:
    case step_kind::fault_seed:
    case step_kind::fault_offline:
    case step_kind::fault_online:
    case step_kind::fault_clear:
        runFacility(step, false);
        break;
    case step_kind::after:
        schedule(step);
        break;
    case step_kind::wait:
        wait(step);
        break;
    case step_kind::revertive:
        revertive(step);
        break;
    case step_kind::tick:
        tick(step);
        break;
    case step_kind::show_panel:
        showPanel(step);
        break;
    case step_kind::show_router:
        showRouter(step);
        break;
    case step_kind::say:
        out_.heading(step.text);
        break;
    case step_kind::help:
        out_.block(scenarioLanguageSummary(inBrowser_ ? summary_place::browser : summary_place::terminal));
        break;
    case step_kind::use_component:
        useComponent(step);
        break;
    case step_kind::expect_sent:
    case step_kind::expect_answer:
    case step_kind::expect_property:
    case step_kind::expect_enabled:
    case step_kind::expect_crosspoint:
    case step_kind::expect_timer:
        expect(step);
        break;
    }
}

void scenario_runner::parameterLine(const std::string& text)
{
    if (requireComponent())
        parameter(text);
}

void scenario_runner::destroyLine()
{
    if (requireComponent())
        destroy();
}

void scenario_runner::showPanel(const scenario_step& step)
{
    if (!settings_.picture) {
        if (!toldAboutPictures_)
            out_.note(inBrowser_ ? "the page draws the panels; \"show\" draws them here only with --picture"
                                 : "\"show\" draws the panel only with --picture (panel_host --picture FILE)");
        toldAboutPictures_ = true;
        return;
    }
    const panel_layout* layout = target_->panels.panel(step.panel);
    if (layout == nullptr) {
        out_.note(label(*target_) + "panel " + step.panel + " is not shown");
        return;
    }
    std::string title = components_.size() > 1 ? step.panel + " of " + target_->name : step.panel;
    out_.block(drawPanel(title, *layout, settings_.pictureStyle));
}

void scenario_runner::showRouter(const scenario_step& step)
{
    const device_model* device = routers_.device(static_cast<int>(step.a));
    if (device == nullptr || !device->isRouter()) {
        fail("the installation has no router " + std::to_string(step.a));
        return;
    }
    int first = step.hasText ? static_cast<int>(step.b) : 1;
    int last = step.hasText ? static_cast<int>(step.c) : 0;
    out_.block(drawRouter(*device, first, last, settings_.pictureStyle));
}

void scenario_runner::useComponent(const scenario_step& step)
{
    if (step.name == components_.front()->name)
        firstUsed_ = true;
    current_ = &declareComponent(step.name);
    out_.note("lines without a name now address component " + current_->name);
}

void scenario_runner::finish()
{
    where_ = "end of run";
    for (auto& component : components_)
        if (component->object != nullptr) {
            target_ = component.get();
            speaking_ = target_;
            component->host->clearSent();
            destroy();
        }
    speaking_ = nullptr;
    target_ = current_;
    out_.flush();
}
