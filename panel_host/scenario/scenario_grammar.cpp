#include "scenario/scenario_grammar.h"

#include <iterator>
#include <memory>
#include <utility>

#include "text/file_faults.h"
#include "text/terminal_text.h"

namespace {

std::string joined(const std::vector<std::string>& words, const char* between)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : between) + words[i];
    return out;
}

// The readers, one a row; the row's usage is set before each runs.

bool readCreate(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::create;
    if (r.count() > 1) {
        step.hasText = true;
        step.text = r.word(1);
    }
    return r.atMost(2);
}

bool readDestroy(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::destroy;
    return r.atMost(1);
}

bool readSet(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::set;
    if (!r.text(1, "parameter name", step.name))
        return false;
    if (r.count() > 2)
        step.text = r.word(2);
    return r.atMost(3);
}

bool readGet(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::get;
    return r.text(1, "what to get (all, srcpkg, destpkg)", step.name) && r.atMost(2);
}

bool readParam(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::param;
    return r.text(1, "parameter text", step.name) && r.atMost(2);
}

bool readPress(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::press;
    if (!r.text(1, "control", step.name))
        return false;
    std::size_t i = 2;
    while (i < r.count()) {
        if (r.word(i) == "force") {
            step.flag = true;
            ++i;
        } else if (r.word(i) == "on") {
            if (!r.text(i + 1, "panel", step.panel))
                return false;
            i += 2;
        } else if (!step.hasText) {
            step.hasText = true;
            step.text = r.word(i);
            ++i;
        } else {
            return r.atMost(i);
        }
    }
    return true;
}

bool readRoute(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::route;
    return r.number(1, "device", step.a) && r.number(2, "source", step.b) && r.number(3, "destination", step.c) &&
           r.atMost(4);
}

bool readRename(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::rename;
    if (!r.number(1, "device", step.a) || !r.number(2, "database", step.b) || !r.nonNegative(3, "index", step.c))
        return false;
    // Names databases end where the device files' do: a larger index would
    // make every state the views build larger and slower, for no panel.
    if (step.c > simulatorSizeLimit)
        return r.fail("name index " + std::to_string(step.c) + " is beyond the simulator's limit of " +
                      std::to_string(simulatorSizeLimit));
    return r.text(4, "name", step.text) && r.atMost(5);
}

bool readWait(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::wait;
    return r.time(1, step.time) && r.atMost(2);
}

bool readRevertive(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::revertive;
    return r.number(1, "device", step.a) && r.number(2, "destination", step.b) && r.number(3, "source", step.c) &&
           r.atMost(4);
}

bool readTick(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::tick;
    return r.number(1, "timer id", step.a) && r.atMost(2);
}

bool readShowPanel(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::show_panel;
    if (r.count() > 1)
        step.panel = r.word(1);
    return r.atMost(2);
}

bool readShowRouter(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::show_router;
    if (!r.number(2, "device", step.a))
        return false;
    if (r.count() > 3) {
        step.hasText = true;
        if (!r.nonNegative(3, "first destination", step.b))
            return false;
        step.c = step.b;
        if (r.count() > 4 && !r.nonNegative(4, "last destination", step.c))
            return false;
        if (step.b > step.c)
            return r.fail("the first destination " + std::to_string(step.b) + " comes after the last " +
                          std::to_string(step.c));
    }
    return r.atMost(5);
}

bool readSay(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::say;
    // The rest of the line as written ('#' included), unless the line is
    // "say" and one quoted text; a quoted verb falls back to the words.
    std::string_view rest = trimBlanks(r.raw());
    bool plain = rest.size() >= 3 && rest.substr(0, 3) == "say" && (rest.size() == 3 || isBlank(rest[3]));
    if (plain) {
        rest = trimBlanks(rest.substr(3));
        bool oneQuoted = rest.size() >= 2 && rest.front() == '"' && rest.back() == '"' && r.count() == 2;
        step.text = oneQuoted ? r.word(1) : std::string(rest);
    } else {
        for (std::size_t i = 1; i < r.count(); ++i)
            step.text += (i == 1 ? "" : " ") + r.word(i);
    }
    return true;
}

// "fault" without a sub-word the table knows.
bool readFaultWord(line_reader& r, scenario_step&)
{
    std::vector<std::string> known = subWordsOf("fault");
    if (r.count() < 2)
        return r.refuse("missing fault (usage: fault " + joined(known, "|") + " ...)");
    return r.refuse("unknown fault \"" + shortened(r.word(1)) + "\" (" + joined(known, ", ") + ")");
}

bool readFaultDelay(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_delay;
    return r.time(2, step.time) && r.atMost(3);
}

bool readFaultDrop(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_drop;
    return r.percent(2, step.a) && r.atMost(3);
}

bool readFaultDuplicate(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_duplicate;
    return r.percent(2, step.a) && r.atMost(3);
}

bool readFaultSeed(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_seed;
    return r.number(2, "seed", step.a) && r.atMost(3);
}

bool readFaultOffline(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_offline;
    return r.number(2, "device", step.a) && r.atMost(3);
}

bool readFaultOnline(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_online;
    return r.number(2, "device", step.a) && r.atMost(3);
}

bool readFaultClear(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::fault_clear;
    return r.atMost(2);
}

bool readAfter(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::after;
    if (!r.time(1, step.time))
        return false;
    if (r.count() < 3)
        return r.fail("missing the line to schedule");
    std::vector<std::string> innerWords(r.words().begin() + 2, r.words().end());
    const std::string& innerVerb = innerWords[0];
    if (innerVerb != "route" && innerVerb != "rename" && innerVerb != "fault")
        return r.refuse("after schedules only route, rename and fault lines, not \"" + shortened(innerVerb) + "\"");
    auto inner = std::make_shared<scenario_step>();
    inner->file = step.file;
    inner->line = step.line;
    bool innerBlock = false;
    if (!readStep(innerWords, std::string_view(), *inner, innerBlock, r.message()))
        return false;
    step.inner = inner;
    return true;
}

// "expect" without a sub-word the table knows.
bool readExpectWord(line_reader& r, scenario_step&)
{
    std::string known = joined(subWordsOf("expect"), ", ");
    if (r.count() < 2)
        return r.refuse("missing expectation (" + known + ")");
    return r.refuse("unknown expectation \"" + shortened(r.word(1)) + "\" (" + known + ")");
}

bool readExpectSent(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_sent;
    if (r.count() == 2) {
        r.openBlock();
        return true;
    }
    if (r.word(2) != "nothing")
        return r.atMost(2);
    return r.atMost(3);
}

bool readExpectAnswer(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_answer;
    if (r.count() == 2) {
        r.openBlock();
        step.hasText = true;
        return true;
    }
    if (r.word(2) == "none")
        return r.atMost(3);
    step.hasText = true;
    step.lines.push_back(r.word(2));
    return r.atMost(3);
}

bool readExpectProperty(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_property;
    return r.text(2, "control", step.name) && r.text(3, "property", step.property) && r.text(4, "value", step.text) &&
           r.panel(5, step.panel);
}

bool readExpectText(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_property;
    step.property = "text";
    return r.text(2, "control", step.name) && r.text(3, "value", step.text) && r.panel(4, step.panel);
}

bool readExpectEnabled(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_enabled;
    step.flag = true;
    return r.text(2, "control", step.name) && r.panel(3, step.panel);
}

bool readExpectDisabled(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_enabled;
    step.flag = false;
    return r.text(2, "control", step.name) && r.panel(3, step.panel);
}

bool readExpectCrosspoint(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_crosspoint;
    return r.number(2, "device", step.a) && r.number(3, "destination", step.b) && r.number(4, "source", step.c) &&
           r.atMost(5);
}

bool readExpectTimer(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::expect_timer;
    if (!r.number(2, "timer id", step.a))
        return false;
    if (r.count() < 4 || (r.word(3) != "running" && r.word(3) != "stopped"))
        return r.fail("expect timer needs running or stopped");
    step.flag = r.word(3) == "running";
    return r.atMost(4);
}

bool readHelp(line_reader&, scenario_step& step)
{
    step.kind = step_kind::help;
    return true;
}

bool readUse(line_reader& r, scenario_step& step)
{
    step.kind = step_kind::use_component;
    if (!r.text(1, "component name", step.name))
        return false;
    if (!isComponentName(step.name))
        return r.refuse("\"" + shortened(step.name) +
                        "\" is not a component name: a letter, then letters, digits, _ or -");
    return r.atMost(2);
}

constexpr verb_entry heading(const char* text) { return {nullptr, nullptr, text, nullptr}; }

// Every fault line gives the whole family's usage.
constexpr const char* faultUsage =
    "fault delay TIME | drop PERCENT | duplicate PERCENT | seed NUMBER | offline DEVICE | online DEVICE | clear";
constexpr const char* enabledUsage = "expect enabled|disabled CONTROL [on PANEL]";
constexpr const char* expectSentUsage = "expect sent, then the lines, then end; or expect sent nothing";
constexpr const char* expectAnswerUsage =
    "expect answer TEXT | expect answer none | expect answer, then the lines, then end";

// The language, in the order of the summary.
const verb_entry verbs[] = {
    heading("Scenario lines ('#' starts a comment; \"double quotes\" group words):"),
    {"create", "create [DATA]", "create [DATA]\tload the component (DATA: load data text)", readCreate},
    {"destroy", "destroy", "destroy\tdelete the component", readDestroy},
    {"set", "set NAME VALUE", "set NAME VALUE\tparameter request NAME=VALUE, answer printed", readSet},
    {"get", "get WHAT", "get WHAT\tparameter request return=WHAT (all, srcpkg, destpkg)", readGet},
    {"param", "param TEXT", "param TEXT\tany parameter text, e.g. param _events", readParam},
    {"press", "press CONTROL [EVENTTEXT] [on PANEL] [force]",
     "press CONTROL [TEXT] [on PANEL] [force]\tbutton event, TEXT its event text (alarm=2);\n"
     "\ta disabled control is pressed only with force",
     readPress},
    {"route", "route DEVICE SOURCE DESTINATION",
     "route DEVICE SOURCE DESTINATION\tanother controller routes on a router", readRoute},
    {"rename", "rename DEVICE DATABASE INDEX NAME",
     "rename DEVICE DATABASE INDEX NAME\ta name changes in a names database", readRename},
    {"wait", "wait TIME", "wait TIME\tlet virtual time pass (500, 500ms, 2s, 1.5s; at most 86400s)", readWait},
    {"revertive", "revertive DEVICE DESTINATION SOURCE",
     "revertive DEVICE DESTINATION SOURCE\thand the component a revertive directly", readRevertive},
    {"tick", "tick TIMER", "tick TIMER\thand the component a timer event directly", readTick},
    {"show", "show [PANEL] | show router DEVICE [FIRST [LAST]]", "show [PANEL]\tpicture of the panel (with --picture)",
     readShowPanel},
    {"show router", "show router DEVICE [FIRST [LAST]]",
     "show router DEVICE [FIRST [LAST]]\tcrosspoints of a router: FIRST to LAST, or without a\n"
     "\trange those changed since the start (else the first 16)",
     readShowRouter},
    {"say", nullptr, "say TEXT\ta heading in the transcript", readSay},
    {"fault", nullptr, nullptr, readFaultWord},
    {"fault delay", faultUsage, "fault delay TIME | drop PERCENT | duplicate PERCENT | seed NUMBER", readFaultDelay},
    {"fault drop", faultUsage, nullptr, readFaultDrop},
    {"fault duplicate", faultUsage, nullptr, readFaultDuplicate},
    {"fault seed", faultUsage, nullptr, readFaultSeed},
    {"fault offline", faultUsage, "fault offline DEVICE | online DEVICE | clear", readFaultOffline},
    {"fault online", faultUsage, nullptr, readFaultOnline},
    {"fault clear", faultUsage, nullptr, readFaultClear},
    {"after", "after TIME route|rename|fault ...",
     "after TIME route|rename|fault ...\tthe same, later on the virtual clock", readAfter},
    {"expect", nullptr, nullptr, readExpectWord},
    {"expect sent", expectSentUsage,
     "expect sent ... end\texactly these command lines in the last step\n"
     "expect sent nothing",
     readExpectSent},
    {"expect answer", expectAnswerUsage, "expect answer TEXT | expect answer ... end | expect answer none",
     readExpectAnswer},
    {"expect property", "expect property CONTROL PROPERTY VALUE [on PANEL]",
     "expect property CONTROL PROPERTY VALUE [on PANEL]", readExpectProperty},
    {"expect text", "expect text CONTROL VALUE [on PANEL]", "expect text CONTROL VALUE [on PANEL]", readExpectText},
    {"expect enabled", enabledUsage, enabledUsage, readExpectEnabled},
    {"expect disabled", enabledUsage, nullptr, readExpectDisabled},
    {"expect crosspoint", "expect crosspoint DEVICE DESTINATION SOURCE", "expect crosspoint DEVICE DESTINATION SOURCE",
     readExpectCrosspoint},
    {"expect timer", "expect timer ID running|stopped", "expect timer ID running|stopped", readExpectTimer},
    heading("Several components (take/undo positions sharing the routers):"),
    {"use", "use NAME", "use NAME\tlater lines address component NAME\n\t(declared here; \"main\" is the first one)",
     readUse},
    {"NAME:", "NAME: LINE", "NAME: LINE\tthis line addresses component NAME,\n\te.g. B: create, B: press Take",
     nullptr},
    heading("At the prompt (panel_host on a terminal, without a scenario):"),
    {"help", nullptr, "help\tthis list", readHelp},
    {"quit", nullptr, "quit, exit, Ctrl-D\tend: the component is destroyed, the history kept", nullptr},
    {"Ctrl-C", nullptr, "Ctrl-C\tdrop the line being typed (and an open block)", nullptr},
};

// A row's word split into its first word and its sub-word ("" for none).
std::pair<std::string_view, std::string_view> wordsOf(const verb_entry& entry)
{
    std::string_view word = entry.word;
    std::size_t space = word.find(' ');
    if (space == std::string_view::npos)
        return {word, std::string_view()};
    return {word.substr(0, space), word.substr(space + 1)};
}

// The row that reads a line of these words: the word and its sub-word, else
// the word alone.
const verb_entry* readerFor(const std::vector<std::string>& words)
{
    const verb_entry* bare = nullptr;
    for (const verb_entry& entry : verbs) {
        if (entry.word == nullptr || entry.reader == nullptr)
            continue;
        auto [first, sub] = wordsOf(entry);
        if (first != words[0])
            continue;
        if (sub.empty())
            bare = &entry;
        else if (words.size() > 1 && sub == words[1])
            return &entry;
    }
    return bare;
}

}  // namespace

verb_table scenarioVerbs() { return {std::begin(verbs), std::end(verbs)}; }

const verb_entry* findVerbEntry(std::string_view word)
{
    for (const verb_entry& entry : verbs)
        if (entry.word != nullptr && entry.word == word)
            return &entry;
    return nullptr;
}

std::vector<std::string> subWordsOf(std::string_view word)
{
    std::vector<std::string> subs;
    for (const verb_entry& entry : verbs) {
        if (entry.word == nullptr || entry.reader == nullptr)
            continue;
        auto [first, sub] = wordsOf(entry);
        if (first == word && !sub.empty())
            subs.emplace_back(sub);
    }
    return subs;
}

bool readStep(const std::vector<std::string>& words, std::string_view raw, scenario_step& step, bool& block,
              std::string& message)
{
    const verb_entry* entry = readerFor(words);
    if (entry == nullptr) {
        message = "unknown line \"" + shortened(words.front()) + "\" (try: help)";
        return false;
    }
    line_reader reader(words, raw, message);
    reader.usage(entry->usage);
    bool ok = entry->reader(reader, step);
    block = ok && reader.blockOpened();
    return ok;
}
