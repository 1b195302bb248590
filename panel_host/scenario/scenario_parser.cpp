#include "scenario/scenario_parser.h"

#include "text/terminal_text.h"

namespace {

// "NAME: LINE": takes the name off the words; false, with the message set,
// for a line that names no proper component or cannot address one.
bool readComponentPrefix(std::vector<std::string>& words, scenario_step& step, std::string& message)
{
    const std::string& first = words.front();
    if (first.size() < 2 || first.back() != ':')
        return true;
    std::string name = first.substr(0, first.size() - 1);
    if (!isComponentName(name)) {
        message = "\"" + shortened(name) + "\" is not a component name: a letter, then letters, digits, _ or -";
        return false;
    }
    if (words.size() < 2) {
        message = "missing the line for component " + name + " (usage: " + findVerbEntry("NAME:")->usage + ")";
        return false;
    }
    words.erase(words.begin());
    step.component = name;
    return true;
}

}  // namespace

bool addressesComponent(step_kind kind)
{
    switch (kind) {
    case step_kind::create:
    case step_kind::destroy:
    case step_kind::set:
    case step_kind::get:
    case step_kind::param:
    case step_kind::press:
    case step_kind::revertive:
    case step_kind::tick:
    case step_kind::show_panel:
    case step_kind::expect_sent:
    case step_kind::expect_answer:
    case step_kind::expect_property:
    case step_kind::expect_enabled:
    case step_kind::expect_timer:
        return true;
    default:
        return false;
    }
}

scenario_parser::scenario_parser(std::string fileName) : file_(std::move(fileName)) {}

void scenario_parser::feed(std::string_view line, std::vector<scenario_step>& steps,
                           std::vector<scenario_error>& errors)
{
    ++lineNumber_;
    if (refused_ || !readable(line, errors))
        return;
    if (open_)
        addBlockLine(line, steps);
    else
        readLine(line, steps, errors);
}

bool scenario_parser::readable(std::string_view& line, std::vector<scenario_error>& errors)
{
    if (lineNumber_ == 1) {
        // A byte-order mark is an editor's habit: UTF-8's is skipped; a
        // UTF-16 file would give one error per line, so it gets one.
        if (line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        } else if (line.substr(0, 2) == "\xFF\xFE" || line.substr(0, 2) == "\xFE\xFF") {
            errors.push_back({file_, lineNumber_, "the file is UTF-16 text; a scenario is UTF-8 (save it as UTF-8)"});
            refused_ = true;
            return false;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos) {
        // Taken as C text the line would end there; the rest would be lost.
        errors.push_back({file_, lineNumber_, "a NUL character in the line (not a text file?)"});
        return false;
    }
    return true;
}

void scenario_parser::addBlockLine(std::string_view line, std::vector<scenario_step>& steps)
{
    std::string_view content = trimBlanks(line);
    if (content == "end") {
        steps.push_back(std::move(*open_));
        open_.reset();
    } else if (!content.empty()) {
        // Block lines are taken verbatim (a command line may hold '#').
        open_->lines.emplace_back(content);
    }
}

void scenario_parser::readLine(std::string_view line, std::vector<scenario_step>& steps,
                               std::vector<scenario_error>& errors)
{
    std::vector<std::string> words;
    std::string message;
    if (!splitWords(line, words, message)) {
        errors.push_back({file_, lineNumber_, message});
        return;
    }
    if (words.empty())
        return;
    scenario_step step;
    step.file = file_;
    step.line = lineNumber_;
    bool block = false;
    if (!readComponentPrefix(words, step, message) || !readStep(words, line, step, block, message)) {
        errors.push_back({file_, lineNumber_, message});
        return;
    }
    if (!step.component.empty() && !addressesComponent(step.kind)) {
        errors.push_back(
            {file_, lineNumber_,
             "\"" + shortened(words.front()) + "\" is a line of the facility: it takes no component name"});
        return;
    }
    if (block)
        open_ = std::make_unique<scenario_step>(std::move(step));
    else
        steps.push_back(std::move(step));
}

void scenario_parser::finish(std::vector<scenario_error>& errors)
{
    if (open_) {
        const char* what = open_->kind == step_kind::expect_sent ? "expect sent" : "expect answer";
        errors.push_back(
            {file_, open_->line, std::string("the \"") + what + "\" block is not closed: \"end\" missing"});
        open_.reset();
    }
}

parsed_scenario parseScenario(std::string_view text, const std::string& fileName)
{
    parsed_scenario result;
    scenario_parser parser(fileName);
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(text, at, line))
        parser.feed(line, result.steps, result.errors);
    parser.finish(result.errors);
    return result;
}

std::vector<scenario_error> checkScenario(std::string_view text, const std::string& fileName)
{
    std::vector<scenario_error> errors;
    std::vector<scenario_step> steps;
    scenario_parser parser(fileName);
    std::size_t at = 0;
    std::string_view line;
    while (errors.size() < mostBadLines && nextLine(text, at, line)) {
        parser.feed(line, steps, errors);
        steps.clear();
    }
    if (errors.size() < mostBadLines) {
        parser.finish(errors);
    } else if (at < text.size()) {
        errors.push_back(
            {fileName, parser.lineNumber(), "reading stopped after " + std::to_string(mostBadLines) + " bad lines"});
    }
    return errors;
}
