// The expectations: what a component sent and answered, what its panels
// show, what the routers carry, which timers run. A failed one is reported
// with the scenario's file:line and the run goes on (unless it is to stop).
#include "scenario/scenario_runner.h"

#include <algorithm>
#include <cstring>

#include "scenario/runner_text.h"

namespace {

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

void scenario_runner::expect(const scenario_step& step)
{
    ++expectations_;
    switch (step.kind) {
    case step_kind::expect_sent:
        expectSent(step);
        return;
    case step_kind::expect_answer:
        expectAnswer(step);
        return;
    case step_kind::expect_property:
        expectProperty(step);
        return;
    case step_kind::expect_enabled:
        expectEnabled(step);
        return;
    case step_kind::expect_crosspoint:
        expectCrosspoint(step);
        return;
    case step_kind::expect_timer:
        expectTimer(step);
        return;
    default:
        return;
    }
}

void scenario_runner::expectSent(const scenario_step& step)
{
    std::vector<std::string> expected;
    for (const auto& line : step.lines)
        expected.push_back(substitute(line));
    const auto& actual = target_->host->sent();
    if (expected != actual)
        fail("the last step sent other lines than expected:\n" + describeDifference(expected, actual));
}

void scenario_runner::expectAnswer(const scenario_step& step)
{
    const std::optional<std::string>& lastAnswer = target_->lastAnswer;
    if (!step.hasText) {
        if (lastAnswer)
            fail("expected no answer, got " + quotedText(*lastAnswer));
        return;
    }
    std::string expected = substitute(joinLines(step.lines));
    if (!lastAnswer)
        fail("expected the answer " + quotedText(expected) + ", got none (null)");
    else if (*lastAnswer != expected)
        fail("expected the answer " + quotedText(expected) + ", got " + quotedText(*lastAnswer));
}

void scenario_runner::expectProperty(const scenario_step& step)
{
    const panel_control* control = target_->panels.find(step.panel, step.name);
    if (control == nullptr) {
        fail("panel " + step.panel + " shows no control " + quotedText(step.name));
        return;
    }
    const std::string* value = control->property(step.property);
    std::string expected = substitute(step.text);
    if (value == nullptr)
        fail(step.name + " " + step.property + ": expected " + quotedText(expected) + ", but it was never set");
    else if (*value != expected)
        fail(step.name + " " + step.property + ": expected " + quotedText(expected) + ", is " + quotedText(*value));
}

void scenario_runner::expectEnabled(const scenario_step& step)
{
    const panel_control* control = target_->panels.find(step.panel, step.name);
    if (control == nullptr)
        fail("panel " + step.panel + " shows no control " + quotedText(step.name));
    else if (control->enabled != step.flag)
        fail(step.name + ": expected " + (step.flag ? "enabled" : "disabled") + ", is " +
             (control->enabled ? "enabled" : "disabled"));
}

void scenario_runner::expectCrosspoint(const scenario_step& step)
{
    const device_model* device = routers_.device(static_cast<int>(step.a));
    if (device == nullptr || !device->isRouter()) {
        fail("the installation has no router " + std::to_string(step.a));
        return;
    }
    auto source = device->crosspoint(static_cast<int>(step.b));
    if (!source)
        fail("router " + std::to_string(step.a) + " has no destination " + std::to_string(step.b));
    else if (*source != step.c)
        fail("router " + std::to_string(step.a) + " destination " + std::to_string(step.b) + ": expected source " +
             std::to_string(step.c) + ", carries " + std::to_string(*source));
}

void scenario_runner::expectTimer(const scenario_step& step)
{
    bool running = clock_.timerRunning(static_cast<int>(step.a), target_->clockOwner);
    if (running != step.flag)
        fail("timer " + std::to_string(step.a) + ": expected " + (step.flag ? "running" : "stopped") + ", is " +
             (running ? "running" : "stopped"));
}

// ${layouts} and ${data} in an expected text: the layout folder and the
// component's load data, which differ from one installation to the next.
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
