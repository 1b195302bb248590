#include "scenario/scenario_parser.h"

#include <charconv>
#include <limits>

#include "text/terminal_text.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool readInteger(std::string_view text, std::int64_t& out)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+')
        ++first;
    std::int64_t value = 0;
    auto [end, failure] = std::from_chars(first, last, value);
    if (failure != std::errc() || end != last)
        return false;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    out = value;
    return true;
}

// Reads a line's words into a step; every reader returns false with the
// message set when the line is not well formed.
class line_reader {
public:
    line_reader(const std::vector<std::string>& words, std::string& message)
        : words_(words), message_(message)
    {
    }

    std::size_t count() const { return words_.size(); }
    const std::string& word(std::size_t i) const { return words_[i]; }

    bool number(std::size_t i, const char* what, std::int64_t& out)
    {
        if (i >= words_.size()) {
            message_ = std::string("missing ") + what + " (" + usage_ + ")";
            return false;
        }
        if (!readInteger(words_[i], out)) {
            message_ = "\"" + shortened(words_[i]) + "\" is not a number: " + what + " expected (" + usage_ + ")";
            return false;
        }
        return true;
    }

    bool nonNegative(std::size_t i, const char* what, std::int64_t& out)
    {
        if (!number(i, what, out))
            return false;
        if (out < 0) {
            message_ = std::string(what) + " must not be negative (" + usage_ + ")";
            return false;
        }
        return true;
    }

    bool percent(std::size_t i, std::int64_t& out)
    {
        std::string text = i < words_.size() ? words_[i] : std::string();
        if (!text.empty() && text.back() == '%')
            text.pop_back();
        if (!readInteger(text, out) || out < 0 || out > 100) {
            message_ = "\"" + shortened(i < words_.size() ? words_[i] : std::string()) +
                       "\" is not a percentage from 0 to 100 (" + usage_ + ")";
            return false;
        }
        return true;
    }

    bool time(std::size_t i, std::int64_t& out)
    {
        if (i >= words_.size()) {
            message_ = "missing time (" + usage_ + ")";
            return false;
        }
        if (!readTime(words_[i], out)) {
            message_ = "\"" + shortened(words_[i]) + "\" is not a time such as 500, 500ms or 2s (" + usage_ + ")";
            return false;
        }
        if (out > longestTime) {
            message_ = "\"" + words_[i] + "\" is longer than a line may wait, schedule or delay: at most " +
                       std::to_string(longestTime / 1000) + "s (" + usage_ + ")";
            return false;
        }
        return true;
    }

    bool text(std::size_t i, const char* what, std::string& out)
    {
        if (i >= words_.size()) {
            message_ = std::string("missing ") + what + " (" + usage_ + ")";
            return false;
        }
        out = words_[i];
        return true;
    }

    bool atMost(std::size_t n)
    {
        if (words_.size() > n) {
            message_ = "unexpected \"" + shortened(words_[n]) + "\" (" + usage_ + ")";
            return false;
        }
        return true;
    }

    void usage(const char* text) { usage_ = std::string("usage: ") + text; }

private:
    const std::vector<std::string>& words_;
    std::string& message_;
    std::string usage_;
};

// Reads an optional "on PANEL" at word i; true when the rest is well formed.
bool readPanel(line_reader& r, std::size_t i, scenario_step& step)
{
    if (i >= r.count())
        return true;
    if (r.word(i) != "on")
        return r.atMost(i);
    return r.text(i + 1, "panel", step.panel) && r.atMost(i + 2);
}

bool parseFault(line_reader& r, scenario_step& step, std::string& message)
{
    r.usage("fault delay TIME | drop PERCENT | duplicate PERCENT | seed NUMBER | offline DEVICE | online DEVICE | clear");
    if (r.count() < 2) {
        message = "missing fault (usage: fault delay|drop|duplicate|seed|offline|online|clear ...)";
        return false;
    }
    const std::string& what = r.word(1);
    if (what == "delay") {
        step.kind = step_kind::fault_delay;
        return r.time(2, step.time) && r.atMost(3);
    }
    if (what == "drop" || what == "duplicate") {
        step.kind = what == "drop" ? step_kind::fault_drop : step_kind::fault_duplicate;
        return r.percent(2, step.a) && r.atMost(3);
    }
    if (what == "seed") {
        step.kind = step_kind::fault_seed;
        return r.number(2, "seed", step.a) && r.atMost(3);
    }
    if (what == "offline" || what == "online") {
        step.kind = what == "offline" ? step_kind::fault_offline : step_kind::fault_online;
        return r.number(2, "device", step.a) && r.atMost(3);
    }
    if (what == "clear") {
        step.kind = step_kind::fault_clear;
        return r.atMost(2);
    }
    message = "unknown fault \"" + shortened(what) + "\" (delay, drop, duplicate, seed, offline, online, clear)";
    return false;
}

// Block-taking expectations set `block` when the step still waits for its
// lines.
bool parseExpect(line_reader& r, scenario_step& step, bool& block, std::string& message)
{
    if (r.count() < 2) {
        message = "missing expectation (sent, answer, property, text, enabled, disabled, crosspoint, timer)";
        return false;
    }
    const std::string& what = r.word(1);
    if (what == "sent") {
        r.usage("expect sent, then the lines, then end; or expect sent nothing");
        step.kind = step_kind::expect_sent;
        if (r.count() == 2) {
            block = true;
            return true;
        }
        if (r.word(2) != "nothing") {
            message = "unexpected \"" + shortened(r.word(2)) +
                      "\" (usage: expect sent, then the lines, then end; or expect sent nothing)";
            return false;
        }
        return r.atMost(3);
    }
    if (what == "answer") {
        r.usage("expect answer TEXT | expect answer none | expect answer, then the lines, then end");
        step.kind = step_kind::expect_answer;
        if (r.count() == 2) {
            block = true;
            step.hasText = true;
            return true;
        }
        if (r.word(2) == "none")
            return r.atMost(3);
        step.hasText = true;
        step.lines.push_back(r.word(2));
        return r.atMost(3);
    }
    if (what == "property") {
        r.usage("expect property CONTROL PROPERTY VALUE [on PANEL]");
        step.kind = step_kind::expect_property;
        return r.text(2, "control", step.name) && r.text(3, "property", step.property) &&
               r.text(4, "value", step.text) && readPanel(r, 5, step);
    }
    if (what == "text") {
        r.usage("expect text CONTROL VALUE [on PANEL]");
        step.kind = step_kind::expect_property;
        step.property = "text";
        return r.text(2, "control", step.name) && r.text(3, "value", step.text) && readPanel(r, 4, step);
    }
    if (what == "enabled" || what == "disabled") {
        r.usage("expect enabled|disabled CONTROL [on PANEL]");
        step.kind = step_kind::expect_enabled;
        step.flag = what == "enabled";
        return r.text(2, "control", step.name) && readPanel(r, 3, step);
    }
    if (what == "crosspoint") {
        r.usage("expect crosspoint DEVICE DESTINATION SOURCE");
        step.kind = step_kind::expect_crosspoint;
        return r.number(2, "device", step.a) && r.number(3, "destination", step.b) &&
               r.number(4, "source", step.c) && r.atMost(5);
    }
    if (what == "timer") {
        r.usage("expect timer ID running|stopped");
        step.kind = step_kind::expect_timer;
        if (!r.number(2, "timer id", step.a))
            return false;
        if (r.count() < 4 || (r.word(3) != "running" && r.word(3) != "stopped")) {
            message = "expect timer needs running or stopped (usage: expect timer ID running|stopped)";
            return false;
        }
        step.flag = r.word(3) == "running";
        return r.atMost(4);
    }
    message = "unknown expectation \"" + shortened(what) +
              "\" (sent, answer, property, text, enabled, disabled, crosspoint, timer)";
    return false;
}

// Parses the words of one line into `step`. `raw` is the line itself, for
// the lines that take their rest verbatim ("say", "after").
bool parseWords(const std::vector<std::string>& words, std::string_view raw, scenario_step& step, bool& block,
                std::string& message, const std::string& file, int lineNumber)
{
    line_reader r(words, message);
    const std::string& verb = words[0];
    if (verb == "create") {
        r.usage("create [DATA]");
        step.kind = step_kind::create;
        if (words.size() > 1) {
            step.hasText = true;
            step.text = words[1];
        }
        return r.atMost(2);
    }
    if (verb == "destroy") {
        r.usage("destroy");
        step.kind = step_kind::destroy;
        return r.atMost(1);
    }
    if (verb == "set") {
        r.usage("set NAME VALUE");
        step.kind = step_kind::set;
        if (!r.text(1, "parameter name", step.name))
            return false;
        if (words.size() > 2)
            step.text = words[2];
        return r.atMost(3);
    }
    if (verb == "get") {
        r.usage("get WHAT");
        step.kind = step_kind::get;
        return r.text(1, "what to get (all, srcpkg, destpkg)", step.name) && r.atMost(2);
    }
    if (verb == "param") {
        r.usage("param TEXT");
        step.kind = step_kind::param;
        return r.text(1, "parameter text", step.name) && r.atMost(2);
    }
    if (verb == "press") {
        r.usage("press CONTROL [EVENTTEXT] [on PANEL] [force]");
        step.kind = step_kind::press;
        if (!r.text(1, "control", step.name))
            return false;
        std::size_t i = 2;
        while (i < words.size()) {
            if (words[i] == "force") {
                step.flag = true;
                ++i;
            } else if (words[i] == "on") {
                if (!r.text(i + 1, "panel", step.panel))
                    return false;
                i += 2;
            } else if (!step.hasText) {
                step.hasText = true;
                step.text = words[i];
                ++i;
            } else {
                return r.atMost(i);
            }
        }
        return true;
    }
    if (verb == "route") {
        r.usage("route DEVICE SOURCE DESTINATION");
        step.kind = step_kind::route;
        return r.number(1, "device", step.a) && r.number(2, "source", step.b) &&
               r.number(3, "destination", step.c) && r.atMost(4);
    }
    if (verb == "rename") {
        r.usage("rename DEVICE DATABASE INDEX NAME");
        step.kind = step_kind::rename;
        return r.number(1, "device", step.a) && r.number(2, "database", step.b) && r.number(3, "index", step.c) &&
               r.text(4, "name", step.text) && r.atMost(5);
    }
    if (verb == "wait") {
        r.usage("wait TIME");
        step.kind = step_kind::wait;
        return r.time(1, step.time) && r.atMost(2);
    }
    if (verb == "revertive") {
        r.usage("revertive DEVICE DESTINATION SOURCE");
        step.kind = step_kind::revertive;
        return r.number(1, "device", step.a) && r.number(2, "destination", step.b) &&
               r.number(3, "source", step.c) && r.atMost(4);
    }
    if (verb == "tick") {
        r.usage("tick TIMER");
        step.kind = step_kind::tick;
        return r.number(1, "timer id", step.a) && r.atMost(2);
    }
    if (verb == "show") {
        if (words.size() > 1 && words[1] == "router") {
            r.usage("show router DEVICE [FIRST [LAST]]");
            step.kind = step_kind::show_router;
            if (!r.number(2, "device", step.a))
                return false;
            if (words.size() > 3) {
                step.hasText = true;
                if (!r.nonNegative(3, "first destination", step.b))
                    return false;
                step.c = step.b;
                if (words.size() > 4 && !r.nonNegative(4, "last destination", step.c))
                    return false;
                if (step.b > step.c) {
                    message = "the first destination " + std::to_string(step.b) + " comes after the last " +
                              std::to_string(step.c) + " (usage: show router DEVICE [FIRST [LAST]])";
                    return false;
                }
            }
            return r.atMost(5);
        }
        r.usage("show [PANEL] | show router DEVICE [FIRST [LAST]]");
        step.kind = step_kind::show_panel;
        if (words.size() > 1)
            step.panel = words[1];
        return r.atMost(2);
    }
    if (verb == "say") {
        step.kind = step_kind::say;
        // The rest of the line as written ('#' included), unless the line is
        // "say" and one quoted text; a quoted verb falls back to the words.
        std::string_view rest = trim(raw);
        bool plain = rest.size() >= 3 && rest.substr(0, 3) == "say" && (rest.size() == 3 || isBlank(rest[3]));
        if (plain) {
            rest = trim(rest.substr(3));
            bool oneQuoted = rest.size() >= 2 && rest.front() == '"' && rest.back() == '"' && words.size() == 2;
            step.text = oneQuoted ? words[1] : std::string(rest);
        } else {
            for (std::size_t i = 1; i < words.size(); ++i)
                step.text += (i == 1 ? "" : " ") + words[i];
        }
        return true;
    }
    if (verb == "fault")
        return parseFault(r, step, message);
    if (verb == "after") {
        r.usage("after TIME route|rename|fault ...");
        step.kind = step_kind::after;
        if (!r.time(1, step.time))
            return false;
        if (words.size() < 3) {
            message = "missing the line to schedule (usage: after TIME route|rename|fault ...)";
            return false;
        }
        std::vector<std::string> innerWords(words.begin() + 2, words.end());
        const std::string& innerVerb = innerWords[0];
        if (innerVerb != "route" && innerVerb != "rename" && innerVerb != "fault") {
            message = "after schedules only route, rename and fault lines, not \"" + shortened(innerVerb) + "\"";
            return false;
        }
        auto inner = std::make_shared<scenario_step>();
        inner->file = file;
        inner->line = lineNumber;
        bool innerBlock = false;
        if (!parseWords(innerWords, std::string_view(), *inner, innerBlock, message, file, lineNumber))
            return false;
        step.inner = inner;
        return true;
    }
    if (verb == "expect")
        return parseExpect(r, step, block, message);
    if (verb == "help") {
        step.kind = step_kind::help;
        return true;
    }
    if (verb == "use") {
        r.usage("use NAME");
        step.kind = step_kind::use_component;
        if (!r.text(1, "component name", step.name))
            return false;
        if (!isComponentName(step.name)) {
            message = "\"" + shortened(step.name) + "\" is not a component name: a letter, then letters, digits, _ or -";
            return false;
        }
        return r.atMost(2);
    }
    message = "unknown line \"" + shortened(verb) + "\" (try: help)";
    return false;
}

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
        message = "missing the line for component " + name + " (usage: NAME: LINE)";
        return false;
    }
    words.erase(words.begin());
    step.component = name;
    return true;
}

}  // namespace

bool isComponentName(std::string_view name)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (name.empty() || !letter(name.front()))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '-')
            return false;
    return true;
}

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

bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        if (at >= line.size() || line[at] == '#')
            break;
        std::string word;
        bool quoted = false;
        while (at < line.size() && !isBlank(line[at])) {
            if (line[at] == '"') {
                quoted = true;
                ++at;
                bool closed = false;
                while (at < line.size()) {
                    char c = line[at++];
                    if (c == '"') {
                        closed = true;
                        break;
                    }
                    if (c == '\\' && at < line.size() && (line[at] == '"' || line[at] == '\\'))
                        c = line[at++];
                    word += c;
                }
                if (!closed) {
                    error = "unterminated \"quoted text\"";
                    return false;
                }
            } else {
                word += line[at++];
            }
        }
        if (!word.empty() || quoted)
            words.push_back(std::move(word));
    }
    return true;
}

bool readTime(std::string_view text, std::int64_t& milliseconds)
{
    std::int64_t scale = 1;
    if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
        text.remove_suffix(2);
    } else if (text.size() > 1 && text.back() == 's') {
        text.remove_suffix(1);
        scale = 1000;
    }
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::int64_t value = 0;
    if (!readInteger(whole, value) || value < 0 || whole.front() == '+' || whole.front() == '-')
        return false;
    std::int64_t fraction = 0;
    if (dot != std::string_view::npos) {
        // Fractions only of seconds, and at most to the millisecond.
        std::string_view digits = text.substr(dot + 1);
        if (scale != 1000 || digits.empty() || digits.size() > 3)
            return false;
        std::int64_t part = 0;
        if (!readInteger(digits, part) || digits.front() == '+' || digits.front() == '-')
            return false;
        for (std::size_t i = digits.size(); i < 3; ++i)
            part *= 10;
        fraction = part;
    }
    milliseconds = value * scale + fraction;
    return true;
}

scenario_parser::scenario_parser(std::string fileName) : file_(std::move(fileName)) {}

void scenario_parser::feed(std::string_view line, std::vector<scenario_step>& steps,
                           std::vector<scenario_error>& errors)
{
    ++lineNumber_;
    if (refused_)
        return;
    if (lineNumber_ == 1) {
        // A byte-order mark is an editor's habit: UTF-8's is skipped; a
        // UTF-16 file would give one error per line, so it gets one.
        if (line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        } else if (line.substr(0, 2) == "\xFF\xFE" || line.substr(0, 2) == "\xFE\xFF") {
            errors.push_back({file_, lineNumber_, "the file is UTF-16 text; a scenario is UTF-8 (save it as UTF-8)"});
            refused_ = true;
            return;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos) {
        // Taken as C text the line would end there; the rest would be lost.
        errors.push_back({file_, lineNumber_, "a NUL character in the line (not a text file?)"});
        return;
    }
    if (open_) {
        std::string_view content = trim(line);
        if (content == "end") {
            steps.push_back(std::move(*open_));
            open_.reset();
        } else if (!content.empty()) {
            // Block lines are taken verbatim (a command line may hold '#').
            open_->lines.emplace_back(content);
        }
        return;
    }
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
    if (!readComponentPrefix(words, step, message) ||
        !parseWords(words, line, step, block, message, file_, lineNumber_)) {
        errors.push_back({file_, lineNumber_, message});
        return;
    }
    if (!step.component.empty() && !addressesComponent(step.kind)) {
        errors.push_back(
            {file_, lineNumber_, "\"" + shortened(words.front()) + "\" is a line of the facility: it takes no component name"});
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

bool nextLine(std::string_view text, std::size_t& at, std::string_view& line)
{
    if (at >= text.size())
        return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos)
        end = text.size();
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
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
        errors.push_back({fileName, parser.lineNumber(),
                          "reading stopped after " + std::to_string(mostBadLines) + " bad lines"});
    }
    return errors;
}

const char* scenarioLanguageSummary()
{
    return R"(Scenario lines ('#' starts a comment; "double quotes" group words):
  create [DATA]                        load the component (DATA: load data text)
  destroy                              delete the component
  set NAME VALUE                       parameter request NAME=VALUE, answer printed
  get WHAT                             parameter request return=WHAT (all, srcpkg, destpkg)
  param TEXT                           any parameter text, e.g. param _events
  press CONTROL [TEXT] [on PANEL] [force]
                                       button event, TEXT its event text (alarm=2);
                                       a disabled control is pressed only with force
  route DEVICE SOURCE DESTINATION      another controller routes on a router
  rename DEVICE DATABASE INDEX NAME    a name changes in a names database
  wait TIME                            let virtual time pass (500, 500ms, 2s, 1.5s; at most 86400s)
  revertive DEVICE DESTINATION SOURCE  hand the component a revertive directly
  tick TIMER                           hand the component a timer event directly
  show [PANEL]                         picture of the panel (with --picture)
  show router DEVICE [FIRST [LAST]]    crosspoints of a router: FIRST to LAST, or without a
                                       range those changed since the start (else the first 16)
  say TEXT                             a heading in the transcript
  fault delay TIME | drop PERCENT | duplicate PERCENT | seed NUMBER
  fault offline DEVICE | online DEVICE | clear
  after TIME route|rename|fault ...    the same, later on the virtual clock
  expect sent ... end                  exactly these command lines in the last step
  expect sent nothing
  expect answer TEXT | expect answer ... end | expect answer none
  expect property CONTROL PROPERTY VALUE [on PANEL]
  expect text CONTROL VALUE [on PANEL]
  expect enabled|disabled CONTROL [on PANEL]
  expect crosspoint DEVICE DESTINATION SOURCE
  expect timer ID running|stopped
Several components (take/undo positions sharing the routers):
  use NAME                             later lines address component NAME
                                       (declared here; "main" is the first one)
  NAME: LINE                           this line addresses component NAME,
                                       e.g. B: create, B: press Take
At the prompt (panel_host on a terminal, without a scenario):
  help                                 this list
  quit, exit, Ctrl-D                   end: the component is destroyed, the history kept
  Ctrl-C                               drop the line being typed (and an open block)
)";
}
