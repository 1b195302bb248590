#include "facility/installation_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_installation.h"

namespace {

std::string sourceDir() { return ZELM_SOURCE_DIR; }

std::vector<std::string> texts(const fault_list& faults, const std::string& prefix)
{
    std::stringstream printed;
    faults.print(printed);
    std::vector<std::string> lines;
    for (std::string line; std::getline(printed, line);)
        lines.push_back(line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size() + 1) : line);
    return lines;
}

TEST(InstallationCheck, TheSampleInstallationAndLayoutAreClean)
{
    router_model routers;
    fault_list faults = checkInstallation(sourceDir() + "/examples/installation/SYS/config",
                                          sourceDir() + "/panels/components/Tessaly_Q", routers);
    std::stringstream printed;
    faults.print(printed);
    EXPECT_EQ(printed.str(), "");
    EXPECT_EQ(routers.devices().size(), 4u);
    std::ostringstream out;
    EXPECT_TRUE(acceptInstallation(faults, true, out));
    EXPECT_EQ(out.str(), "");
}

// A broken settings file is reported; the module still reads it as it is.
TEST(InstallationCheck, ObjectSettingsFaultsNameTheirLine)
{
    const struct {
        const char* content;  // null: a folder of that name; "-": no file
        std::vector<std::string> faults;
    } cases[] = {
        {"-", {"object_settings.xml: warning: no object settings: every object the module looks up reads as empty"}},
        {nullptr, {"object_settings.xml: a folder, not a settings file"}},
        {"", {"object_settings.xml: empty: the module would read no settings at all"}},
        {"<object_settings>\n<object id=\"MTX\">\n<setting id=\"a\" value=",
         {"object_settings.xml:3: not well-formed XML: Error parsing element attribute; the module would read no "
          "settings at all"}},
        {"\x89PNG\r\n\x1a\n\x01\x02",
         {"object_settings.xml:3: not well-formed XML: No document element found; the module would read no settings "
          "at all"}},
        {"<settings>\n<object/>\n<object id=\"A\">\n<setting value=\"1\"/>\n<setting id=\"k\"/>\n"
         "<setting id=\"k\" value=\"2\"/>\n</object>\n<object id=\"A\"/>\n</settings>",
         {"object_settings.xml:1: warning: the root element is <settings>, not <object_settings>",
          "object_settings.xml:2: warning: <object> without an id: no lookup can reach it",
          "object_settings.xml:4: warning: <setting> without an id: no lookup can reach it",
          "object_settings.xml:5: warning: setting \"k\" without a value: it reads as empty",
          "object_settings.xml:6: warning: setting \"k\" again (first at line 5): the module reads the first",
          "object_settings.xml:8: warning: object \"A\" again (first at line 3): the module reads the first"}},
    };
    for (const auto& c : cases) {
        temp_installation installation;
        const std::string path = installation.configDir() + "/object_settings.xml";
        if (c.content == nullptr)
            std::filesystem::create_directories(path);
        else if (std::string(c.content) != "-")
            installation.writeConfig("object_settings.xml", c.content);
        fault_list faults;
        checkObjectSettings(path, faults);
        EXPECT_EQ(texts(faults, installation.configDir()), c.faults) << (c.content ? c.content : "folder");
    }
}

// Errors stop every run, warnings only a strict one.
TEST(InstallationCheck, ErrorsAndStrictWarningsStopTheRun)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml", "<object_settings/>");
    installation.writeDeviceIni(31, "[Database]\nDatabaseSize_1=32abc\n");
    router_model routers;
    const std::string layouts = installation.root() + "/layouts";
    std::filesystem::create_directories(layouts);
    fault_list clean = checkInstallation(installation.configDir(), layouts, routers);
    std::ostringstream out;
    EXPECT_TRUE(acceptInstallation(clean, false, out));
    EXPECT_NE(out.str().find("dev_031.ini:2: warning: DatabaseSize_1=32abc: the module reads 32"), std::string::npos);
    out.str("");
    EXPECT_FALSE(acceptInstallation(clean, true, out));
    EXPECT_NE(out.str().find("panel_host: 1 warning in the installation or layouts (--strict); nothing runs"),
              std::string::npos);

    std::ofstream(layouts + "/a.zelm_ui") << "<zelm_ui><control id='x'/><control id='x'/></zelm_ui>";
    out.str("");
    EXPECT_FALSE(acceptInstallation(checkInstallation(installation.configDir(), layouts, routers), false, out));
    EXPECT_NE(out.str().find("a.zelm_ui:1: control id \"x\" again"), std::string::npos);
    EXPECT_NE(out.str().find("panel_host: 1 error in the installation or layouts; nothing runs"), std::string::npos);
}

}  // namespace
