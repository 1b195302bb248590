#include "soak_run.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "facility/router_model.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "temp_installation.h"
#include "text/transcript.h"

namespace {

// ---- The installation ----------------------------------------------------------
// Package levels 1..3 on routers 31 (32 sources, 48 destinations), 32 (64
// sources, 240 destinations: beyond the panel's tally) and 33 (16 x 16);
// packages on device 20. Package texts reach edges on purpose: "-" fields,
// missing fields, an empty text, a source beyond the router, destination 0,
// 200, 201 and 210.

const char* const sourcePackages[] = {"1,1,1", "2,-,2", "3,3,-", "-,4,4",    "5,5,5", "40,6,6",
                                      "7,7,7", "8,-,-", "9,9,9", "10,10,10", "11,11", ""};
const char* const destPackages[] = {"1,1,1",   "2,2,2", "3,210,3", "4,-,4",   "5,5,5",    "48,200,16",
                                    "7,201,7", "-,8,-", "9,9,9",   "0,10,10", "11,11,11", "12,12,12"};
constexpr int packageCount = 12;

struct router_shape {
    int device, sources, destinations;
};
const router_shape routerShapes[] = {{31, 32, 48}, {32, 64, 240}, {33, 16, 16}};

// Matrix objects: driver_ids position 1 is the package names device,
// position n+1 the router of package level n.
struct matrix_object {
    const char* id;
    const char* levels;
    const char* types;
    const char* ids;
};
const matrix_object matrixObjects[] = {
    {"MTX", "3", "t0,Packages,Video,Audio 1,Audio 2", "7,20,31,32,33"},
    {"MTX_SHARED", "3", "t0,Packages,Video,Video again,Audio 2", "7,20,31,31,33"},
    {"MTX_AV", "2", "t0,Packages,Video,Audio 1", "7,20,31,32"},
};
const char* const useLevelChoices[] = {"1,2,3", "1,2,3", "1,2,3", "3,2,1", "1,3", "2", "1,1,2", "0,2,3", "1,2,3,4"};

void writeInstallation(const temp_installation& install)
{
    std::string xml = "<object_settings>";
    for (const auto& object : matrixObjects) {
        xml += std::string("<object id=\"") + object.id + "\">";
        xml += std::string("<setting id=\"package_levels\" value=\"") + object.levels + "\"/>";
        xml += std::string("<setting id=\"driver_type\" value=\"") + object.types + "\"/>";
        xml += std::string("<setting id=\"driver_ids\" value=\"") + object.ids + "\"/>";
        xml += "</object>";
    }
    install.writeConfig("object_settings.xml", xml + "</object_settings>");

    std::string packages =
        "[Device]\nName=Package names\nType=Names\n[Database]\nDatabaseSize_0=12\nDatabaseSize_1=12\n";
    packages += "[Names_0]\n";
    for (int package = 1; package <= packageCount; ++package)
        packages += std::to_string(package) + "=" + sourcePackages[package - 1] + "\n";
    packages += "[Names_1]\n";
    for (int package = 1; package <= packageCount; ++package)
        packages += std::to_string(package) + "=" + destPackages[package - 1] + "\n";
    install.writeDeviceIni(20, packages);

    for (const auto& shape : routerShapes) {
        std::string ini = "[Device]\nName=Router " + std::to_string(shape.device) + "\nType=Router\n";
        ini += "[Database]\nDatabaseSize_0=" + std::to_string(shape.sources) +
               "\nDatabaseSize_1=" + std::to_string(shape.destinations) + "\n[Names_0]\n";
        for (int source = 1; source <= shape.sources; ++source)
            ini += std::to_string(source) + "=SRC|" + std::to_string(source) + "\n";
        ini += "[Names_1]\n";
        for (int destination = 1; destination <= shape.destinations; ++destination)
            ini += std::to_string(destination) + "=DST " + std::to_string(destination) + "\n";
        install.writeDeviceIni(shape.device, ini);
    }
}

// The routers of the panel's levels under a configuration, as the panel
// works them out (0: no router).
std::vector<int> levelRouters(const std::string& object, const std::string& useLevels)
{
    const matrix_object* found = nullptr;
    for (const auto& candidate : matrixObjects)
        if (object == candidate.id)
            found = &candidate;
    std::vector<std::string> levels;
    std::string field;
    for (char c : useLevels + ",") {
        if (c == ',') {
            levels.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (useLevels.empty())
        levels.clear();
    std::vector<int> ids;
    if (found != nullptr) {
        field.clear();
        for (char c : std::string(found->ids) + ",") {
            if (c == ',') {
                ids.push_back(std::stoi(field));
                field.clear();
            } else {
                field += c;
            }
        }
    }
    std::vector<int> routers(3, 0);
    if (found == nullptr || levels.size() > 3)
        return routers;
    for (std::size_t entry = 0; entry < levels.size(); ++entry) {
        const int level = levels[entry].empty() ? 0 : std::stoi(levels[entry]);
        const std::size_t position = static_cast<std::size_t>(level) + 1;
        if (level >= 1 && position < ids.size())
            routers[entry] = ids[position];
    }
    return routers;
}

// ---- The run -----------------------------------------------------------------

class soak {
public:
    soak(const soak_settings& settings, soak_result& result)
        : settings_(settings), result_(result), random_(settings.seed), nowhere_(nullptr), out_(nowhere_, quietStyle())
    {
    }

    void run()
    {
        writeInstallation(install_);
        std::string error;
        if (!routers_.load(install_.systemDir(), error))
            return failWith("cannot read the generated installation: " + error);
        runner_settings runnerSettings;
        runnerSettings.modulePath = settings_.modulePath;
        runnerSettings.layoutDir = settings_.layoutDir;
        runnerSettings.loadData = settings_.loadData;
        runner_ = std::make_unique<scenario_runner>(runnerSettings, routers_, out_);
        if (!runner_->openModule(error))
            return failWith("cannot load the module: " + error);

        const auto started = std::chrono::steady_clock::now();
        // The facility's drops and duplicates follow the same seed (the
        // scenario language takes it as a non-negative 32-bit number).
        step("fault seed " + std::to_string(settings_.seed & 0x7fffffffU));
        create();
        while (result_.passed && result_.stepsRun < settings_.steps)
            randomStep();
        if (result_.passed)
            destroy();
        result_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!settings_.keepInstallation.empty()) {
            std::error_code failure;
            std::filesystem::remove_all(settings_.keepInstallation, failure);
            std::filesystem::copy(install_.root(), settings_.keepInstallation, std::filesystem::copy_options::recursive,
                                  failure);
            if (failure)
                failWith("cannot copy the installation to " + settings_.keepInstallation + ": " + failure.message());
        }
    }

private:
    static transcript_style quietStyle()
    {
        transcript_style style;
        style.verbosity = 0;
        style.color = false;
        style.unicode = false;
        return style;
    }

    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(random_() % bound); }
    int between(int low, int high) { return low + static_cast<int>(below(static_cast<std::uint32_t>(high - low + 1))); }

    void failWith(const std::string& text)
    {
        if (!result_.passed)
            return;
        result_.passed = false;
        result_.failure = "step " + std::to_string(result_.stepsRun) + ": " + text;
        const std::size_t from = result_.scenario.size() > 25 ? result_.scenario.size() - 25 : 0;
        result_.recentLines.assign(result_.scenario.begin() + static_cast<std::ptrdiff_t>(from),
                                   result_.scenario.end());
    }

    bool takeEnabled() const
    {
        const panel_control* take = runner_->panels().find("1", "Take");
        return runner_->componentExists() && take != nullptr && take->enabled;
    }

    bool enabled(const char* control) const
    {
        const panel_control* found = runner_->panels().find("1", control);
        return found != nullptr && found->enabled;
    }

    bool faultsClean()
    {
        const facility_faults& faults = runner_->host().faults();
        if (faults.dropPercent != 0 || faults.delay != 0)
            return false;
        for (const auto& entry : routers_.devices())
            if (!entry.second.online())
                return false;
        return true;
    }

    // Runs one scenario line and checks what must hold after any step.
    void step(const std::string& line)
    {
        if (!result_.passed)
            return;
        result_.scenario.push_back(line);
        std::vector<scenario_step> steps;
        std::vector<scenario_error> errors;
        parser_.feed(line, steps, errors);
        if (!errors.empty())
            return failWith("the soak wrote a line the simulator cannot read: " + line + ": " + errors.front().message);
        const std::size_t failuresBefore = out_.failures().size();
        const bool takeBefore = takeEnabled();
        for (const scenario_step& parsed : steps)
            runner_->run(parsed);
        ++result_.stepsRun;
        for (const std::string& sent : runner_->host().sent()) {
            track(sent);
            for (char c : sent)
                result_.digest = (result_.digest ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
            result_.digest = (result_.digest ^ '\n') * 1099511628211ULL;
            ++result_.hostEvents;
        }
        if (out_.failures().size() > failuresBefore)
            return failWith("the simulator reports: " + out_.failures()[failuresBefore]);
        checkTake(line, takeBefore);
    }

    // What the component holds at the host, from its own commands: "RR d ..."
    // registers router d, "RU d" lets go of all of it; "ET id interval"
    // starts a timer, "ET id" stops it. (The simulator's own model would not
    // do: an offline router ignores commands, so it keeps what was released.)
    void track(const std::string& line)
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

    // "Take" is enabled only between an arming and whatever ends it.
    void checkTake(const std::string& line, bool before)
    {
        const bool now = takeEnabled();
        const bool selection = line.rfind("set srcpkg ", 0) == 0 || line.rfind("set destpkg ", 0) == 0;
        if (now && !before && !selection)
            return failWith("\"Take\" became enabled without a package selection");
        if (now && !before)
            ++result_.armings;
        if (now && selection) {
            armedAt_ = runner_->clock().now();  // an arming or a re-arming restarts the count
            // Now and then the operator leaves an armed Take alone, past its
            // time-out.
            if (below(4) == 0)
                idleFor_ = between(90, 120) * 100;
        }
        if (now && !runner_->clock().timerRunning(1))
            return failWith("\"Take\" is enabled but its flash timer does not run");
        if (now && runner_->clock().now() - armedAt_ >= 10000)
            return failWith("\"Take\" is still enabled ten ticks after its arming");
        // A reconfiguration is not among them: a reset leaves "Take" as it
        // was, to time out.
        const bool ends = line.rfind("press Take", 0) == 0 || line.rfind("press Clear", 0) == 0 ||
                          line == "set srcpkg -1" || line == "set destpkg -1";
        const bool pressRefused = (line == "press Take" && !before) || (line == "press Clear" && !enabledBeforeClear_);
        if (now && ends && !pressRefused)
            return failWith("\"Take\" is still enabled after \"" + line + "\"");
    }

    // ---- The actions ------------------------------------------------------------

    void configure()
    {
        object_ = matrixObjects[below(8) == 0 ? 1 + below(2) : 0].id;
        useLevels_ = below(4) == 0 ? useLevelChoices[below(sizeof useLevelChoices / sizeof *useLevelChoices)] : "1,2,3";
        step("set uselevels " + useLevels_);
        step("set matrixobject " + object_);
        routers_of_levels_ = levelRouters(object_, useLevels_);
        // The configuration polled every level router: with a clean facility
        // every tally is current from here on.
        talliesCurrent_ = faultsClean();
        restore_.valid = false;
    }

    void create()
    {
        step("create");
        step("set takelow take_low");
        step("set takehigh take_high");
        step("set unusedleveltext ---");
        configure();
    }

    // Destroys the component and checks that it let go of everything.
    void destroy()
    {
        const int warningsBefore = out_.warnings();
        step("destroy");
        if (!result_.passed)
            return;
        const std::vector<std::string>& sent = runner_->host().sent();
        if (sent.empty() || sent.back() != "AS")
            return failWith("\"AS\" is not the last command of the destruction");
        for (const std::string& device : registeredByPanel_)
            return failWith("router " + device + " is still registered after the destruction");
        for (const std::string& timer : timersByPanel_)
            return failWith("timer " + timer + " still runs after the destruction");
        if (out_.warnings() > warningsBefore)
            return failWith("the simulator warned on destruction (a timer left running)");
        talliesCurrent_ = false;
        restore_.valid = false;
    }

    void snapshotForTake()
    {
        restore_.valid = talliesCurrent_ && faultsClean();
        std::set<int> distinct;
        int routed = 0;
        for (int device : routers_of_levels_) {
            if (device > 0) {
                distinct.insert(device);
                ++routed;
            }
        }
        if (static_cast<int>(distinct.size()) != routed)
            restore_.valid = false;  // a router shared between levels
        restore_.crosspoints.clear();
        for (const auto& shape : routerShapes) {
            const device_model* device = routers_.device(shape.device);
            for (int destination = 1; destination <= std::min(200, shape.destinations); ++destination)
                restore_.crosspoints[{shape.device, destination}] = device->crosspoint(destination).value_or(-1);
        }
    }

    void checkRestored()
    {
        ++result_.takesChecked;
        for (const auto& entry : restore_.crosspoints) {
            const int now = routers_.device(entry.first.first)->crosspoint(entry.first.second).value_or(-1);
            if (now != entry.second)
                return failWith("after Take and Undo, router " + std::to_string(entry.first.first) + " destination " +
                                std::to_string(entry.first.second) + " carries " + std::to_string(now) +
                                " instead of " + std::to_string(entry.second));
        }
    }

    void facilityChanged()
    {
        if (!faultsClean())
            talliesCurrent_ = false;
    }

    void randomStep()
    {
        // An operator often undoes a Take straight away (perhaps after a
        // moment), which is when the restoration can be compared.
        std::uint32_t pick = below(1000);
        if (idleFor_ > 0) {
            const int wait = std::min(idleFor_, between(3, 15) * 100);
            idleFor_ -= wait;
            step("wait " + std::to_string(wait) + "ms");
            return;
        }
        if (undoSoon_) {
            undoSoon_ = false;
            if (below(4) == 0)
                step("wait " + std::to_string(between(1, 9) * 100) + "ms");
            pick = 330;
        }
        if (pick < 120) {
            step("set srcpkg " + std::to_string(between(-1, packageCount + 2)));
        } else if (pick < 240) {
            step("set destpkg " + std::to_string(between(-1, packageCount + 2)));
        } else if (pick < 330) {
            const bool force = below(20) == 0;
            const bool performed = takeEnabled() || force;
            if (performed)
                snapshotForTake();
            step(force ? "press Take force" : "press Take");
            if (performed) {
                facilityChanged();
                undoSoon_ = below(2) == 0;
            }
        } else if (pick < 390) {
            const bool performed = enabled("Undo");
            step("press Undo");
            if (performed && restore_.valid)
                checkRestored();
            if (performed)
                facilityChanged();
            restore_.valid = false;
        } else if (pick < 420) {
            enabledBeforeClear_ = enabled("Clear");
            step("press Clear");
            restore_.valid = false;
        } else if (pick < 450) {
            const int level = between(1, 3);
            step((below(2) == 0 ? "press ID_L" : "press Enable_L") + std::to_string(level));
            restore_.valid = false;  // a level toggled between Take and Undo
        } else if (pick < 600) {
            step("wait " + std::to_string(between(1, 25) * 100) + "ms");
        } else if (pick < 720) {
            const router_shape& shape = routerShapes[below(3)];
            step("route " + std::to_string(shape.device) + " " + std::to_string(between(0, shape.sources)) + " " +
                 std::to_string(between(1, shape.destinations)));
            facilityChanged();
            restore_.valid = false;  // an outside route between Take and Undo
        } else if (pick < 750) {
            const router_shape& shape = routerShapes[below(3)];
            const int database = static_cast<int>(below(2));
            step("rename " + std::to_string(shape.device) + " " + std::to_string(database) + " " +
                 std::to_string(between(1, database == 0 ? shape.sources : shape.destinations)) + " \"NEW|" +
                 std::to_string(below(1000)) + "\"");
        } else if (pick < 790) {
            faultStep();
        } else if (pick < 815) {
            configure();
        } else if (pick < 845) {
            static const char* const settings[] = {"takelow low2",     "takehigh high2",     "mimicstate_L1 m1",
                                                   "mimicstate_L3 m3", "takeundobgstate bg", "unusedleveltext n/a",
                                                   "instance 7",       "srcnamesdatabase 0", "destnamesdatabase 1"};
            step(std::string("set ") + settings[below(sizeof settings / sizeof *settings)]);
        } else if (pick < 865) {
            static const char* const queries[] = {"get all", "get srcpkg", "get destpkg", "param _events",
                                                  "param _commands"};
            step(queries[below(sizeof queries / sizeof *queries)]);
        } else if (pick < 868) {
            destroy();
            create();
        } else {
            step("wait " + std::to_string(between(1, 40) * 50) + "ms");
        }
    }

    void faultStep()
    {
        restore_.valid = false;
        const std::uint32_t pick = below(10);
        const int device = routerShapes[below(3)].device;
        if (pick < 4) {
            step("fault clear");
        } else if (pick < 5) {
            step("fault drop " + std::to_string(between(1, 50)));
        } else if (pick < 6) {
            step("fault delay " + std::to_string(between(1, 20) * 100) + "ms");
        } else if (pick < 7) {
            step("fault duplicate " + std::to_string(between(1, 50)));
        } else if (pick < 8) {
            step("fault offline " + std::to_string(device));
        } else {
            step("fault online " + std::to_string(device));
        }
    }

    struct take_snapshot {
        bool valid = false;
        std::map<std::pair<int, int>, int> crosspoints;
    };

    const soak_settings& settings_;
    soak_result& result_;
    std::mt19937 random_;
    std::ostream nowhere_;
    transcript out_;
    temp_installation install_;
    router_model routers_;
    std::unique_ptr<scenario_runner> runner_;
    scenario_parser parser_{"soak"};
    std::string object_;
    std::string useLevels_;
    std::vector<int> routers_of_levels_ = std::vector<int>(3, 0);
    bool talliesCurrent_ = false;
    std::set<std::string> registeredByPanel_;
    std::set<std::string> timersByPanel_;
    bool enabledBeforeClear_ = true;
    bool undoSoon_ = false;
    int idleFor_ = 0;  // milliseconds the operator still leaves the panel alone
    std::int64_t armedAt_ = 0;
    take_snapshot restore_;
};

}  // namespace

soak_result runSoak(const soak_settings& settings)
{
    soak_result result;
    soak run(settings, result);
    run.run();
    return result;
}
