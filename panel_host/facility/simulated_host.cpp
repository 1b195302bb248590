#include "facility/simulated_host.h"

#include <filesystem>

#include "facility/host_command.h"
#include "facility/simulated_router.h"

std::string resolveLayoutPath(const std::string& file, const std::string& layoutDir)
{
    std::filesystem::path path(file);
    if (path.is_absolute() || layoutDir.empty())
        return file;
    return (std::filesystem::path(layoutDir) / path).string();
}

simulated_host::simulated_host(panel_model& panels, router_model& routers, virtual_clock& clock, transcript& out,
                               std::string layoutDir, int clockOwner)
    : panels_(panels), routers_(routers), clock_(clock), out_(out), layoutDir_(std::move(layoutDir)),
      clockOwner_(clockOwner)
{
}

bool simulated_host::isRegistered(int device, int destination) const
{
    auto found = registrations_.find(device);
    if (found == registrations_.end())
        return false;
    for (const auto& range : found->second)
        if (destination >= range.first && destination <= range.second)
            return true;
    return false;
}

simulated_host::~simulated_host() = default;

namespace {

std::string quoteText(const std::string& text)
{
    std::string shown = "\"";
    for (char c : text)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return shown + "\"";
}

}  // namespace

const char* simulated_host::send(const char* text, std::int32_t kind)
{
    if (kind == zelmGiveBack) {
        giveBack(text);
        return nullptr;
    }
    std::string line = text == nullptr ? std::string() : std::string(text);
    if (kind != zelmSendCommand) {
        problems_.push_back("send with unknown kind " + std::to_string(kind) + ": " + quoteText(line));
        out_.warning("send with unknown kind " + std::to_string(kind));
        return nullptr;
    }
    sent_.push_back(line);
    std::vector<remark> gathered;
    remarks_ = &gathered;
    const char* result = handle(line);
    reportFaults();
    remarks_ = nullptr;
    std::string answerNote;
    host_command parsed = parseHostCommand(line);
    if (parsed.ok() && (parsed.word == "TG" || parsed.word == "RN" || parsed.word == "XI" || parsed.word == "PS"))
        answerNote = result == nullptr ? "null" : quoteText(result);
    out_.command(line, answerNote);
    for (const auto& entry : gathered) {
        if (entry.warning)
            out_.warning(entry.text);
        else
            out_.note(entry.text);
    }
    return result;
}

bool simulated_host::numbers(const std::string& command, const std::vector<std::string>& args, std::size_t count,
                             int* out)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!readInt32(args[i], out[i])) {
            problems_.push_back(command + ": \"" + args[i] + "\" is not a number");
            warn(command + ": \"" + args[i] + "\" is not a number; command ignored");
            return false;
        }
    return true;
}

bool simulated_host::deviceFor(const std::string& command, int number, device_model*& device, bool needRouter)
{
    device = routers_.device(number);
    if (device == nullptr) {
        warn(command + ": the installation has no device " + std::to_string(number));
        return false;
    }
    if (needRouter && !device->isRouter()) {
        warn(command + ": device " + std::to_string(number) + " (" + device->name() + ") is not a router");
        return false;
    }
    // A real router whose link is down keeps what the panel asks of it
    // (registrations, polls answered once it is back, names from the
    // host's database); only a route cannot wait. A fault loses everything.
    bool waits = !device->offlineByFault() && command != "RC";
    if (!device->online() && !waits) {
        note("device " + std::to_string(number) + " is offline: " + command +
             (command == "RN" ? " goes unanswered" : " is ignored"));
        return false;
    }
    return true;
}

const char* simulated_host::handle(const std::string& line)
{
    host_command command = parseHostCommand(line);
    if (!command.ok()) {
        problems_.push_back("malformed command " + quoteText(line) + ": " + command.error);
        warn("malformed command: " + command.error);
        return nullptr;
    }
    using handler = const char* (simulated_host::*)(const host_command&, const std::string&);
    static const std::pair<const char*, handler> handlers[] = {
        {"PS", &simulated_host::showPanel},     {"HN", &simulated_host::addNotice},
        {"TP", &simulated_host::setProperty},   {"TG", &simulated_host::readProperty},
        {"CE", &simulated_host::enableControl}, {"CD", &simulated_host::enableControl},
        {"XI", &simulated_host::listControls},  {"ET", &simulated_host::setTimer},
        {"AS", &simulated_host::closing},       {"RC", &simulated_host::route},
        {"RN", &simulated_host::readName},      {"RP", &simulated_host::pollRange},
        {"RR", &simulated_host::registerRange}, {"RU", &simulated_host::unregister},
    };
    for (const auto& [word, run] : handlers)
        if (command.word == word)
            return (this->*run)(command, line);
    return nullptr;
}

const char* simulated_host::showPanel(const host_command& command, const std::string&)
{
    const auto& args = command.args;
    std::string path = resolveLayoutPath(args[1], layoutDir_);
    panel_layout layout;
    std::string error;
    if (!loadLayout(path, layout, error)) {
        // The host answers null, as a real one would; but a run whose
        // panel was never shown tests nothing, so it fails.
        problems_.push_back("PS: cannot show panel '" + args[0] + "': " + error + " (see --layouts and --data)");
        return nullptr;
    }
    note("panel '" + args[0] + "' shows " + (layout.name.empty() ? path : layout.name) + " (" +
         std::to_string(layout.controls.size()) + " controls)");
    panels_.show(args[0], std::move(layout));
    return answers_.show(args[0]);
}

const char* simulated_host::addNotice(const host_command& command, const std::string&)
{
    notices_.push_back(command.args[0]);
    if (notices_.size() > keptNotices)
        notices_.pop_front();
    return nullptr;
}

const char* simulated_host::setProperty(const host_command& command, const std::string&)
{
    const auto& args = command.args;
    std::size_t equals = args[0].find('=');
    if (equals == std::string::npos) {
        warn("TP: '" + args[0] + "' is not property=value; nothing set");
        return nullptr;
    }
    std::string problem;
    if (!panels_.setProperty(args[1], args[2], args[0].substr(0, equals), args[0].substr(equals + 1), problem))
        warn("TP: " + problem);
    return nullptr;
}

const char* simulated_host::readProperty(const host_command& command, const std::string& line)
{
    const auto& args = command.args;
    std::string answer;
    std::string problem;
    if (!panels_.read(args[0], args[1], args[2], answer, problem)) {
        warn("TG: " + problem);
        return nullptr;
    }
    return answers_.handOut(answer, line);
}

// "CE" and "CD".
const char* simulated_host::enableControl(const host_command& command, const std::string&)
{
    std::string problem;
    if (!panels_.setEnabled(command.args[0], command.args[1], command.word == "CE", problem))
        warn(command.word + ": " + problem);
    return nullptr;
}

const char* simulated_host::listControls(const host_command& command, const std::string& line)
{
    std::vector<std::string> ids;
    std::string problem;
    if (!panels_.list(command.args[0], command.args[1], ids, problem)) {
        warn("XI: " + problem);
        return nullptr;
    }
    if (ids.empty())
        return nullptr;
    std::string joined;
    for (const auto& id : ids)
        joined += (joined.empty() ? "" : ",") + id;
    return answers_.handOut(joined, line);
}

const char* simulated_host::setTimer(const host_command& command, const std::string&)
{
    const auto& args = command.args;
    int values[2] = {0, 0};
    if (!numbers(command.word, args, args.size(), values))
        return nullptr;
    if (args.size() == 2 && values[1] > 0) {
        clock_.startTimer(values[0], values[1], clockOwner_);
    } else if (!clock_.stopTimer(values[0], clockOwner_)) {
        note("timer " + std::to_string(values[0]) + " was not running");
    }
    return nullptr;
}

// "AS", the closing notice: nothing for the host to do.
const char* simulated_host::closing(const host_command&, const std::string&) { return nullptr; }

// Router commands: device first.

const char* simulated_host::route(const host_command& command, const std::string&)
{
    const auto& args = command.args;
    int values[3];
    int flag = 0;
    if (!numbers(command.word, args, 3, values))
        return nullptr;
    if (!readInt32(args[4], flag) || (flag != 0 && flag != 1)) {
        problems_.push_back("RC: the flag \"" + args[4] + "\" is neither 0 nor 1");
        warn("RC: the flag \"" + args[4] + "\" is neither 0 nor 1; command ignored");
        return nullptr;
    }
    if (args[3].empty() || args[3][0] != ',')
        warn("RC: the extra text '" + args[3] + "' does not start with a comma");
    device_model* device = nullptr;
    if (!deviceFor(command.word, values[0], device, true))
        return nullptr;
    std::string refusal = linkFor(*device).connect(values[1], values[2]);
    if (!refusal.empty())
        warn("RC: router " + std::to_string(values[0]) + " refuses source " + std::to_string(values[1]) +
             " to destination " + std::to_string(values[2]) + ": " + refusal);
    return nullptr;
}

const char* simulated_host::readName(const host_command& command, const std::string& line)
{
    int values[3];
    if (!numbers(command.word, command.args, 3, values))
        return nullptr;
    device_model* device = nullptr;
    if (!deviceFor(command.word, values[0], device, false))
        return nullptr;
    auto name = device->name(values[1], values[2]);
    if (!name)
        return nullptr;
    return answers_.handOut(*name, line);
}

device_model* simulated_host::rangeCommand(const host_command& command, int* values, bool& add)
{
    const auto& args = command.args;
    if (!numbers(command.word, args, 3, values))
        return nullptr;
    add = false;
    if (args.size() == 4) {
        if (args[3] == "ADD")
            add = true;
        else
            warn("RR: '" + args[3] + "' is not 'ADD'; read as a plain registration");
    }
    device_model* device = nullptr;
    if (!deviceFor(command.word, values[0], device, true))
        return nullptr;
    if (values[1] > values[2])
        warn(command.word + ": empty range " + std::to_string(values[1]) + " to " + std::to_string(values[2]));
    return device;
}

const char* simulated_host::pollRange(const host_command& command, const std::string&)
{
    int values[3];
    bool add = false;
    if (device_model* device = rangeCommand(command, values, add))
        linkFor(*device).poll(values[1], values[2], *this);
    return nullptr;
}

const char* simulated_host::registerRange(const host_command& command, const std::string&)
{
    int values[3];
    bool add = false;
    device_model* device = rangeCommand(command, values, add);
    if (device == nullptr)
        return nullptr;
    auto& ranges = registrations_[device->number()];
    if (!add)
        ranges.clear();
    ranges.emplace_back(values[1], values[2]);
    if (values[2] > device->destinations())
        note("router " + std::to_string(values[0]) + " has only " + std::to_string(device->destinations()) +
             " destinations");
    return nullptr;
}

const char* simulated_host::unregister(const host_command& command, const std::string&)
{
    int number = 0;
    if (!numbers(command.word, command.args, 1, &number))
        return nullptr;
    device_model* device = nullptr;
    if (!deviceFor(command.word, number, device, true))
        return nullptr;
    registrations_.erase(device->number());
    return nullptr;
}

void simulated_host::note(const std::string& text)
{
    if (remarks_ != nullptr)
        remarks_->push_back({false, text});
    else
        out_.note(text);
}

void simulated_host::warn(const std::string& text)
{
    if (remarks_ != nullptr)
        remarks_->push_back({true, text});
    else
        out_.warning(text);
}

void simulated_host::giveBack(const char* text)
{
    answer_ledger::given_back back = answers_.giveBack(text);
    std::string problem;
    switch (back.kind) {
    case give_back::null:
        out_.detail("null answer given back");
        return;
    case give_back::first:
        out_.detail("answer to " + quoteText(back.command) + " given back");
        return;
    case give_back::again:
        problem = "the answer to " + quoteText(back.command) + " was given back twice";
        break;
    case give_back::shown:
        problem = "the answer to PS was given back, though it is never to be";
        break;
    case give_back::foreign:
        problem = "a text the host never handed out was given back";
        break;
    }
    problems_.push_back(problem);
    out_.warning(problem);
}

void simulated_host::reportChange(device_model& device, int destination)
{
    if (routeListener_)
        routeListener_(device, destination);
    else
        deliverChange(device, destination);
}

void simulated_host::deliverChange(device_model& device, int destination)
{
    if (!device.online() || !isRegistered(device.number(), destination))
        return;
    queueRevertive(device, destination, *device.crosspoint(destination));
    if (remarks_ == nullptr)
        reportFaults();
}

void simulated_host::reportPolled(device_model& device, int destination)
{
    if (auto source = device.crosspoint(destination))
        queueRevertive(device, destination, *source);
    if (remarks_ == nullptr)
        reportFaults();
}

void simulated_host::reportName(device_model& device, int database, int index)
{
    if (!nameListener_)
        return;
    // Read when delivered: a name that changes a thousand times before then
    // reaches the panel once, as it is by then.
    clock_.scheduleActionOnce(device.number(), database, index, 0,
                              [this, &device, database, index] { nameListener_(device, database, index); });
}

void simulated_host::reportAt(level how, const std::string& line)
{
    if (how == level::warning)
        warn(line);
    else if (how == level::note)
        note(line);
    else
        out_.detail(line);
}

void simulated_host::reportLink(const device_model& device, const std::string& text, level how)
{
    reportAt(how, "router " + std::to_string(device.number()) + ": " + text);
}

void simulated_host::reportLeftOut(const device_model& device, std::uint64_t count, level how)
{
    reportAt(how, "… " + std::to_string(count) + " more " + (how == level::detail ? "details" : "notes") +
                      " from router " + std::to_string(device.number()) + " in the last second");
}

void simulated_host::setLink(int device, std::unique_ptr<router_link> link) { (*realLinks_)[device] = std::move(link); }

router_link& simulated_host::linkFor(device_model& device)
{
    auto real = realLinks_->find(device.number());
    if (real != realLinks_->end())
        return *real->second;
    auto& link = simulatedLinks_[device.number()];
    if (!link)
        link = std::make_unique<simulated_router>(device, *this);
    return *link;
}

void simulated_host::queueRevertive(const device_model& router, int destination, int source)
{
    int device = router.number();
    auto roll = [this] { return static_cast<int>((*random_)() % 100u); };
    if (faults_->dropPercent > 0 && roll() < faults_->dropPercent) {
        out_.detail("fault: revertive " + std::to_string(device) + "/" + std::to_string(destination) + " lost");
        ++lost_;
        return;
    }
    // A real router reports as often as it likes: its revertives still on
    // their way take the latest source instead of queueing up.
    if (realLinks_->count(device) != 0)
        clock_.scheduleLatestRevertive(faults_->delay, device, destination, source, clockOwner_);
    else
        clock_.scheduleRevertive(faults_->delay, device, destination, source, clockOwner_);
    if (faults_->duplicatePercent > 0 && roll() < faults_->duplicatePercent) {
        out_.detail("fault: revertive " + std::to_string(device) + "/" + std::to_string(destination) + " duplicated");
        ++duplicated_;
        clock_.scheduleRevertive(faults_->delay, device, destination, source, clockOwner_);
    }
}

void simulated_host::reportFaults()
{
    if (lost_ > 0)
        note("fault: " + std::to_string(lost_) + (lost_ == 1 ? " revertive" : " revertives") + " lost");
    if (duplicated_ > 0)
        note("fault: " + std::to_string(duplicated_) + (duplicated_ == 1 ? " revertive" : " revertives") +
             " will arrive twice");
    lost_ = 0;
    duplicated_ = 0;
}

std::vector<std::string> simulated_host::takeUnreturnedAnswers() { return answers_.takeUnreturned(); }

std::vector<std::string> simulated_host::takeProblems()
{
    std::vector<std::string> taken;
    taken.swap(problems_);
    return taken;
}
