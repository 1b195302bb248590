#include "scenario/scenario_runner.h"

#include <cstddef>
#include <cstring>

#include "command_text.h"
#include "event_records.h"

namespace {

// A component that answers its own events with endless new ones would
// keep the clock from moving; this many deliveries at one moment end it.
constexpr int maxDeliveriesAtOneMoment = 100000;
// A fast timer and a long wait would print without end; one wait delivers
// at most this many events.
constexpr int maxDeliveriesInOneWait = 1000000;
// A facility has a handful of take/undo positions; a view that lets anyone
// name components must not grow without bound.
constexpr std::size_t maxComponents = 64;

std::string quoted(const std::string& text)
{
    std::string shown = "\"";
    for (char c : text)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return shown + "\"";
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i)
        joined += (i == 0 ? "" : "\n") + lines[i];
    return joined;
}

}  // namespace

std::string describeDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    // Longest common subsequence, then walk it.
    std::size_t n = expected.size(), m = actual.size();
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[i][j] = expected[i] == actual[j] ? common[i + 1][j + 1] + 1
                                                    : std::max(common[i + 1][j], common[i][j + 1]);
    std::string out;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && expected[i] == actual[j]) {
            out += "      = " + expected[i] + "\n";
            ++i;
            ++j;
        } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
            out += "      + " + actual[j] + "   (sent, not expected)\n";
            ++j;
        } else {
            out += "      - " + expected[i] + "   (expected, not sent)\n";
            ++i;
        }
    }
    if (n == 0 && m == 0)
        out += "      (nothing)\n";
    return out;
}

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
    component->host = std::make_unique<simulated_host>(component->panels, routers_, clock_, out_,
                                                       settings_.layoutDir, component->clockOwner);
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

void scenario_runner::routeChanged(device_model& device, int destination)
{
    routed_.emplace(device.number(), destination);
    // Every component registered for the destination hears of the route,
    // the one that made it among them.
    for (auto& component : components_)
        component->host->deliverChange(device, destination);
}

std::vector<component_view> scenario_runner::components() const
{
    std::vector<component_view> views;
    for (const auto& component : components_)
        views.push_back({component->name, component->object != nullptr, &component->panels, &component->lastAnswer});
    return views;
}

void scenario_runner::passTime(std::int64_t milliseconds)
{
    where_ = "clock";
    advance(milliseconds);
    out_.flush();
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

void scenario_runner::fail(const std::string& text)
{
    std::string message = speaking_ != nullptr ? label(*speaking_) + text : text;
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    out_.failure(where_, message);
}

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
        fail("the answer to " + quoted(command) + " was not given back (kind 5) before the event returned");
    for (const auto& problem : of.host->takeProblems())
        fail(problem);
}

bool scenario_runner::requireComponent(const scenario_step& step)
{
    if (target_->object != nullptr)
        return true;
    (void)step;
    fail("no component: the scenario must \"create\" it first");
    return false;
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
    case clock_item::kind::revertive: {
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
        return;
    }
    case clock_item::kind::timer: {
        runner_component* to = ownerOf(item.owner);
        if (to == nullptr || to->object == nullptr) {
            clock_.stopTimer(item.timerId, item.owner);
            return;
        }
        out_.event(clock_.now(), label(*to) + "tick of timer " + std::to_string(item.timerId));
        deliver(*to, static_cast<std::intptr_t>(item.timerId), zelmEventTimer);
        return;
    }
    case clock_item::kind::action:
        item.action();
        return;
    }
}

void scenario_runner::parameter(const std::string& text)
{
    runner_component& to = *target_;
    out_.event(clock_.now(), label(to) + "parameter " + quoted(text), where_);
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
    out_.event(clock_.now(), label(to) + "create the component, data " + quoted(to.usedData), where_);
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
    bool othersExist = false;
    for (const auto& component : components_)
        othersExist = othersExist || component->object != nullptr;
    if (othersExist)
        clock_.dropPendingFor(of.clockOwner);
    else
        clock_.dropPending();
}

std::string scenario_runner::substitute(const std::string& line) const
{
    std::string out = line;
    const std::pair<const char*, const std::string*> names[] = {{"${layouts}", &settings_.layoutDir},
                                                                 {"${data}", &target_->usedData}};
    for (const auto& name : names) {
        std::size_t at = 0;
        while ((at = out.find(name.first, at)) != std::string::npos) {
            out.replace(at, std::strlen(name.first), *name.second);
            at += name.second->size();
        }
    }
    return out;
}

void scenario_runner::runFacility(const scenario_step& step, bool scheduled)
{
    std::string prefix = scheduled ? "(scheduled at line " + std::to_string(step.line) + ") " : "";
    auto routerFor = [&](std::int64_t number) -> device_model* {
        device_model* device = routers_.device(static_cast<int>(number));
        if (device == nullptr)
            fail("the installation has no device " + std::to_string(number));
        return device;
    };
    switch (step.kind) {
    case step_kind::route: {
        device_model* device = routerFor(step.a);
        if (device == nullptr)
            return;
        out_.event(clock_.now(),
                   prefix + "another controller routes on " + std::to_string(step.a) + ": source " +
                       std::to_string(step.b) + " to destination " + std::to_string(step.c),
                   step.where());
        // Through the device's link: a real router makes the route and
        // reports it like any other controller's; either way every
        // component registered for the destination hears of it.
        std::string refusal = components_.front()->host->linkFor(*device).connect(static_cast<int>(step.b), static_cast<int>(step.c));
        if (!refusal.empty()) {
            out_.warning("route not made: " + refusal);
            return;
        }
        settle();
        return;
    }
    case step_kind::rename: {
        device_model* device = routerFor(step.a);
        if (device == nullptr)
            return;
        out_.event(clock_.now(),
                   prefix + "name " + std::to_string(step.c) + " of database " + std::to_string(step.b) +
                       " on device " + std::to_string(step.a) + " becomes " + quoted(step.text),
                   step.where());
        device->setName(static_cast<int>(step.b), static_cast<int>(step.c), step.text);
        if (!device->online()) {
            out_.note("device " + std::to_string(step.a) + " is offline: the change is not reported");
            return;
        }
        bool anyComponent = false;
        for (const auto& component : components_)
            anyComponent = anyComponent || component->object != nullptr;
        if (!anyComponent)
            return;
        // The name is stored in the record itself, past its declared end.
        std::size_t size = offsetof(databaseRecord, name) + step.text.size() + 1;
        std::vector<std::max_align_t> storage((size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
        auto* record = reinterpret_cast<databaseRecord*>(storage.data());
        if (record == nullptr)  // never (one element at least); tells the optimizer so
            return;
        record->device = static_cast<std::int32_t>(step.a);
        record->database = static_cast<std::int32_t>(step.b);
        record->index = static_cast<std::int32_t>(step.c);
        record->reserved = 0;
        std::memcpy(reinterpret_cast<char*>(record) + offsetof(databaseRecord, name), step.text.c_str(),
                    step.text.size() + 1);
        // Every component hears of the change, as every panel of the host does.
        for (auto& component : components_)
            if (component->object != nullptr)
                deliver(*component, reinterpret_cast<std::intptr_t>(record), zelmEventDatabaseChange);
        settle();
        return;
    }
    case step_kind::fault_delay:
        components_.front()->host->faults().delay = step.time;
        out_.note(prefix + "fault: revertives arrive " + formatTime(step.time) + " late");
        return;
    case step_kind::fault_drop:
        components_.front()->host->faults().dropPercent = static_cast<int>(step.a);
        out_.note(prefix + "fault: " + std::to_string(step.a) + "% of revertives are lost");
        return;
    case step_kind::fault_duplicate:
        components_.front()->host->faults().duplicatePercent = static_cast<int>(step.a);
        out_.note(prefix + "fault: " + std::to_string(step.a) + "% of revertives arrive twice");
        return;
    case step_kind::fault_seed:
        components_.front()->host->seed(static_cast<std::uint32_t>(step.a));
        out_.note(prefix + "fault: seed " + std::to_string(step.a));
        return;
    case step_kind::fault_offline:
    case step_kind::fault_online: {
        device_model* device = routerFor(step.a);
        if (device == nullptr)
            return;
        bool online = step.kind == step_kind::fault_online;
        device->setOnline(online);
        out_.event(clock_.now(),
                   prefix + "device " + std::to_string(step.a) + " (" + device->name() + ") goes " +
                       (online ? "online" : "offline"),
                   step.where());
        return;
    }
    case step_kind::fault_clear:
        components_.front()->host->faults() = facility_faults();
        for (const auto& entry : routers_.devices())
            routers_.device(entry.first)->setOnline(true);
        out_.note(prefix + "faults cleared: every device online");
        return;
    default:
        fail("this line cannot be scheduled");
        return;
    }
}

void scenario_runner::nameChanged(int device, int database, int index, const std::string& name)
{
    scenario_step step;
    step.kind = step_kind::rename;
    step.file = "router " + std::to_string(device);
    step.a = device;
    step.b = database;
    step.c = index;
    step.text = name;
    runFacility(step, false);
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
    const std::string& declared = step.kind == step_kind::use_component ? step.name
                                  : step.kind == step_kind::create      ? step.component
                                                                        : std::string();
    if (!declared.empty() && findComponent(declared) == nullptr && components_.size() >= maxComponents) {
        fail("the facility has " + std::to_string(maxComponents) + " components already; no more are made");
        out_.flush();
        return !settings_.stopOnFailure;
    }
    if (!step.component.empty()) {
        target_ = step.kind == step_kind::create ? &declareComponent(step.component) : findComponent(step.component);
        if (target_ == nullptr) {
            target_ = current_;
            fail("no component \"" + step.component + "\": \"use " + step.component + "\" or \"" + step.component +
                 ": create\" first");
            out_.flush();
            return !settings_.stopOnFailure;
        }
    }
    if (addressesComponent(step.kind))
        speaking_ = target_;
    if (target_ == components_.front().get() && addressesComponent(step.kind))
        firstUsed_ = true;
    switch (step.kind) {
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
        // A step that can deliver events starts a new record of lines sent,
        // for every component.
        for (auto& component : components_)
            component->host->clearSent();
        break;
    default:
        break;
    }

    switch (step.kind) {
    case step_kind::create:
        create(step);
        break;
    case step_kind::destroy:
        if (requireComponent(step))
            destroy();
        break;
    case step_kind::set:
        if (requireComponent(step))
            parameter(step.name + "=" + step.text);
        break;
    case step_kind::get:
        if (requireComponent(step))
            parameter("return=" + step.name);
        break;
    case step_kind::param:
        if (requireComponent(step))
            parameter(step.name);
        break;
    case step_kind::press: {
        if (!requireComponent(step))
            break;
        const panel_control* control = target_->panels.find(step.panel, step.name);
        std::string what = label(*target_) + "press " + quoted(step.name) +
                           (step.panel == "1" ? "" : " on panel " + step.panel) +
                           (step.hasText ? " with " + quoted(step.text) : "");
        if (control != nullptr && !control->enabled && !step.flag) {
            out_.event(clock_.now(), what, where_);
            out_.note(step.name + " is disabled: the operator cannot press it (add \"force\" to press anyway)");
            break;
        }
        out_.event(clock_.now(), what + (control != nullptr && !control->enabled ? " (disabled, forced)" : ""),
                   where_);
        if (control == nullptr)
            out_.note("panel " + step.panel + " shows no control " + quoted(step.name) + "; delivered anyway");
        commandText text(step.hasText ? step.text.c_str() : nullptr);
        buttonRecord record{0, 0, step.panel.c_str(), step.name.c_str(), &text};
        deliver(*target_, reinterpret_cast<std::intptr_t>(&record), zelmEventButton);
        settle();
        break;
    }
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
        clock_.scheduleAction(step.time, [this, inner = step.inner] { runFacility(*inner, true); });
        out_.note("scheduled for " + formatTime(clock_.now() + step.time));
        break;
    case step_kind::wait:
        out_.event(clock_.now(), "wait " + formatTime(step.time), where_);
        advance(step.time);
        break;
    case step_kind::revertive: {
        if (!requireComponent(step))
            break;
        out_.event(clock_.now(),
                   label(*target_) + "revertive from " + std::to_string(step.a) + ": destination " +
                       std::to_string(step.b) + " carries source " + std::to_string(step.c),
                   where_);
        revertiveRecord record{static_cast<std::int32_t>(step.a), 0, static_cast<std::int32_t>(step.b),
                               static_cast<std::int32_t>(step.c)};
        deliver(*target_, reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
        settle();
        break;
    }
    case step_kind::tick:
        if (!requireComponent(step))
            break;
        out_.event(clock_.now(), label(*target_) + "tick of timer " + std::to_string(step.a), where_);
        deliver(*target_, static_cast<std::intptr_t>(step.a), zelmEventTimer);
        settle();
        break;
    case step_kind::show_panel: {
        if (!settings_.picture)
            break;
        const panel_layout* layout = target_->panels.panel(step.panel);
        if (layout == nullptr) {
            out_.note(label(*target_) + "panel " + step.panel + " is not shown");
            break;
        }
        std::string title = components_.size() > 1 ? step.panel + " of " + target_->name : step.panel;
        out_.block(drawPanel(title, *layout, settings_.pictureStyle));
        break;
    }
    case step_kind::show_router: {
        const device_model* device = routers_.device(static_cast<int>(step.a));
        if (device == nullptr || !device->isRouter()) {
            fail("the installation has no router " + std::to_string(step.a));
            break;
        }
        int first = step.hasText ? static_cast<int>(step.b) : 1;
        int last = step.hasText ? static_cast<int>(step.c) : 0;
        out_.block(drawRouter(*device, first, last, settings_.pictureStyle));
        break;
    }
    case step_kind::say:
        out_.heading(step.text);
        break;
    case step_kind::help:
        out_.block(scenarioLanguageSummary());
        break;
    case step_kind::use_component:
        if (step.name == components_.front()->name)
            firstUsed_ = true;
        current_ = &declareComponent(step.name);
        out_.note("lines without a name now address component " + current_->name);
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
    out_.flush();
    return !(settings_.stopOnFailure && out_.failureCount() > failuresBefore_);
}

void scenario_runner::expect(const scenario_step& step)
{
    ++expectations_;
    switch (step.kind) {
    case step_kind::expect_sent: {
        std::vector<std::string> expected;
        for (const auto& line : step.lines)
            expected.push_back(substitute(line));
        const auto& actual = target_->host->sent();
        if (expected != actual)
            fail("the last step sent other lines than expected:\n" + describeDifference(expected, actual));
        return;
    }
    case step_kind::expect_answer: {
        const std::optional<std::string>& lastAnswer = target_->lastAnswer;
        if (!step.hasText) {
            if (lastAnswer)
                fail("expected no answer, got " + quoted(*lastAnswer));
            return;
        }
        std::string expected = substitute(joinLines(step.lines));
        if (!lastAnswer)
            fail("expected the answer " + quoted(expected) + ", got none (null)");
        else if (*lastAnswer != expected)
            fail("expected the answer " + quoted(expected) + ", got " + quoted(*lastAnswer));
        return;
    }
    case step_kind::expect_property: {
        const panel_control* control = target_->panels.find(step.panel, step.name);
        if (control == nullptr) {
            fail("panel " + step.panel + " shows no control " + quoted(step.name));
            return;
        }
        const std::string* value = control->property(step.property);
        std::string expected = substitute(step.text);
        if (value == nullptr)
            fail(step.name + " " + step.property + ": expected " + quoted(expected) + ", but it was never set");
        else if (*value != expected)
            fail(step.name + " " + step.property + ": expected " + quoted(expected) + ", is " + quoted(*value));
        return;
    }
    case step_kind::expect_enabled: {
        const panel_control* control = target_->panels.find(step.panel, step.name);
        if (control == nullptr)
            fail("panel " + step.panel + " shows no control " + quoted(step.name));
        else if (control->enabled != step.flag)
            fail(step.name + ": expected " + (step.flag ? "enabled" : "disabled") + ", is " +
                 (control->enabled ? "enabled" : "disabled"));
        return;
    }
    case step_kind::expect_crosspoint: {
        const device_model* device = routers_.device(static_cast<int>(step.a));
        if (device == nullptr || !device->isRouter()) {
            fail("the installation has no router " + std::to_string(step.a));
            return;
        }
        auto source = device->crosspoint(static_cast<int>(step.b));
        if (!source)
            fail("router " + std::to_string(step.a) + " has no destination " + std::to_string(step.b));
        else if (*source != step.c)
            fail("router " + std::to_string(step.a) + " destination " + std::to_string(step.b) +
                 ": expected source " + std::to_string(step.c) + ", carries " + std::to_string(*source));
        return;
    }
    case step_kind::expect_timer: {
        bool running = clock_.timerRunning(static_cast<int>(step.a), target_->clockOwner);
        if (running != step.flag)
            fail("timer " + std::to_string(step.a) + ": expected " + (step.flag ? "running" : "stopped") + ", is " +
                 (running ? "running" : "stopped"));
        return;
    }
    default:
        return;
    }
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
