#include "web/runner_adapter.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

#include "facility/panel_model.h"
#include "facility/router_model.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/session_recorder.h"
#include "text/file_text.h"
#include "text/transcript.h"
#include "web/facility_json.h"
#include "web/json_text.h"

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

// The clock as the page shows it: virtual now, whether it follows wall
// time and how fast, and the panel's running timers.
void writeClock(json::writer& out, std::int64_t now, const wall_clock_settings& clock,
                const std::map<int, std::int64_t>& timers)
{
    out.key("clock").beginObject();
    out.key("now").value(now);
    out.key("running").value(clock.running);
    out.key("speed").value(clock.speed);
    out.key("timers").beginObject();
    for (const auto& timer : timers)
        out.key(std::to_string(timer.first)).value(static_cast<std::int64_t>(timer.second));
    out.endObject();
    out.endObject();
}

// Every component declared so far, "main" alone unless a line named
// another; each panel says whose it is.
void writeComponents(json::writer& out, const std::vector<component_view>& components)
{
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
}

// What the host last set on each component, by its name, so that the page
// marks the selected packages: {"main": {"srcpkg": "1", ...}, ...}.
void writeParameters(json::writer& out, const std::vector<component_view>& components)
{
    out.key("parameters").beginObject();
    for (const auto& component : components) {
        out.key(component.name).beginObject();
        for (const auto& parameter : *component.parameters)
            out.key(parameter.first).value(parameter.second);
        out.endObject();
    }
    out.endObject();
}

// The crosspoints the last press routed: the page marks them as that
// control's until they change again.
void writeLastPress(json::writer& out, const press_routes& press)
{
    out.key("lastPress").beginObject();
    out.key("number").value(press.number);
    out.key("component").value(press.component);
    out.key("control").value(press.control);
    out.key("routed").beginArray();
    for (const auto& crosspoint : press.routed)
        out.beginObject().key("device").value(crosspoint.first).key("destination").value(crosspoint.second).endObject();
    out.endArray();
    out.endObject();
}

void writeControl(json::writer& out, const panel_control& control)
{
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

void writePanels(json::writer& out, const std::vector<component_view>& components)
{
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
            for (const auto& control : layout.controls)
                writeControl(out, control);
            out.endArray();
            out.endObject();
        }
    out.endArray();
}

}  // namespace

runner_adapter::runner_adapter(scenario_runner& runner, router_model& routers, transcript& out,
                               session_recorder& session)
    : runner_(runner), routers_(routers), out_(out), session_(session)
{
    runner_.setShownInBrowser(true);
}

std::int64_t runner_adapter::now() const { return runner_.clock().now(); }

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

void runner_adapter::deliverDue()
{
    if (runner_.clock().pending() > 0)
        runner_.passTime(0);
}

state_part runner_adapter::clockPart(bool withNow) const
{
    json::writer clock;
    writeClock(clock, withNow ? now() : 0, clock_, runner_.clock().timerIntervals());
    return {"clock", clock.take()};
}

std::vector<state_part> runner_adapter::parts(bool withNow) const
{
    std::vector<state_part> parts;
    auto add = [&parts](const char* key, json::writer& out) { parts.push_back({key, out.take()}); };
    parts.push_back(clockPart(withNow));
    json::writer faults;
    writeFaults(faults, runner_.host().faults(), routers_);
    add("faults", faults);
    std::vector<component_view> components = runner_.components();
    json::writer list;
    writeComponents(list, components);
    add("components", list);
    json::writer parameters;
    writeParameters(parameters, components);
    add("parameters", parameters);
    json::writer panels;
    writePanels(panels, components);
    add("panels", panels);
    json::writer packages;
    writePackages(packages, routers_);
    add("packages", packages);
    json::writer press;
    writeLastPress(press, runner_.lastPress());
    add("lastPress", press);
    json::writer answer;
    answer.key("lastAnswer");
    if (runner_.lastAnswer())
        answer.value(*runner_.lastAnswer());
    else
        answer.null();
    add("lastAnswer", answer);
    json::writer recording;
    recording.key("recording").value(session_.recording());
    add("recording", recording);
    return parts;
}

std::string runner_adapter::stateJson(const std::string& stylesJson) const
{
    json::writer out;
    out.beginObject();
    for (const auto& part : parts(true)) {
        out.raw(part.member);
        // The facility's devices follow the panels.
        if (part.key == "panels") {
            writeRouters(out, routers_);
            writeNamesDevices(out, routers_);
        }
    }
    out.key("styles").raw(stylesJson);
    out.endObject();
    return out.take();
}
