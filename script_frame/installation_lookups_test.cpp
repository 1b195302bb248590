// Object settings and database sizes read from a real, temporary
// installation folder.
#include "zelm_script_helper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "recording_panel.h"
#include "temp_installation.h"

TEST(InstallationLookups, HeaderStandsAlone)
{
    temp_installation installation;
    EXPECT_EQ(recording_panel::readDatabaseSize(1, 1), 0);
}

TEST(InstallationLookups, ObjectSettingFirstMatchExactKey)
{
    temp_installation installation;
    installation.writeConfig("object_settings.xml",
                             "<object_settings>"
                             "<object id=\"OTHER\"><setting id=\"package_levels\" value=\"9\"/></object>"
                             "<object id=\"MTX\">"
                             "<setting id=\"package_levels\" value=\"3\"/>"
                             "<setting id=\"driver_ids\" value=\"7,20,31\"/>"
                             "<setting id=\"package_levels\" value=\"4\"/>"
                             "<setting value=\"no id\"/>"
                             "</object></object_settings>");
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("package_levels")), "3");
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("driver_ids")), "7,20,31");
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("OTHER"), zelm_string("package_levels")), "9");
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("Package_Levels")).length(), 0);
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("driver_type")).length(), 0);
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("NONE"), zelm_string("package_levels")).length(), 0);
}

TEST(InstallationLookups, ObjectSettingWithoutStore)
{
    temp_installation installation;
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("package_levels")).length(), 0);
    installation.writeConfig("object_settings.xml", "<object_settings><object id=\"MTX\">");
    EXPECT_EQ(recording_panel::readObjectSetting(zelm_string("MTX"), zelm_string("package_levels")).length(), 0);
}

TEST(InstallationLookups, DatabaseSizeFromTheDeviceFile)
{
    temp_installation installation;
    installation.writeDatabaseSize(7, 1, 64);
    installation.writeDeviceIni(0, "[Database]\nDatabaseSize_0=5\n");
    installation.writeDeviceIni(1234, "[Database]\nDatabaseSize_2=200\n");
    installation.writeDeviceIni(12, "[Database]\nDatabaseSize_1=12abc\nDatabaseSize_2=-3\nDatabaseSize_3=abc\n"
                                    "DatabaseSize_4=\nDatabaseSize_5=99999999999\n");
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 64);
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 2), 0);
    EXPECT_EQ(recording_panel::readDatabaseSize(0, 0), 5);
    EXPECT_EQ(recording_panel::readDatabaseSize(1234, 2), 200);
    EXPECT_EQ(recording_panel::readDatabaseSize(12, 1), 12);
    EXPECT_EQ(recording_panel::readDatabaseSize(12, 2), -3);
    EXPECT_EQ(recording_panel::readDatabaseSize(12, 3), 0);
    EXPECT_EQ(recording_panel::readDatabaseSize(12, 4), 0);
    EXPECT_EQ(recording_panel::readDatabaseSize(12, 5), 2147483647);
    EXPECT_EQ(recording_panel::readDatabaseSize(8, 1), 0);
}

TEST(InstallationLookups, WindowsWrittenFileReadsTheSame)
{
    temp_installation installation;
    installation.writeDeviceIni(3, "; router 3\r\n[general]\r\nDatabaseSize_1=1\r\n\r\n"
                                   "  [ database ]  \r\n;DatabaseSize_1=7\r\n  databasesize_1  =  48  \r\n"
                                   "DatabaseSize_1=50\r\nDatabaseSize_2 = \"32\" \r\nDatabaseSize_3='16'\r\n"
                                   "DatabaseSize_4=\"8'\r\nDatabaseSize_5=\"8");
    EXPECT_EQ(recording_panel::readDatabaseSize(3, 1), 48);
    // Quotes that an installer may write around the number go, as a pair.
    EXPECT_EQ(recording_panel::readDatabaseSize(3, 2), 32);
    EXPECT_EQ(recording_panel::readDatabaseSize(3, 3), 16);
    EXPECT_EQ(recording_panel::readDatabaseSize(3, 4), 0);
    EXPECT_EQ(recording_panel::readDatabaseSize(3, 5), 0);
}

TEST(InstallationLookups, MissingVariableReadsZero)
{
    temp_installation installation;
    installation.writeDatabaseSize(7, 1, 64);
    const std::string system = std::getenv("QV_SYSTEM");
    unsetEnvironmentVariable("QV_SYSTEM");
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 0);
    setEnvironmentVariable("QV_SYSTEM", system);
    unsetEnvironmentVariable("QV_ROOT");
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 0);
}

TEST(InstallationLookups, PathBeyondItsRoomReadsZero)
{
    temp_installation installation;
    const std::string root = installation.root();
    // "<root>\<system>\config\system\dev_007.ini" has room for 259
    // characters. Both files exist, so only the room decides.
    const std::size_t fixed = root.size() + 1 + std::string("\\config\\system\\dev_007.ini").size();
    ASSERT_LT(fixed, 200U);
    const std::string fits(259 - fixed, 'S');
    const std::string tooLong(260 - fixed, 'S');
    for (const std::string& system : {fits, tooLong}) {
        const std::filesystem::path dir = std::filesystem::path(root) / system / "config" / "system";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "dev_007.ini") << "[Database]\nDatabaseSize_1=64\n";
    }
    // Cut to its room, the longer path would name "dev_007.in": a file
    // there too, so reading the cut path would show.
    std::ofstream(std::filesystem::path(root) / tooLong / "config" / "system" / "dev_007.in")
        << "[Database]\nDatabaseSize_1=32\n";
    setEnvironmentVariable("QV_SYSTEM", fits);
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 64);
    setEnvironmentVariable("QV_SYSTEM", tooLong);
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 0);
    setEnvironmentVariable("QV_ROOT", std::string(300, 'R'));
    EXPECT_EQ(recording_panel::readDatabaseSize(7, 1), 0);
}
