// The roster of components: declaring them by name, finding them, their
// labels in the transcript, and making and deleting one.
#include "scenario/scenario_runner.h"

#include "scenario/runner_text.h"

runner_component* scenario_runner::findComponent(const std::string& name)
{
    for (auto& component : components_)
        if (component->name == name)
            return component.get();
    return nullptr;
}

runner_component& scenario_runner::declareComponent(const std::string& name)
{
    if (runner_component* found = findComponent(name))
        return *found;
    // A scenario that names its components from the start has no "main":
    // the first name it gives takes that place.
    if (components_.size() == 1 && !firstUsed_ && components_.front()->object == nullptr) {
        components_.front()->name = name;
        return *components_.front();
    }
    auto component = std::make_unique<runner_component>();
    component->name = name;
    component->clockOwner = static_cast<int>(components_.size());
    component->host = std::make_unique<simulated_host>(component->panels, routers_, clock_, out_, settings_.layoutDir,
                                                       component->clockOwner);
    // One facility: the first link's faults and dice serve every link.
    if (!components_.empty())
        component->host->shareFaults(*components_.front()->host);
    component->host->setRouteListener(
        [this](device_model& device, int destination) { routeChanged(device, destination); });
    components_.push_back(std::move(component));
    return *components_.back();
}

runner_component* scenario_runner::ownerOf(int clockOwner)
{
    if (clockOwner < 0 || static_cast<std::size_t>(clockOwner) >= components_.size())
        return nullptr;
    return components_[static_cast<std::size_t>(clockOwner)].get();
}

std::string scenario_runner::label(const runner_component& of) const
{
    return components_.size() > 1 ? of.name + ": " : std::string();
}

std::vector<component_view> scenario_runner::components() const
{
    std::vector<component_view> views;
    for (const auto& component : components_)
        views.push_back({component->name, component->object != nullptr, &component->panels, &component->lastAnswer,
                         &component->parametersSet});
    return views;
}

bool scenario_runner::requireComponent()
{
    if (target_->object != nullptr)
        return true;
    fail("no component: the scenario must \"create\" it first");
    return false;
}

bool scenario_runner::anyComponentExists() const
{
    for (const auto& component : components_)
        if (component->object != nullptr)
            return true;
    return false;
}

void scenario_runner::create(const scenario_step& step)
{
    runner_component& to = *target_;
    if (to.object != nullptr) {
        fail("the component exists already; \"destroy\" it first");
        return;
    }
    if (loader_.entry() == nullptr) {
        fail("no module is loaded");
        return;
    }
    to.usedData = step.hasText ? step.text : settings_.loadData;
    out_.event(clock_.now(), label(to) + "create the component, data " + quotedText(to.usedData), where_);
    if (recording(to)) {
        recorder_->create(to.usedData);
        to.object = loader_.entry()(recorder_.get(), to.usedData.c_str());
        recorder_->created(to.object != nullptr);
    } else {
        to.object = loader_.entry()(to.host.get(), to.usedData.c_str());
    }
    checkAfterEvent(to);
    if (to.object == nullptr) {
        fail("load_zelm_client_script returned null");
        return;
    }
    settle();
}

void scenario_runner::destroy()
{
    runner_component& of = *target_;
    out_.event(clock_.now(), label(of) + "destroy the component", where_);
    if (recording(of))
        recorder_->destroy();
    delete of.object;
    of.object = nullptr;
    checkAfterEvent(of);
    for (const auto& timer : clock_.timerIntervals(of.clockOwner))
        out_.warning(label(of) + "timer " + std::to_string(timer.first) +
                     " still runs after the component was destroyed");
    for (const auto& timer : clock_.timerIntervals(of.clockOwner))
        clock_.stopTimer(timer.first, of.clockOwner);
    // The host drops whatever registrations the component left behind.
    std::vector<int> leftBehind;
    for (const auto& entry : of.host->registrations())
        if (!entry.second.empty())
            leftBehind.push_back(entry.first);
    for (int device : leftBehind) {
        out_.note(label(of) + "registrations of router " + std::to_string(device) + " left behind; dropped");
        of.host->dropRegistrations(device);
    }
    // With the last component goes what was on its way, the scheduled
    // facility lines too; with one of several only its revertives.
    if (anyComponentExists())
        clock_.dropPendingFor(of.clockOwner);
    else
        clock_.dropPending();
}
