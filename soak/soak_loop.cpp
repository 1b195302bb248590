#include "soak_loop.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace {

// The transcript of a soak prints nothing: a run of many thousand lines is
// told by its outcome, and a failure by the lines before it.
transcript_style quietStyle()
{
    transcript_style style;
    style.verbosity = 0;
    style.color = false;
    style.unicode = false;
    return style;
}

// The lines a failure keeps, enough to see how the panel got there.
constexpr std::size_t recentLineCount = 25;

}  // namespace

soak_loop::soak_loop(soak_outcome& outcome) : outcome_(outcome), nowhere_(nullptr), out_(nowhere_, quietStyle()) {}

bool soak_loop::open(const runner_settings& settings, router_model& routers)
{
    runner_ = std::make_unique<scenario_runner>(settings, routers, out_);
    std::string error;
    if (runner_->openModule(error))
        return true;
    fail("cannot load the module: " + error);
    return false;
}

void soak_loop::run(int steps, soak_generator& generator)
{
    const auto started = std::chrono::steady_clock::now();
    generator.begin();
    while (outcome_.passed && outcome_.stepsRun < steps)
        generator.randomStep();
    if (outcome_.passed)
        generator.end();
    outcome_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

bool soak_loop::step(const std::string& line)
{
    if (!outcome_.passed)
        return false;
    outcome_.scenario.push_back(line);
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
    parser_.feed(line, steps, errors);
    if (!errors.empty()) {
        fail("the soak wrote a line the simulator cannot read: " + line + ": " + errors.front().message);
        return false;
    }
    const std::size_t failuresBefore = out_.failures().size();
    for (const scenario_step& parsed : steps)
        runner_->run(parsed);
    ++outcome_.stepsRun;
    for (const std::string& sent : runner_->host().sent()) {
        if (onSent_)
            onSent_(sent);
        for (char c : sent)
            outcome_.digest = (outcome_.digest ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        outcome_.digest = (outcome_.digest ^ '\n') * 1099511628211ULL;
        ++outcome_.hostEvents;
    }
    if (out_.failures().size() > failuresBefore) {
        fail("the simulator reports: " + out_.failures()[failuresBefore]);
        return false;
    }
    return true;
}

void soak_loop::fail(const std::string& text)
{
    if (!outcome_.passed)
        return;
    outcome_.passed = false;
    outcome_.failure = "step " + std::to_string(outcome_.stepsRun) + ": " + text;
    const std::size_t from = outcome_.scenario.size() > recentLineCount ? outcome_.scenario.size() - recentLineCount
                                                                        : 0;
    outcome_.recentLines.assign(outcome_.scenario.begin() + static_cast<std::ptrdiff_t>(from), outcome_.scenario.end());
}
