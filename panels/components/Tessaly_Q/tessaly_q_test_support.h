// Test support for the take / undo panel: drives one panel only through the
// host's event entry, either as the class linked into the test or as the
// built module loaded the way the host loads it, and records every command.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command_text.h"
#include "event_records.h"
#include "module_loader.h"
#include "recording_host_link.h"
#include "temp_installation.h"
#include "tessaly_q.h"
#include "zelm_client_callback.h"

using lines = std::vector<std::string>;

// How the panel under test comes to life.
enum class panel_build {
    linked,  // `new Tessaly_Q` from the static library linked into the test
    loaded,  // load_zelm_client_script of the built module, opened as the host does
};

inline std::string buildName(const ::testing::TestParamInfo<panel_build>& info)
{
    return info.param == panel_build::linked ? "LinkedClass" : "LoadedModule";
}

// The linked class with its state in view, for the few checks that a
// transcript cannot show. Only available for panel_build::linked.
class tessaly_q_probe : public Tessaly_Q {
public:
    using Tessaly_Q::destIndex;
    using Tessaly_Q::levelDevice;
    using Tessaly_Q::srcIndex;
    using Tessaly_Q::tally;
    using Tessaly_Q::Tessaly_Q;
    using Tessaly_Q::undoDest;
    using Tessaly_Q::undoSrc;
};

// A recording host link that can also react to a command from inside send(),
// the way a host that reports a route at once would.
class reacting_host_link : public recording_host_link {
public:
    std::function<void(const std::string&)> onCommand;

    const char* send(const char* text, std::int32_t kind) override
    {
        const char* answer = recording_host_link::send(text, kind);
        if (kind == zelmSendCommand && onCommand && text != nullptr)
            onCommand(text);
        return answer;
    }
};

class panel_driver {
public:
    explicit panel_driver(panel_build build) : build_(build) {}
    ~panel_driver() { destroy(); }
    panel_driver(const panel_driver&) = delete;
    panel_driver& operator=(const panel_driver&) = delete;

    // Creates the panel with `data` as load data; false with error() set when
    // the module cannot be loaded or the export gives no component.
    bool create(const char* data = "")
    {
        if (build_ == panel_build::linked) {
            probe_ = new tessaly_q_probe(&link, data);
            component_ = probe_;
            return true;
        }
        if (!loader_.open(modulePath())) {
            error_ = loader_.error();
            return false;
        }
        component_ = loader_.entry()(&link, data);
        if (component_ == nullptr)
            error_ = "load_zelm_client_script returned null";
        return component_ != nullptr;
    }

    // Deletes the panel through its virtual destructor, as the host does.
    void destroy()
    {
        delete component_;
        component_ = nullptr;
        probe_ = nullptr;
    }

    const std::string& error() const { return error_; }

    // The built module: in ZELM_BIN_DIR when that is set, else where this
    // build put it.
    static std::string modulePath()
    {
#if defined(_WIN32)
        const char* file = "/Tessaly_Q.dll";
#else
        const char* file = "/Tessaly_Q.so";
#endif
        if (const char* binDir = std::getenv("ZELM_BIN_DIR"))
            return std::string(binDir) + file;
        return TESSALY_Q_MODULE_PATH;
    }
    // The linked panel's state, or null for the loaded module.
    tessaly_q_probe* probe() const { return probe_; }

    // Code 3. The answer (copied, then given back with code 5), or nullopt
    // when the panel answers with no text.
    std::optional<std::string> parameter(const std::string& text)
    {
        char* answer = component_->hostEvent(reinterpret_cast<std::intptr_t>(text.c_str()), zelmEventParameter);
        if (answer == nullptr)
            return std::nullopt;
        std::string copy(answer);
        component_->hostEvent(reinterpret_cast<std::intptr_t>(answer), zelmEventRelease);
        return copy;
    }

    // Code 2: control `id` pressed on panel `panel`.
    void button(const std::string& id, const std::string& panel = "1", const char* eventText = nullptr)
    {
        commandText text(eventText);
        buttonRecord record{0, 0, panel.c_str(), id.c_str(), &text};
        component_->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventButton);
    }

    // Code 1: router `device` reports `source` now on `destination`.
    void revertive(std::int32_t device, std::int32_t destination, std::int32_t source)
    {
        revertiveRecord record{device, 0, destination, source};
        component_->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
    }

    // Code 4.
    void timer(std::int32_t id) { component_->hostEvent(static_cast<std::intptr_t>(id), zelmEventTimer); }

    // Code 6: the name stored in the record itself, running past its end.
    void databaseChange(std::int32_t device, std::int32_t database, std::int32_t index, const std::string& name)
    {
        std::vector<std::max_align_t> storage((sizeof(databaseRecord) + name.size() + sizeof(std::max_align_t)) /
                                              sizeof(std::max_align_t));
        auto* bytes = reinterpret_cast<unsigned char*>(storage.data());
        databaseRecord head{device, database, index, 0, {0}};
        std::memcpy(bytes, &head, sizeof head);
        std::memcpy(bytes + offsetof(databaseRecord, name), name.c_str(), name.size() + 1);
        component_->hostEvent(reinterpret_cast<std::intptr_t>(bytes), zelmEventDatabaseChange);
    }

    // Command lines since the last call.
    lines sent() { return link.takeCommands(); }

    reacting_host_link link;

private:
    panel_build build_;
    module_loader loader_;  // outlives the component it made
    zelm_client_callback* component_ = nullptr;
    tessaly_q_probe* probe_ = nullptr;
    std::string error_;
};

// One object settings file for the temporary installation.
struct matrix_object {
    std::string id;
    std::vector<std::pair<std::string, std::string>> settings;
};

inline std::string objectSettingsXml(const std::vector<matrix_object>& objects)
{
    std::string xml = "<object_settings>";
    for (const auto& object : objects) {
        xml += "<object id=\"" + object.id + "\">";
        for (const auto& setting : object.settings)
            xml += "<setting id=\"" + setting.first + "\" value=\"" + setting.second + "\"/>";
        xml += "</object>";
    }
    return xml + "</object_settings>";
}

// Every panel test: a fresh installation and a fresh panel of the build
// under test, whose construction transcript is already taken. At the end
// every answer the host handed out must have been given back exactly once.
class tessaly_q_fixture : public ::testing::TestWithParam<panel_build> {
protected:
    tessaly_q_fixture() : panel(GetParam()) {}

    void SetUp() override
    {
        ASSERT_TRUE(panel.create()) << panel.error();
        constructionTranscript = panel.sent();
    }

    void TearDown() override
    {
        panel.link.onCommand = nullptr;
        panel.destroy();
        EXPECT_EQ(panel.link.outstandingAnswers(), 0);
        EXPECT_EQ(panel.link.badGiveBacks(), 0);
    }

    // The usual installation: object "MTX" with package levels 1..3 on
    // routers 31, 32, 33 (captions Alpha, Beta, Gamma) and packages on
    // device 20.
    void writeMatrix(const std::string& driverType = "t0,t1,Alpha,Beta,Gamma",
                     const std::string& driverIds = "7,20,31,32,33")
    {
        install.writeConfig(
            "object_settings.xml",
            objectSettingsXml(
                {{"MTX", {{"package_levels", "3"}, {"driver_type", driverType}, {"driver_ids", driverIds}}}}));
    }

    // Sets "uselevels" then "matrixobject" and forgets the transcript.
    void configure(const std::string& useLevels, const std::string& object = "MTX")
    {
        panel.parameter("uselevels=" + useLevels);
        panel.parameter("matrixobject=" + object);
        panel.sent();
    }

    // The worked example: "uselevels" 1,3 puts package level 1 (router 31,
    // 64 destinations) on panel level 1 and package level 3 (router 33, no
    // database size) on panel level 2. Source package 5 is "12,-,40" (12 on
    // level 1, 40 on level 2), destination package 9 is "5,-,6". Selecting
    // both arms Take; the transcript so far is forgotten.
    void armWorkedExample()
    {
        writeMatrix();
        install.writeDatabaseSize(31, 1, 64);
        configure("1,3");
        scriptWorkedPackages();
        panel.parameter("takelow=LOW");
        panel.parameter("takehigh=HIGH");
        panel.parameter("unusedleveltext=n/a");
        panel.parameter("srcpkg=5");
        panel.parameter("destpkg=9");
        panel.sent();
    }

    void scriptWorkedPackages()
    {
        panel.link.answer("RN 20 0 5", "12,-,40");
        panel.link.answer("RN 20 1 9", "5,-,6");
        panel.link.answer("RN 31 0 12", "CAM|1");
        panel.link.answer("RN 33 0 40", "VTR 40");
        panel.link.answer("RN 31 1 5", "MON 5");
        panel.link.answer("RN 33 1 6", "REC 6");
    }

    temp_installation install;
    panel_driver panel;
    lines constructionTranscript;
};

// "TP 'text=' '1' '<control>'" for each control, in order.
inline lines textClears(std::initializer_list<const char*> controls)
{
    lines result;
    for (const char* control : controls)
        result.push_back(std::string("TP 'text=' '1' '") + control + "'");
    return result;
}

// The lists one after the other.
inline lines join(std::initializer_list<lines> parts)
{
    lines result;
    for (const auto& part : parts)
        result.insert(result.end(), part.begin(), part.end());
    return result;
}

// What a reset sends once no router is left to release.
inline const lines captionsClearedAndLevelsCrossed = {
    "TP 'text=' '1' 'ID_L1'",
    "TP 'text=' '1' 'ID_L2'",
    "TP 'text=' '1' 'ID_L3'",
    "TP 'pixmap=/images/cross.png' '1' 'Enable_L1'",
    "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
    "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
};

// The start of every successful configuration with nothing armed or held.
inline const lines selectionDroppedAndLabelsEmptied = join({
    {"HN 'selected=-1'"},
    textClears({"ID_L1", "ID_L2", "ID_L3", "Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3", "Src_UL1",
                "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"}),
});

#define TESSALY_Q_BOTH_BUILDS(fixture)                                                                                 \
  INSTANTIATE_TEST_SUITE_P(Builds, fixture, ::testing::Values(panel_build::linked, panel_build::loaded), buildName)
