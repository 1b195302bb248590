// Events to the components: the delivery through hostEvent with the checks
// after each, the virtual clock's revertives and timers, and the lines that
// hand a component an event (parameters, press, revertive, tick, wait).
#include "scenario/scenario_runner.h"

#include <algorithm>

#include "command_text.h"
#include "event_records.h"
#include "scenario/parameter_vocabulary.h"
#include "scenario/runner_text.h"

namespace {

// A component that answers its own events with endless new ones would
// keep the clock from moving; this many deliveries at one moment end it.
constexpr int maxDeliveriesAtOneMoment = 100000;
// A fast timer and a long wait would print without end; one wait delivers
// at most this many events.
constexpr int maxDeliveriesInOneWait = 1000000;

}  // namespace

char* scenario_runner::deliver(runner_component& to, std::intptr_t data, std::int32_t code)
{
    runner_component* speaking = speaking_;
    speaking_ = &to;
    if (recording(to))
        recorder_->event(data, code);
    char* result = to.object->hostEvent(data, code);
    if (recording(to))
        recorder_->returned(result);
    checkAfterEvent(to);
    speaking_ = speaking;
    return result;
}

void scenario_runner::checkAfterEvent(runner_component& of)
{
    for (const auto& command : of.host->takeUnreturnedAnswers())
        fail("the answer to " + quotedText(command) + " was not given back (kind 5) before the event returned");
    for (const auto& problem : of.host->takeProblems())
        fail(problem);
}

void scenario_runner::routeChanged(device_model& device, int destination)
{
    routed_.emplace(device.number(), destination);
    std::pair<int, int> crosspoint(device.number(), destination);
    std::vector<std::pair<int, int>>& byPress = lastPress_.routed;
    if (pressing_ && byPress.size() < maxPressRoutes &&
        std::find(byPress.begin(), byPress.end(), crosspoint) == byPress.end())
        byPress.push_back(crosspoint);
    // Every component registered for the destination hears of the route,
    // the one that made it among them.
    for (auto& component : components_)
        component->host->deliverChange(device, destination);
}

void scenario_runner::settle()
{
    int delivered = 0;
    while (auto item = clock_.next(clock_.now())) {
        handleItem(*item);
        if (++delivered > maxDeliveriesAtOneMoment) {
            fail("more than " + std::to_string(maxDeliveriesAtOneMoment) +
                 " events at one moment; the rest are dropped");
            clock_.dropPending();
            return;
        }
    }
}

void scenario_runner::advance(std::int64_t milliseconds)
{
    std::int64_t target = clock_.now() + milliseconds;
    int delivered = 0;
    int inThisWait = 0;
    std::int64_t moment = -1;
    while (auto item = clock_.next(target)) {
        if (item->due != moment) {
            moment = item->due;
            delivered = 0;
        }
        handleItem(*item);
        if (++delivered > maxDeliveriesAtOneMoment) {
            fail("more than " + std::to_string(maxDeliveriesAtOneMoment) + " events at one moment; waiting stops");
            clock_.dropPending();
            break;
        }
        if (++inThisWait >= maxDeliveriesInOneWait) {
            fail(std::to_string(maxDeliveriesInOneWait) + " events in one wait; waiting stops at " +
                 formatTime(clock_.now()));
            return;
        }
    }
    clock_.advanceTo(target);
}

void scenario_runner::handleItem(const clock_item& item)
{
    switch (item.what) {
    case clock_item::kind::revertive:
        deliverRevertive(item);
        return;
    case clock_item::kind::timer:
        deliverTimer(item);
        return;
    case clock_item::kind::action:
        item.action();
        return;
    }
}

void scenario_runner::deliverRevertive(const clock_item& item)
{
    runner_component* to = ownerOf(item.owner);
    if (to == nullptr || to->object == nullptr) {
        out_.detail("revertive " + std::to_string(item.device) + "/" + std::to_string(item.destination) +
                    " dropped: no component");
        return;
    }
    const device_model* device = routers_.device(item.device);
    if (device != nullptr && !device->online()) {
        out_.note("revertive " + std::to_string(item.device) + "/" + std::to_string(item.destination) +
                  " lost: the router is offline");
        return;
    }
    out_.revertive(item.device, item.destination, item.source, components_.size() > 1 ? to->name : "");
    revertiveRecord record{item.device, 0, item.destination, item.source};
    deliver(*to, reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
}

void scenario_runner::deliverTimer(const clock_item& item)
{
    runner_component* to = ownerOf(item.owner);
    if (to == nullptr || to->object == nullptr) {
        clock_.stopTimer(item.timerId, item.owner);
        return;
    }
    out_.event(clock_.now(), label(*to) + "tick of timer " + std::to_string(item.timerId));
    deliver(*to, static_cast<std::intptr_t>(item.timerId), zelmEventTimer);
}

void scenario_runner::parameter(const std::string& text)
{
    runner_component& to = *target_;
    out_.event(clock_.now(), label(to) + "parameter " + quotedText(text), where_);
    checkParameterName(text);
    rememberParameter(to, text);
    char* answer = deliver(to, reinterpret_cast<std::intptr_t>(text.c_str()), zelmEventParameter);
    if (answer == nullptr) {
        to.lastAnswer.reset();
        out_.detail("no answer");
    } else {
        to.lastAnswer = std::string(answer);
        out_.answer(*to.lastAnswer);
        // The answer belongs to the component until it is handed back.
        deliver(to, reinterpret_cast<std::intptr_t>(answer), zelmEventRelease);
        out_.detail("answer given back (code 5)");
    }
    settle();
}

void scenario_runner::checkParameterName(const std::string& text)
{
    if (!parameterNames_)
        parameterNames_ = askParameterNames(loader_.entry(), settings_.loadData);
    if (parameterNames_->empty())
        return;
    std::vector<std::string> known = *parameterNames_;
    known.insert(known.end(), hostParameterNames().begin(), hostParameterNames().end());
    std::string name = parameterNameOf(text);
    if (std::find(known.begin(), known.end(), name) != known.end())
        return;
    std::string nearest = nearestName(name, known);
    out_.warning("the component lists no parameter " + quotedText(shortened(name)) +
                 (nearest.empty() ? std::string(" (param _commands and get all show the names it lists)")
                                  : "; did you mean " + quotedText(nearest) + "?"));
}

void scenario_runner::rememberParameter(runner_component& of, const std::string& text)
{
    std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return;
    std::string name = text.substr(0, equals);
    if (name == "return" || name.size() > maxNameLength)
        return;
    auto found = of.parametersSet.find(name);
    if (found == of.parametersSet.end() && of.parametersSet.size() >= maxRememberedParameters)
        return;
    of.parametersSet[name] = text.substr(equals + 1, maxRememberedValue);
}

void scenario_runner::press(const scenario_step& step)
{
    if (!requireComponent())
        return;
    const panel_control* control = target_->panels.find(step.panel, step.name);
    std::string what = label(*target_) + "press " + quotedText(step.name) +
                       (step.panel == "1" ? "" : " on panel " + step.panel) +
                       (step.hasText ? " with " + quotedText(step.text) : "");
    if (control != nullptr && !control->enabled && !step.flag) {
        out_.event(clock_.now(), what, where_);
        out_.note(step.name + " is disabled: the operator cannot press it (add \"force\" to press anyway)");
        return;
    }
    out_.event(clock_.now(), what + (control != nullptr && !control->enabled ? " (disabled, forced)" : ""), where_);
    if (control == nullptr)
        out_.note("panel " + step.panel + " shows no control " + quotedText(step.name) + "; delivered anyway" +
                  nearestControl(step));
    commandText text(step.hasText ? step.text.c_str() : nullptr);
    buttonRecord record{0, 0, step.panel.c_str(), step.name.c_str(), &text};
    lastPress_ = press_routes{lastPress_.number + 1, target_->name, step.name, {}};
    pressing_ = true;
    deliver(*target_, reinterpret_cast<std::intptr_t>(&record), zelmEventButton);
    settle();
    pressing_ = false;
}

// " (did you mean "Take"?)" for a control the panel shows under a name
// near the one pressed; "" when it shows none near.
std::string scenario_runner::nearestControl(const scenario_step& step)
{
    const panel_layout* layout = target_->panels.panel(step.panel);
    if (layout == nullptr)
        return std::string();
    std::vector<std::string> ids;
    for (const auto& control : layout->controls)
        ids.push_back(control.id);
    std::string nearest = nearestName(step.name, ids);
    return nearest.empty() ? std::string() : " (did you mean " + quotedText(nearest) + "?)";
}

void scenario_runner::revertive(const scenario_step& step)
{
    if (!requireComponent())
        return;
    out_.event(clock_.now(),
               label(*target_) + "revertive from " + std::to_string(step.a) + ": destination " +
                   std::to_string(step.b) + " carries source " + std::to_string(step.c),
               where_);
    revertiveRecord record{static_cast<std::int32_t>(step.a), 0, static_cast<std::int32_t>(step.b),
                           static_cast<std::int32_t>(step.c)};
    deliver(*target_, reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
    settle();
}

void scenario_runner::tick(const scenario_step& step)
{
    if (!requireComponent())
        return;
    out_.event(clock_.now(), label(*target_) + "tick of timer " + std::to_string(step.a), where_);
    deliver(*target_, static_cast<std::intptr_t>(step.a), zelmEventTimer);
    settle();
}

void scenario_runner::wait(const scenario_step& step)
{
    out_.event(clock_.now(), "wait " + formatTime(step.time), where_);
    advance(step.time);
}

void scenario_runner::schedule(const scenario_step& step)
{
    clock_.scheduleAction(step.time, [this, inner = step.inner] { runFacility(*inner, true); });
    out_.note("scheduled for " + formatTime(clock_.now() + step.time));
}
