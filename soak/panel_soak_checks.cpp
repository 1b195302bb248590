#include "panel_soak_checks.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "panel_soak_installation.h"

panel_soak_checks::panel_soak_checks(soak_loop& loop, router_model& routers, soak_result& result)
    : loop_(loop), routers_(routers), result_(result)
{
    loop_.onSent([this](const std::string& line) { track(line); });
}

bool panel_soak_checks::takeEnabled()
{
    const panel_control* take = loop_.runner().panels().find("1", "Take");
    return loop_.runner().componentExists() && take != nullptr && take->enabled;
}

bool panel_soak_checks::enabled(const char* control)
{
    const panel_control* found = loop_.runner().panels().find("1", control);
    return found != nullptr && found->enabled;
}

bool panel_soak_checks::faultsClean()
{
    const facility_faults& faults = loop_.runner().host().faults();
    if (faults.dropPercent != 0 || faults.delay != 0)
        return false;
    for (const auto& entry : routers_.devices())
        if (!entry.second.online())
            return false;
    return true;
}

// What the component holds at the host, from its own commands: "RR d ..."
// registers router d, "RU d" lets go of all of it; "ET id interval"
// starts a timer, "ET id" stops it. (The simulator's own model would not
// do: an offline router ignores commands, so it keeps what was released.)
void panel_soak_checks::track(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line + " ") {
        if (c == ' ') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (words.size() >= 2 && words[0] == "RR")
        registeredByPanel_.insert(words[1]);
    else if (words.size() == 2 && words[0] == "RU")
        registeredByPanel_.erase(words[1]);
    else if (words.size() == 3 && words[0] == "ET" && words[2] != "0")
        timersByPanel_.insert(words[1]);
    else if (words.size() >= 2 && words[0] == "ET")
        timersByPanel_.erase(words[1]);
}

bool panel_soak_checks::afterLine(const std::string& line, bool before)
{
    scenario_runner& runner = loop_.runner();
    const bool now = takeEnabled();
    const bool selection = line.rfind("set srcpkg ", 0) == 0 || line.rfind("set destpkg ", 0) == 0;
    if (now && !before && !selection) {
        loop_.fail("\"Take\" became enabled without a package selection");
        return false;
    }
    if (now && !before)
        ++result_.armings;
    if (now && selection)
        armedAt_ = runner.clock().now();  // an arming or a re-arming restarts the count
    if (now && !runner.clock().timerRunning(1))
        loop_.fail("\"Take\" is enabled but its flash timer does not run");
    else if (now && runner.clock().now() - armedAt_ >= 10000)
        loop_.fail("\"Take\" is still enabled ten ticks after its arming");
    // A reconfiguration is not among them: a reset leaves "Take" as it
    // was, to time out.
    const bool ends = line.rfind("press Take", 0) == 0 || line.rfind("press Clear", 0) == 0 ||
                      line == "set srcpkg -1" || line == "set destpkg -1";
    const bool pressRefused = (line == "press Take" && !before) || (line == "press Clear" && !enabledBeforeClear_);
    if (now && ends && !pressRefused)
        loop_.fail("\"Take\" is still enabled after \"" + line + "\"");
    return now && selection;
}

void panel_soak_checks::afterDestroy(int warningsBefore)
{
    const std::vector<std::string>& sent = loop_.runner().host().sent();
    if (sent.empty() || sent.back() != "AS")
        return loop_.fail("\"AS\" is not the last command of the destruction");
    for (const std::string& device : registeredByPanel_)
        return loop_.fail("router " + device + " is still registered after the destruction");
    for (const std::string& timer : timersByPanel_)
        return loop_.fail("timer " + timer + " still runs after the destruction");
    if (loop_.out().warnings() > warningsBefore)
        return loop_.fail("the simulator warned on destruction (a timer left running)");
    talliesCurrent_ = false;
    restore_.valid = false;
}

void panel_soak_checks::configured(const std::vector<int>& routersOfLevels)
{
    routersOfLevels_ = routersOfLevels;
    // The configuration polled every level router: with a clean facility
    // every tally is current from here on.
    talliesCurrent_ = faultsClean();
    restore_.valid = false;
}

void panel_soak_checks::beforeTake()
{
    restore_.valid = talliesCurrent_ && faultsClean();
    std::set<int> distinct;
    int routed = 0;
    for (int device : routersOfLevels_) {
        if (device > 0) {
            distinct.insert(device);
            ++routed;
        }
    }
    if (static_cast<int>(distinct.size()) != routed)
        restore_.valid = false;  // a router shared between levels
    restore_.crosspoints.clear();
    for (const auto& shape : soakRouterShapes) {
        const device_model* device = routers_.device(shape.device);
        for (int destination = 1; destination <= std::min(200, shape.destinations); ++destination)
            restore_.crosspoints[{shape.device, destination}] = device->crosspoint(destination).value_or(-1);
    }
}

void panel_soak_checks::afterUndo()
{
    if (!restore_.valid)
        return;
    ++result_.takesChecked;
    for (const auto& entry : restore_.crosspoints) {
        const int now = routers_.device(entry.first.first)->crosspoint(entry.first.second).value_or(-1);
        if (now != entry.second)
            return loop_.fail("after Take and Undo, router " + std::to_string(entry.first.first) + " destination " +
                              std::to_string(entry.first.second) + " carries " + std::to_string(now) + " instead of " +
                              std::to_string(entry.second));
    }
}

void panel_soak_checks::facilityChanged()
{
    if (!faultsClean())
        talliesCurrent_ = false;
}
