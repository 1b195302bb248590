// The generator of the panel soak: the operator's actions and the
// facility's events, drawn from the seed, as scenario lines. The checks it
// runs after them are in panel_soak_checks.cpp, the installation it
// generates in panel_soak_installation.cpp, the loop in soak_loop.cpp.
#include "soak_run.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "facility/router_model.h"
#include "panel_soak_checks.h"
#include "panel_soak_installation.h"
#include "soak_loop.h"
#include "soak_random.h"
#include "temp_installation.h"

namespace {

class panel_soak final : public soak_generator {
public:
    panel_soak(const soak_settings& settings, soak_result& result)
        : settings_(settings), random_(settings.seed), loop_(result), checks_(loop_, routers_, result)
    {
    }

    void run()
    {
        writeSoakInstallation(install_);
        std::string error;
        if (!routers_.load(install_.systemDir(), error))
            return loop_.fail("cannot read the generated installation: " + error);
        runner_settings runnerSettings;
        runnerSettings.modulePath = settings_.modulePath;
        runnerSettings.layoutDir = settings_.layoutDir;
        runnerSettings.loadData = settings_.loadData;
        if (!loop_.open(runnerSettings, routers_))
            return;
        loop_.run(settings_.steps, *this);
        if (!settings_.keepInstallation.empty()) {
            std::error_code failure;
            std::filesystem::remove_all(settings_.keepInstallation, failure);
            std::filesystem::copy(install_.root(), settings_.keepInstallation, std::filesystem::copy_options::recursive,
                                  failure);
            if (failure)
                loop_.fail("cannot copy the installation to " + settings_.keepInstallation + ": " + failure.message());
        }
    }

    void begin() override
    {
        // The facility's drops and duplicates follow the same seed (the
        // scenario language takes it as a non-negative 32-bit number).
        step("fault seed " + std::to_string(settings_.seed & 0x7fffffffU));
        create();
    }

    void end() override { destroy(); }

    void randomStep() override
    {
        // An operator often undoes a Take straight away (perhaps after a
        // moment), which is when the restoration can be compared.
        std::uint32_t pick = random_.below(1000);
        if (idleFor_ > 0) {
            const int wait = std::min(idleFor_, random_.between(3, 15) * 100);
            idleFor_ -= wait;
            step("wait " + std::to_string(wait) + "ms");
            return;
        }
        if (undoSoon_) {
            undoSoon_ = false;
            if (random_.below(4) == 0)
                step("wait " + std::to_string(random_.between(1, 9) * 100) + "ms");
            pick = 330;
        }
        if (pick < 450)
            panelStep(pick);
        else
            facilityStep(pick);
    }

private:
    // Runs one line and the checks that follow any line.
    void step(const std::string& line)
    {
        if (!loop_.passed())
            return;
        const bool takeBefore = checks_.takeEnabled();
        if (!loop_.step(line))
            return;
        // Now and then the operator leaves an armed Take alone, past its
        // time-out.
        if (checks_.afterLine(line, takeBefore) && random_.below(4) == 0)
            idleFor_ = random_.between(90, 120) * 100;
    }

    void configure()
    {
        object_ = soakMatrixObjects[random_.below(8) == 0 ? 1 + random_.below(2) : 0].id;
        useLevels_ = random_.below(4) == 0 ? random_.pick(soakUseLevelChoices) : "1,2,3";
        step("set uselevels " + useLevels_);
        step("set matrixobject " + object_);
        checks_.configured(levelRouters(object_, useLevels_));
    }

    void create()
    {
        step("create");
        step("set takelow take_low");
        step("set takehigh take_high");
        step("set unusedleveltext ---");
        configure();
    }

    // Destroys the component; the checks see that it let go of everything.
    void destroy()
    {
        const int warningsBefore = loop_.out().warnings();
        step("destroy");
        if (loop_.passed())
            checks_.afterDestroy(warningsBefore);
    }

    // The operator at the panel: packages, Take, Undo, Clear, the levels.
    void panelStep(std::uint32_t pick)
    {
        if (pick < 120) {
            step("set srcpkg " + std::to_string(random_.between(-1, soakPackageCount + 2)));
        } else if (pick < 240) {
            step("set destpkg " + std::to_string(random_.between(-1, soakPackageCount + 2)));
        } else if (pick < 330) {
            take();
        } else if (pick < 390) {
            const bool performed = checks_.enabled("Undo");
            step("press Undo");
            if (performed) {
                checks_.afterUndo();
                checks_.facilityChanged();
            }
            checks_.forgetSnapshot();
        } else if (pick < 420) {
            checks_.beforeClear();
            step("press Clear");
            checks_.forgetSnapshot();
        } else {
            const int level = random_.between(1, 3);
            step((random_.below(2) == 0 ? "press ID_L" : "press Enable_L") + std::to_string(level));
            checks_.forgetSnapshot();  // a level toggled between Take and Undo
        }
    }

    void take()
    {
        const bool force = random_.below(20) == 0;
        const bool performed = checks_.takeEnabled() || force;
        if (performed)
            checks_.beforeTake();
        step(force ? "press Take force" : "press Take");
        if (performed) {
            checks_.facilityChanged();
            undoSoon_ = random_.below(2) == 0;
        }
    }

    // Time, the routers and the facility around the panel, its settings.
    void facilityStep(std::uint32_t pick)
    {
        if (pick < 600) {
            step("wait " + std::to_string(random_.between(1, 25) * 100) + "ms");
        } else if (pick < 720) {
            const router_shape& shape = soakRouterShapes[random_.below(3)];
            step("route " + std::to_string(shape.device) + " " + std::to_string(random_.between(0, shape.sources)) +
                 " " + std::to_string(random_.between(1, shape.destinations)));
            checks_.facilityChanged();
            checks_.forgetSnapshot();  // an outside route between Take and Undo
        } else if (pick < 750) {
            const router_shape& shape = soakRouterShapes[random_.below(3)];
            const int database = static_cast<int>(random_.below(2));
            step("rename " + std::to_string(shape.device) + " " + std::to_string(database) + " " +
                 std::to_string(random_.between(1, database == 0 ? shape.sources : shape.destinations)) + " \"NEW|" +
                 std::to_string(random_.below(1000)) + "\"");
        } else if (pick < 790) {
            faultStep();
        } else if (pick < 815) {
            configure();
        } else if (pick < 865) {
            settingStep(pick);
        } else if (pick < 868) {
            destroy();
            create();
        } else {
            step("wait " + std::to_string(random_.between(1, 40) * 50) + "ms");
        }
    }

    void settingStep(std::uint32_t pick)
    {
        if (pick < 845) {
            static const char* const settings[] = {"takelow low2",     "takehigh high2",     "mimicstate_L1 m1",
                                                   "mimicstate_L3 m3", "takeundobgstate bg", "unusedleveltext n/a",
                                                   "instance 7",       "srcnamesdatabase 0", "destnamesdatabase 1"};
            step(std::string("set ") + random_.pick(settings));
        } else {
            static const char* const queries[] = {"get all", "get srcpkg", "get destpkg", "param _events",
                                                  "param _commands"};
            step(random_.pick(queries));
        }
    }

    void faultStep()
    {
        checks_.forgetSnapshot();
        const std::uint32_t pick = random_.below(10);
        const int device = soakRouterShapes[random_.below(3)].device;
        if (pick < 4) {
            step("fault clear");
        } else if (pick < 5) {
            step("fault drop " + std::to_string(random_.between(1, 50)));
        } else if (pick < 6) {
            step("fault delay " + std::to_string(random_.between(1, 20) * 100) + "ms");
        } else if (pick < 7) {
            step("fault duplicate " + std::to_string(random_.between(1, 50)));
        } else if (pick < 8) {
            step("fault offline " + std::to_string(device));
        } else {
            step("fault online " + std::to_string(device));
        }
    }

    const soak_settings& settings_;
    soak_random random_;
    // Declared before the loop: its runner works on them to the end.
    temp_installation install_;
    router_model routers_;
    soak_loop loop_;
    panel_soak_checks checks_;
    std::string object_;
    std::string useLevels_;
    bool undoSoon_ = false;
    int idleFor_ = 0;  // milliseconds the operator still leaves the panel alone
};

}  // namespace

soak_result runSoak(const soak_settings& settings)
{
    soak_result result;
    panel_soak run(settings, result);
    run.run();
    return result;
}
