#include "zelm_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "temp_installation.h"

namespace {

// Every entry as "id=value".
std::vector<std::string> entries(const char* name)
{
    std::vector<std::string> found;
    zelm_config config{zelm_string(name)};
    while (config.isChildValid()) {
        found.push_back(std::string(config.childAttr(zelm_string("id")).c_str()) + "=" +
                        config.childAttr(zelm_string("value")).c_str());
        config.nextChild();
    }
    return found;
}

const char* settings = "<object_settings>"
                       "<object id=\"MTX\"><setting id=\"package_levels\" value=\"3\"/>"
                       "<!-- comment --><setting id=\"driver_ids\" value=\"7,20,31,32,33\"/>"
                       "<setting id=\"only_id\"/></object>"
                       "<object id=\"mtx\"><setting id=\"x\" value=\"lower\"/></object>"
                       "<object id=\"EMPTY\"/>"
                       "</object_settings>";

}  // namespace

TEST(ZelmConfig, HeaderStandsAlone)
{
    temp_installation installation;
    const zelm_config config{zelm_string("nothing.here")};
    EXPECT_FALSE(config.isChildValid());
}

TEST(ZelmConfig, ReadsTheEntriesOfOneObject)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml", settings);
    EXPECT_EQ(entries("object_settings.MTX"),
              (std::vector<std::string>{"package_levels=3", "driver_ids=7,20,31,32,33", "only_id="}));
    EXPECT_EQ(entries("object_settings.mtx"), (std::vector<std::string>{"x=lower"}));
    EXPECT_TRUE(entries("object_settings.EMPTY").empty());
    EXPECT_TRUE(entries("object_settings.Mtx").empty());
    EXPECT_TRUE(entries("object_settings.").empty());
}

TEST(ZelmConfig, NameWithoutDotStandsOnTheRootChildren)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml", settings);
    EXPECT_EQ(entries("object_settings"), (std::vector<std::string>{"MTX=", "mtx=", "EMPTY="}));
}

TEST(ZelmConfig, NoStoreReadsAsNoEntries)
{
    temp_installation installation;
    EXPECT_TRUE(entries("object_settings.MTX").empty());
    installation.writeConfig("object_settings.xml", "<object_settings><object id=\"MTX\"><setting");
    EXPECT_TRUE(entries("object_settings.MTX").empty());
    installation.writeConfig("../escape.xml", settings);
    EXPECT_TRUE(entries("../escape.MTX").empty());
}

TEST(ZelmConfig, StandsOnNothingAfterTheLastEntry)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml", settings);
    zelm_config config{zelm_string("object_settings.mtx")};
    EXPECT_TRUE(config.isChildValid());
    EXPECT_FALSE(config.nextChild());
    EXPECT_FALSE(config.isChildValid());
    EXPECT_EQ(config.childAttr(zelm_string("id")).length(), 0);
    EXPECT_FALSE(config.nextChild());
}

TEST(ZelmConfig, MissingInstallationVariables)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml", settings);
#if defined(_WIN32)
    _putenv_s("QV_ROOT", "");
#else
    unsetenv("QV_ROOT");
#endif
    EXPECT_TRUE(entries("object_settings.MTX").empty());
}
