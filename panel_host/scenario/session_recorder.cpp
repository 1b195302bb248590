#include "scenario/session_recorder.h"

#include <utility>

#include "scenario/recording_file.h"
#include "scenario/scenario_runner.h"

namespace {

bool isExpectation(step_kind kind)
{
    switch (kind) {
    case step_kind::expect_sent:
    case step_kind::expect_answer:
    case step_kind::expect_property:
    case step_kind::expect_enabled:
    case step_kind::expect_crosspoint:
    case step_kind::expect_timer:
        return true;
    default:
        return false;
    }
}

std::string waitLine(std::int64_t milliseconds)
{
    if (milliseconds % 1000 == 0)
        return "wait " + std::to_string(milliseconds / 1000) + "s";
    return "wait " + std::to_string(milliseconds) + "ms";
}

// A text that a scenario line can carry and an expectation compare as it
// is: no line break or NUL, and nothing the runner would substitute.
bool writable(const std::string& text)
{
    return text.find('\n') == std::string::npos && text.find('\0') == std::string::npos &&
           text.find("${") == std::string::npos;
}

}  // namespace

std::string quotedScenarioWord(const std::string& text)
{
    bool plain = !text.empty();
    for (char c : text)
        if (c == ' ' || c == '\t' || c == '\r' || c == '"' || c == '\\' || c == '#')
            plain = false;
    // A trailing ':' would read as a component name in front of a line.
    if (plain && text.back() != ':')
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

session_recorder::session_recorder(scenario_runner& runner, std::string source)
    : runner_(runner), parser_(std::move(source)), lastTime_(runner.clock().now())
{
}

void session_recorder::start()
{
    lines_.clear();
    recording_ = true;
    lastTime_ = runner_.clock().now();
}

void session_recorder::recordLine(const std::string& line)
{
    if (recording_)
        lines_.push_back(line);
}

void session_recorder::keep(const std::vector<std::string>& lines)
{
    for (const auto& line : lines)
        lines_.push_back(line);
}

void session_recorder::dropBlock()
{
    parser_.dropBlock();
    block_.clear();
}

void session_recorder::readFrom(std::string source)
{
    parser_ = scenario_parser(std::move(source));
    block_.clear();
}

std::vector<scenario_error> session_recorder::finish()
{
    std::vector<scenario_error> errors;
    parser_.finish(errors);
    block_.clear();
    return errors;
}

session_recorder::line_result session_recorder::runLine(std::string_view line)
{
    line_result result;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::vector<scenario_step> steps;
    parser_.feed(line, steps, result.errors);
    block_.emplace_back(line);
    if (!result.errors.empty() || (steps.empty() && !parser_.inBlock())) {
        block_.clear();  // unreadable, blank or a comment: nothing ran
        return result;
    }
    if (steps.empty())
        return result;  // a block waits for its "end"
    for (const scenario_step& step : steps) {
        bool kept = recording_ && step.kind != step_kind::help;
        if (kept && runner_.clock().now() > lastTime_)
            lines_.push_back(waitLine(runner_.clock().now() - lastTime_));
        const std::string& addressed = step.component.empty() ? runner_.currentComponent() : step.component;
        bool existed = false;
        for (const auto& component : runner_.components())
            existed = existed || (component.name == addressed && component.exists);
        std::size_t before = runner_.failureCount();
        result.keepGoing = runner_.run(step) && result.keepGoing;
        ++result.stepsRun;
        std::size_t added = runner_.failureCount() - before;
        result.failures += added;
        if (!kept)
            continue;
        // A step that failed without changing anything would only fail
        // again in the replay: an expectation, a "create" of a component
        // that exists, a line for a component that does not.
        bool idle = isExpectation(step.kind) || step.kind == step_kind::create ||
                    (addressesComponent(step.kind) && !existed);
        if (added > 0 && idle) {
            lines_.push_back("# failed here, so not replayed:");
            for (const auto& blockLine : block_)
                lines_.push_back("#   " + blockLine);
        } else {
            keep(block_);
        }
        lastTime_ = runner_.clock().now();
    }
    block_.clear();
    return result;
}

bool session_recorder::runText(std::string_view text)
{
    std::size_t at = 0;
    std::string_view line;
    bool goOn = true;
    while (goOn && nextLine(text, at, line))
        goOn = runLine(line).keepGoing;
    finish();
    return goOn;
}

std::string session_recorder::scenarioText() const
{
    std::string text = "# Recorded by panel_host: the steps as they were taken, the virtual time\n"
                       "# between them as waits, then the state at the end. Replay: panel_host FILE\n";
    for (const auto& line : lines_)
        text += line + "\n";
    // Time that passed after the last step counts too (a Take times out).
    if (recording_ && runner_.clock().now() > lastTime_)
        text += waitLine(runner_.clock().now() - lastTime_) + "\n";
    text += "\n# The state at the end of the recording.\n";
    std::vector<component_view> components = runner_.components();
    for (const auto& component : components) {
        std::string prefix = components.size() > 1 ? component.name + ": " : std::string();
        for (const auto& panel : component.panels->panels()) {
            std::string on = panel.first == "1" ? std::string() : " on " + quotedScenarioWord(panel.first);
            for (const auto& control : panel.second.controls) {
                std::string id = quotedScenarioWord(control.id);
                if (!writable(control.id)) {
                    text += "# a control whose id no line can carry is not checked\n";
                    continue;
                }
                if (const std::string* value = control.property("text")) {
                    if (writable(*value))
                        text.append(prefix)
                            .append("expect text ")
                            .append(id)
                            .append(" ")
                            .append(quotedScenarioWord(*value))
                            .append(on)
                            .append("\n");
                    else
                        text.append("# ").append(id).append(": its text cannot be written on a line; not checked\n");
                }
                text.append(prefix)
                    .append(control.enabled ? "expect enabled " : "expect disabled ")
                    .append(id)
                    .append(on)
                    .append("\n");
            }
        }
    }
    for (const auto& routed : runner_.routedCrosspoints()) {
        const device_model* device = runner_.routers().device(routed.first);
        auto source = device == nullptr ? std::nullopt : device->crosspoint(routed.second);
        if (source)
            text += "expect crosspoint " + std::to_string(routed.first) + " " + std::to_string(routed.second) + " " +
                    std::to_string(*source) + "\n";
    }
    return text;
}

bool session_recorder::write(const std::string& path, std::string& error) const
{
    return replaceFile(path, scenarioText(), error);
}

bool session_recorder::canWrite(const std::string& path, std::string& error) { return canReplaceFile(path, error); }
