// The facility's own lines: another controller's route, a name that
// changes, and the faults. They run now or, through "after", later on the
// clock, and address no component: every component hears of what they do.
#include "scenario/scenario_runner.h"

#include <cstddef>
#include <cstring>

#include "event_records.h"
#include "scenario/runner_text.h"

void scenario_runner::runFacility(const scenario_step& step, bool scheduled)
{
    std::string prefix = scheduled ? "(scheduled at line " + std::to_string(step.line) + ") " : "";
    switch (step.kind) {
    case step_kind::route:
        route(step, prefix);
        return;
    case step_kind::rename:
        rename(step, prefix);
        return;
    case step_kind::fault_delay:
    case step_kind::fault_drop:
    case step_kind::fault_duplicate:
    case step_kind::fault_seed:
        revertiveFault(step, prefix);
        return;
    case step_kind::fault_offline:
    case step_kind::fault_online:
        deviceOnline(step, prefix);
        return;
    case step_kind::fault_clear:
        clearFaults(prefix);
        return;
    default:
        fail("this line cannot be scheduled");
        return;
    }
}

void scenario_runner::nameChanged(int device, int database, int index, const std::string& name)
{
    // Before any component exists the names database holds the name already
    // and there is no one to tell: a router's opening dump is no news.
    if (!anyComponentExists())
        return;
    scenario_step step;
    step.kind = step_kind::rename;
    step.file = "router " + std::to_string(device);
    step.a = device;
    step.b = database;
    step.c = index;
    step.text = name;
    runFacility(step, false);
}

device_model* scenario_runner::deviceFor(std::int64_t number)
{
    device_model* device = routers_.device(static_cast<int>(number));
    if (device == nullptr)
        fail("the installation has no device " + std::to_string(number));
    return device;
}

void scenario_runner::route(const scenario_step& step, const std::string& prefix)
{
    device_model* device = deviceFor(step.a);
    if (device == nullptr)
        return;
    out_.event(clock_.now(),
               prefix + "another controller routes on " + std::to_string(step.a) + ": source " +
                   std::to_string(step.b) + " to destination " + std::to_string(step.c),
               step.where());
    // Through the device's link: a real router makes the route and
    // reports it like any other controller's; either way every
    // component registered for the destination hears of it.
    std::string refusal =
        components_.front()->host->linkFor(*device).connect(static_cast<int>(step.b), static_cast<int>(step.c));
    if (!refusal.empty()) {
        out_.warning("route not made: " + refusal);
        return;
    }
    settle();
}

void scenario_runner::rename(const scenario_step& step, const std::string& prefix)
{
    device_model* device = deviceFor(step.a);
    if (device == nullptr)
        return;
    out_.event(clock_.now(),
               prefix + "name " + std::to_string(step.c) + " of database " + std::to_string(step.b) + " on device " +
                   std::to_string(step.a) + " becomes " + quotedText(step.text),
               step.where());
    device->setName(static_cast<int>(step.b), static_cast<int>(step.c), step.text);
    if (!device->online()) {
        out_.note("device " + std::to_string(step.a) + " is offline: the change is not reported");
        return;
    }
    if (anyComponentExists())
        tellName(step);
}

// Every component hears of the change, as every panel of the host does.
void scenario_runner::tellName(const scenario_step& step)
{
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
    for (auto& component : components_)
        if (component->object != nullptr)
            deliver(*component, reinterpret_cast<std::intptr_t>(record), zelmEventDatabaseChange);
    settle();
}

// The faults of revertives: one facility, so the first link's faults serve
// every link.
void scenario_runner::revertiveFault(const scenario_step& step, const std::string& prefix)
{
    simulated_host& host = *components_.front()->host;
    switch (step.kind) {
    case step_kind::fault_delay:
        host.faults().delay = step.time;
        out_.note(prefix + "fault: revertives arrive " + formatTime(step.time) + " late");
        return;
    case step_kind::fault_drop:
        host.faults().dropPercent = static_cast<int>(step.a);
        out_.note(prefix + "fault: " + std::to_string(step.a) + "% of revertives are lost");
        return;
    case step_kind::fault_duplicate:
        host.faults().duplicatePercent = static_cast<int>(step.a);
        out_.note(prefix + "fault: " + std::to_string(step.a) + "% of revertives arrive twice");
        return;
    case step_kind::fault_seed:
        host.seed(static_cast<std::uint32_t>(step.a));
        out_.note(prefix + "fault: seed " + std::to_string(step.a));
        return;
    default:
        return;
    }
}

void scenario_runner::deviceOnline(const scenario_step& step, const std::string& prefix)
{
    device_model* device = deviceFor(step.a);
    if (device == nullptr)
        return;
    bool online = step.kind == step_kind::fault_online;
    device->setOnline(online);
    out_.event(clock_.now(),
               prefix + "device " + std::to_string(step.a) + " (" + device->name() + ") goes " +
                   (online ? "online" : "offline"),
               step.where());
}

void scenario_runner::clearFaults(const std::string& prefix)
{
    components_.front()->host->faults() = facility_faults();
    for (const auto& entry : routers_.devices())
        routers_.device(entry.first)->setOnline(true);
    out_.note(prefix + "faults cleared: every device online");
}
