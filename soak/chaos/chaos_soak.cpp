#include "chaos_soak.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>

#include "chaos_facility.h"
#include "chaos_faults.h"
#include "routers/doubles/double_commands.h"

using namespace std::chrono_literals;
using wall = std::chrono::steady_clock;

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

namespace {

// A run in progress: the facility, the dice and the figures.
class chaos_run {
public:
    chaos_run(const chaos_settings& settings, chaos_facility& facility, chaos_result& result)
        : settings_(settings), facility_(facility), result_(result), dice_(settings.seed), start_(wall::now())
    {
    }
    double elapsed() const { return std::chrono::duration<double>(wall::now() - start_).count(); }
    // One round: faults and actions, a quiet period, the checks. False when
    // a check failed (the result says which).
    bool round();
    void sampleMemory(bool always);

private:
    void doStep(const chaos_step& step);
    void calm();
    bool settled();
    bool waitQuiet();
    std::string tableDifference(int device);
    bool checkTallies();
    bool checkUndoLabels();
    std::string carriedLabel(int device, int destination);
    bool fail(const std::string& what);

    const chaos_settings& settings_;
    chaos_facility& facility_;
    chaos_result& result_;
    chaos_dice dice_;
    wall::time_point start_;
    double nextSample_ = 0;
    std::vector<std::string> log_;  // this round's faults and actions
};

void chaos_run::sampleMemory(bool always)
{
    const double now = elapsed();
    if (!always && now < nextSample_)
        return;
    nextSample_ = now + settings_.reportEverySeconds;
    result_.rss.push_back({now, residentKiB()});
    if (settings_.progress != nullptr)
        *settings_.progress << "chaos_soak: " << static_cast<long>(now) << " s, round " << result_.rounds << ", "
                            << result_.steps << " steps, "
                            << result_.routerChecks + result_.tallyChecks + result_.labelChecks << " checks, RSS "
                            << result_.rss.back().kib << " KiB" << std::endl;
}

bool chaos_run::fail(const std::string& what)
{
    result_.passed = false;
    result_.failure = "round " + std::to_string(result_.rounds) + " (step " + std::to_string(result_.steps) +
                      "): " + what;
    std::string text = "the round's faults and actions:\n";
    for (const std::string& line : log_)
        text += "  " + line + '\n';
    result_.recentTranscript = text + "the transcript's last lines:\n" + facility_.reader().recent();
    return false;
}

void chaos_run::doStep(const chaos_step& step)
{
    ++result_.steps;
    std::string shown = step.line;
    for (char& c : shown)
        if (c == '\n')
            c = ';';
    if (step.action()) {
        ++result_.actions;
        log_.push_back(step.kind + ": " + shown);
        // An action may meet a panel that is not ready (a link down): the
        // panel decides; only the checks after the quiet period judge.
        facility_.run(step.line);
        return;
    }
    ++result_.faults[step.kind];
    log_.push_back("router " + std::to_string(step.device) + " " + step.kind + ": " + shown);
    std::istringstream lines(step.line);
    for (std::string line; std::getline(lines, line);) {
        const std::string refused = runDoubleCommand(facility_.router(step.device), line);
        if (!refused.empty())
            log_.push_back(std::string("  the double refused \"").append(line).append("\": ").append(refused));
    }
}

// The faults that last until undone end before the quiet period: the
// routers listen, answer and read again (what they changed stays).
void chaos_run::calm()
{
    for (int device : chaos_facility::devices()) {
        router_double& router = facility_.router(device);
        router.refuse(false);
        router.silence(false);
        router.readSlowly(0);
    }
}

std::string chaos_run::tableDifference(int device)
{
    const device_model& model = facility_.device(device);
    const double_state& truth = facility_.router(device).state();
    for (int output = 0; output < truth.outputs; ++output) {
        const int carried = truth.routes[static_cast<std::size_t>(output)] + 1;
        const auto seen = model.crosspoint(output + 1);
        if (!seen || *seen != carried)
            return "router " + std::to_string(device) + " carries source " + std::to_string(carried) +
                   " on destination " + std::to_string(output + 1) + ", the host says " +
                   (seen ? std::to_string(*seen) : std::string("nothing"));
    }
    return "";
}

bool chaos_run::settled()
{
    for (int device : chaos_facility::devices()) {
        network_link* link = facility_.link(device);
        if (link == nullptr || !link->connected() || !link->settled() || !tableDifference(device).empty())
            return false;
    }
    return true;
}

// Runs the loop until every link is up, has nothing left to do and the
// host's view of every router equals the router's table, and that has held
// for a while (a flood may still be on its way). Bounded: a router that
// stays apart from the host's view fails the first check.
bool chaos_run::waitQuiet()
{
    const auto limit = wall::now() + std::chrono::duration_cast<wall::duration>(
                                         std::chrono::duration<double>(settings_.quietLimitSeconds));
    std::optional<wall::time_point> since;
    while (wall::now() < limit) {
        facility_.loop().runFor(std::chrono::milliseconds(20));
        if (!settled()) {
            since.reset();
            continue;
        }
        if (!since)
            since = wall::now();
        else if (wall::now() - *since >= std::chrono::milliseconds(300))
            return true;
    }
    for (int device : chaos_facility::devices()) {
        network_link* link = facility_.link(device);
        std::string difference = tableDifference(device);
        if (!difference.empty())
            return fail("the host's view differs from the router after the quiet period: " + difference);
        if (link == nullptr || !link->connected() || !link->settled())
            return fail("router " + std::to_string(device) + "'s link did not settle in the quiet period");
    }
    return fail("the routers did not stay quiet for 0.3 s in the quiet period");
}

bool chaos_run::checkTallies()
{
    const auto& handed = facility_.reader().handed();
    for (const std::string& component : chaos_facility::componentNames()) {
        const auto found = handed.find(component);
        for (const auto& [device, ranges] : facility_.registrationsOf(component)) {
            const double_state& truth = facility_.router(device).state();
            for (const auto& [first, last] : ranges) {
                for (int destination = std::max(first, 1); destination <= last && destination <= truth.outputs;
                     ++destination) {
                    ++result_.tallyChecks;
                    const int carried = truth.routes[static_cast<std::size_t>(destination - 1)] + 1;
                    std::optional<int> told;
                    if (found != handed.end()) {
                        auto tally = found->second.find({device, destination});
                        if (tally != found->second.end())
                            told = tally->second;
                    }
                    if (told != carried)
                        return fail("component " + component + " holds source " +
                                    (told ? std::to_string(*told) : std::string("none")) + " for destination " +
                                    std::to_string(destination) + " of router " + std::to_string(device) +
                                    ", the router carries " + std::to_string(carried));
                }
            }
        }
    }
    return true;
}

// What the panel shows for the source the router carries on a destination:
// the router's own label, '|' shown as a space.
std::string chaos_run::carriedLabel(int device, int destination)
{
    const double_state& truth = facility_.router(device).state();
    const int input = truth.routes[static_cast<std::size_t>(destination - 1)];
    std::string label = input >= 0 && input < static_cast<int>(truth.inputLabels.size())
                            ? truth.inputLabels[static_cast<std::size_t>(input)]
                            : std::string();
    for (char& c : label)
        if (c == '|')
            c = ' ';
    return label;
}

// A Take by one component: its undo labels name what routers 31 and 32
// (the levels the panel registered) carried before it.
bool chaos_run::checkUndoLabels()
{
    static const char* const names[] = {"A", "B", "C"};
    const std::string who = std::string(names[dice_.below(3)]) + ": ";
    const int source = drawSourcePackage(dice_);
    const int destination = drawDestinationPackage(dice_);
    std::string lines = who + "set srcpkg " + std::to_string(source) + "\n" + who + "set destpkg " +
                        std::to_string(destination) + "\n" + who + "expect enabled Take\n" + who + "press Take\n";
    int level = 1;
    for (int device : {31, 32}) {
        const std::string label = carriedLabel(device, destination);
        if (!label.empty()) {
            lines.append(who).append("expect text Src_UL").append(std::to_string(level)).append(" \"");
            lines.append(label).append("\"\n");
            ++result_.labelChecks;
        }
        ++level;
    }
    log_.push_back("the check's Take: " + lines);
    if (!facility_.run(lines))
        return fail("after a Take of source package " + std::to_string(source) + " to destination package " +
                    std::to_string(destination) + " by component " + who.substr(0, 1) +
                    ", the undo labels do not name what the routers carried (see the transcript)");
    return true;
}

bool chaos_run::round()
{
    ++result_.rounds;
    log_.clear();
    const int steps = 1 + dice_.below(6);
    for (int step = 0; step < steps; ++step) {
        doStep(drawStep(dice_, result_.rounds));
        facility_.loop().runFor(std::chrono::milliseconds(dice_.below(80)));
    }
    if (settings_.afterFaults)
        settings_.afterFaults(facility_, result_.rounds);
    calm();
    if (!waitQuiet())
        return false;
    ++result_.routerChecks;
    // What the links handed over reaches the components on the clock.
    facility_.run("wait 100ms\n");
    if (!checkTallies() || !checkUndoLabels())
        return false;
    sampleMemory(false);
    return true;
}

}  // namespace

chaos_result runChaosSoak(const chaos_settings& settings)
{
    chaos_result result;
    result.rss.push_back({0, residentKiB()});
    chaos_facility facility({settings.modulePath, settings.layoutDir, settings.installation, settings.transcriptFile});
    std::string error;
    if (!facility.start(error)) {
        result.passed = false;
        result.failure = "round 0: cannot start: " + error;
        return result;
    }
    chaos_run run(settings, facility, result);
    run.sampleMemory(false);
    while (run.elapsed() < settings.seconds && (settings.maxRounds == 0 || result.rounds < settings.maxRounds))
        if (!run.round())
            break;
    result.seconds = run.elapsed();
    run.sampleMemory(true);
    return result;
}

std::string describe(const chaos_result& result, std::uint32_t seed)
{
    std::ostringstream text;
    text << "chaos_soak: " << (result.passed ? "passed" : "FAILED") << ", seed " << seed << ": " << result.rounds
         << " rounds, " << result.steps << " steps (" << result.steps - result.actions << " faults, " << result.actions
         << " operator actions) in " << static_cast<long>(result.seconds) << " s\n";
    text << "  faults by kind:";
    for (const auto& [kind, count] : result.faults)
        text << ' ' << kind << ' ' << count << ',';
    text << "\n  invariant checks: " << result.routerChecks << " rounds of 3 routers' whole tables, "
         << result.tallyChecks << " component tallies, " << result.labelChecks << " undo labels after a Take\n";
    text << "  RSS (KiB):";
    for (const rss_sample& sample : result.rss)
        text << ' ' << static_cast<long>(sample.seconds) << " s " << sample.kib << ',';
    text << '\n';
    if (!result.passed)
        text << "  failed at " << result.failure << "\n  reproduce: chaos_soak --seed " << seed << " --rounds "
             << result.rounds << '\n'
             << result.recentTranscript;
    return text.str();
}
