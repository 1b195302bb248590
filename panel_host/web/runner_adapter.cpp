#include "web/runner_adapter.h"

#include <fstream>
#include <sstream>
#include <string_view>

#include "web/json_text.h"
#include "facility/router_model.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/session_recorder.h"
#include "text/file_text.h"
#include "text/transcript.h"

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Names held in one database of a device: probed upwards from 0 until all
// that the device holds are found (names may sit past the device's size).
void writeNames(json::writer& out, const device_model& device)
{
    out.key("names").beginObject();
    constexpr int databases = 10;
    constexpr int probeLimit = 100000;
    for (int database = 0; database < databases; ++database) {
        int count = device.namesIn(database);
        if (count == 0)
            continue;
        out.key(std::to_string(database)).beginObject();
        int found = 0;
        for (int index = 0; index < probeLimit && found < count; ++index)
            if (auto name = device.name(database, index)) {
                out.key(std::to_string(index)).value(*name);
                ++found;
            }
        out.endObject();
    }
    out.endObject();
}

}  // namespace

runner_adapter::runner_adapter(scenario_runner& runner, router_model& routers, transcript& out,
                               session_recorder& session)
    : runner_(runner), routers_(routers), out_(out), session_(session)
{
}

std::int64_t runner_adapter::now() const
{
    return runner_.clock().now();
}

step_outcome runner_adapter::runText(const std::string& text, const std::string& source)
{
    step_outcome outcome;
    std::vector<std::string> lines = splitLines(text);
    // The whole text is read before any of it runs: a bad line in a block
    // runs nothing, as in a scenario file.
    scenario_parser check(source);
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
    for (const auto& line : lines)
        check.feed(line, steps, errors);
    check.finish(errors);
    if (!errors.empty()) {
        outcome.error = errors.front().message;
        outcome.where = errors.front().where();
        return outcome;
    }
    if (steps.empty()) {
        outcome.error = "nothing to run: the line is empty or a comment";
        outcome.where = source + ":1";
        return outcome;
    }
    if (steps.size() > 1) {
        outcome.error = "one step at a time: this text holds " + std::to_string(steps.size());
        outcome.where = source + ":1";
        return outcome;
    }
    // The session reads it again line by line: it runs the step and keeps
    // its lines for the recording.
    outcome.accepted = true;
    std::size_t failuresBefore = out_.failures().size();
    session_.readFrom(source);
    for (const auto& line : lines)
        session_.runLine(line);
    const scenario_step& step = steps.front();
    if (step.kind == step_kind::set || step.kind == step_kind::get || step.kind == step_kind::param) {
        const std::string& addressed = step.component.empty() ? runner_.currentComponent() : step.component;
        for (const auto& component : runner_.components())
            if (component.name == addressed && component.lastAnswer != nullptr)
                outcome.answer = *component.lastAnswer;
    }
    for (std::size_t i = failuresBefore; i < out_.failures().size(); ++i)
        outcome.failures.push_back(out_.failures()[i]);
    return outcome;
}

bool runner_adapter::runFile(const std::string& path, std::string& error)
{
    std::string text;
    if (!readWholeFile(path, text, error, "scenario file"))
        return false;
    std::vector<scenario_error> errors = checkScenario(text, path);
    if (!errors.empty()) {
        error = errors.front().where() + ": " + errors.front().message;
        return false;
    }
    session_.readFrom(path);
    session_.runText(text);
    return true;
}

void runner_adapter::passTime(std::int64_t milliseconds)
{
    if (milliseconds > 0)
        runner_.passTime(milliseconds);
}

std::string runner_adapter::stateJson(const std::string& stylesJson) const
{
    json::writer out;
    out.beginObject();

    out.key("clock").beginObject();
    out.key("now").value(now());
    out.key("running").value(clock_.running);
    out.key("speed").value(clock_.speed);
    out.key("timers").beginObject();
    for (const auto& timer : runner_.clock().timerIntervals())
        out.key(std::to_string(timer.first)).value(static_cast<std::int64_t>(timer.second));
    out.endObject();
    out.endObject();

    facility_faults& faults = runner_.host().faults();
    out.key("faults").beginObject();
    out.key("delay").value(faults.delay);
    out.key("drop").value(faults.dropPercent);
    out.key("duplicate").value(faults.duplicatePercent);
    out.key("offline").beginArray();
    for (const auto& entry : routers_.devices())
        if (!entry.second.online())
            out.value(entry.first);
    out.endArray();
    out.endObject();

    // Every component declared so far, "main" alone unless a line named
    // another; each panel says whose it is.
    std::vector<component_view> components = runner_.components();
    out.key("components").beginArray();
    for (const auto& component : components) {
        out.beginObject();
        out.key("name").value(component.name);
        out.key("exists").value(component.exists);
        out.key("panels").beginArray();
        for (const auto& entry : component.panels->panels())
            out.value(entry.first);
        out.endArray();
        out.endObject();
    }
    out.endArray();

    out.key("panels").beginArray();
    for (const auto& component : components)
        for (const auto& entry : component.panels->panels()) {
            const panel_layout& layout = entry.second;
            out.beginObject();
            out.key("panel").value(entry.first);
            out.key("component").value(component.name);
            out.key("layout").value(layout.name);
            out.key("width").value(layout.width);
            out.key("height").value(layout.height);
            out.key("controls").beginArray();
            for (const auto& control : layout.controls) {
                out.beginObject();
                out.key("id").value(control.id);
                out.key("kind").value(control.kind);
                out.key("x").value(control.x);
                out.key("y").value(control.y);
                out.key("w").value(control.w);
                out.key("h").value(control.h);
                out.key("enabled").value(control.enabled);
                out.key("properties").beginObject();
                for (const auto& property : control.properties)
                    out.key(property.first).value(property.second);
                out.endObject();
                out.endObject();
            }
            out.endArray();
            out.endObject();
        }
    out.endArray();

    out.key("routers").beginArray();
    for (const auto& entry : routers_.devices()) {
        const device_model& device = entry.second;
        if (!device.isRouter())
            continue;
        out.beginObject();
        out.key("device").value(device.number());
        out.key("name").value(device.name());
        out.key("online").value(device.online());
        out.key("sources").value(device.sources());
        out.key("destinations").value(device.destinations());
        // crosspoints[i] is the source on destination i + 1.
        out.key("crosspoints").beginArray();
        for (int destination = 1; destination <= device.destinations(); ++destination)
            out.value(device.crosspoint(destination).value_or(0));
        out.endArray();
        writeNames(out, device);
        out.endObject();
    }
    out.endArray();

    out.key("namesDevices").beginArray();
    for (const auto& entry : routers_.devices()) {
        const device_model& device = entry.second;
        if (device.isRouter())
            continue;
        out.beginObject();
        out.key("device").value(device.number());
        out.key("name").value(device.name());
        out.key("online").value(device.online());
        writeNames(out, device);
        out.endObject();
    }
    out.endArray();

    out.key("lastAnswer");
    if (runner_.lastAnswer())
        out.value(*runner_.lastAnswer());
    else
        out.null();
    out.key("recording").value(session_.recording());
    out.key("styles").raw(stylesJson);
    out.endObject();
    return out.take();
}
