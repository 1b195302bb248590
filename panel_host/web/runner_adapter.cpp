#include "runner_adapter.h"

#include <fstream>
#include <sstream>

#include "json_text.h"
#include "router_model.h"
#include "scenario_parser.h"
#include "scenario_runner.h"
#include "transcript.h"

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

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
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

std::string scenarioWord(const std::string& text)
{
    bool plain = !text.empty() && text[0] != '#';
    for (char c : text)
        if (c == ' ' || c == '\t' || c == '"' || c == '\\')
            plain = false;
    if (plain)
        return text;
    std::string word = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            word += '\\';
        word += c;
    }
    return word + "\"";
}

runner_adapter::runner_adapter(scenario_runner& runner, router_model& routers, transcript& out)
    : runner_(runner), routers_(routers), out_(out)
{
}

std::int64_t runner_adapter::now() const
{
    return runner_.clock().now();
}

step_outcome runner_adapter::runText(const std::string& text, const std::string& source)
{
    step_outcome outcome;
    scenario_parser parser(source);
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
    std::vector<std::string> lines = splitLines(text);
    for (const auto& line : lines)
        parser.feed(line, steps, errors);
    parser.finish(errors);
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
    outcome.accepted = true;
    std::size_t failuresBefore = out_.failures().size();
    std::int64_t start = now();
    runner_.run(steps.front());
    bool asks = steps.front().kind == step_kind::set || steps.front().kind == step_kind::get ||
                steps.front().kind == step_kind::param;
    if (asks)
        outcome.answer = runner_.lastAnswer();
    for (std::size_t i = failuresBefore; i < out_.failures().size(); ++i)
        outcome.failures.push_back(out_.failures()[i]);
    if (steps.front().kind != step_kind::help) {
        std::string kept;
        for (const auto& line : lines)
            kept += kept.empty() ? trimmed(line) : "\n" + line;
        kept = trimmed(kept);
        log_.push_back({start, now(), kept});
    }
    return outcome;
}

bool runner_adapter::runFile(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read scenario file " + path;
        return false;
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    parsed_scenario checked = parseScenario(text, path);
    if (!checked.errors.empty()) {
        error = checked.errors.front().where() + ": " + checked.errors.front().message;
        return false;
    }
    // Again line by line, so that each step keeps its own text (a block
    // all its lines).
    scenario_parser parser(path);
    std::string pending;
    for (const auto& line : splitLines(text)) {
        std::vector<scenario_step> steps;
        std::vector<scenario_error> errors;
        parser.feed(line, steps, errors);
        if (parser.inBlock()) {
            pending += (pending.empty() ? trimmed(line) : "\n" + line);
            continue;
        }
        std::string kept = pending.empty() ? trimmed(line) : pending + "\n" + trimmed(line);
        pending.clear();
        for (const auto& step : steps) {
            std::int64_t start = now();
            runner_.run(step);
            log_.push_back({start, now(), kept});
        }
    }
    return true;
}

void runner_adapter::passTime(std::int64_t milliseconds)
{
    if (milliseconds > 0)
        runner_.passTime(milliseconds);
}

bool runner_adapter::startRecording(std::string& error)
{
    if (recording_) {
        error = "a recording runs already";
        return false;
    }
    recording_ = true;
    recordingFrom_ = log_.size();
    return true;
}

bool runner_adapter::stopRecording(std::string& scenario, std::string& error)
{
    if (!recording_) {
        error = "no recording runs: press Record first";
        return false;
    }
    recording_ = false;
    std::string out = "# Recorded at the browser view of panel_host: every line of the session,\n"
                      "# the time between them, and the state it ended in.\n";
    std::int64_t at = 0;
    auto waitUntil = [&](std::int64_t moment) {
        if (moment > at)
            out += "wait " + std::to_string(moment - at) + "ms\n";
        at = moment > at ? moment : at;
    };
    for (std::size_t i = 0; i < log_.size(); ++i) {
        if (i == recordingFrom_)
            out += "# --- recording started here ---\n";
        waitUntil(log_[i].start);
        out += log_[i].text + "\n";
        at = log_[i].end;
    }
    waitUntil(now());
    out += "# --- the state at the end of the recording ---\n";
    out += finalExpectations();
    scenario = out;
    (void)error;
    return true;
}

std::string runner_adapter::finalExpectations() const
{
    std::string out;
    for (const auto& entry : runner_.panels().panels()) {
        const std::string on = entry.first == "1" ? "" : " on " + scenarioWord(entry.first);
        for (const auto& control : entry.second.controls) {
            const std::string* text = control.property("text");
            if (text != nullptr && text->find('\n') == std::string::npos && text->find("${") == std::string::npos)
                out += "expect property " + scenarioWord(control.id) + " text " + scenarioWord(*text) + on + "\n";
            out += std::string("expect ") + (control.enabled ? "enabled " : "disabled ") + scenarioWord(control.id) +
                   on + "\n";
        }
    }
    for (const auto& entry : routers_.devices()) {
        if (!entry.second.isRouter())
            continue;
        for (int destination : entry.second.changedDestinations())
            out += "expect crosspoint " + std::to_string(entry.first) + " " + std::to_string(destination) + " " +
                   std::to_string(*entry.second.crosspoint(destination)) + "\n";
    }
    return out;
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

    out.key("components").beginArray();
    out.beginObject();
    out.key("name").value("");
    out.key("exists").value(runner_.componentExists());
    out.key("panels").beginArray();
    for (const auto& entry : runner_.panels().panels())
        out.value(entry.first);
    out.endArray();
    out.endObject();
    out.endArray();

    out.key("panels").beginArray();
    for (const auto& entry : runner_.panels().panels()) {
        const panel_layout& layout = entry.second;
        out.beginObject();
        out.key("panel").value(entry.first);
        out.key("component").value("");
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
    out.key("recording").value(recording_);
    out.key("styles").raw(stylesJson);
    out.endObject();
    return out.take();
}
