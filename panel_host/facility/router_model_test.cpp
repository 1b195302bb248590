#include "facility/router_model.h"

#include <gtest/gtest.h>

#include <sstream>

#include <filesystem>
#include <fstream>

#include "facility/ini_file.h"
#include "temp_installation.h"

namespace {

TEST(RouterModelHeader, CompilesOnItsOwn)
{
    router_model routers;
    EXPECT_TRUE(routers.devices().empty());
}

device_model fromText(int number, const std::string& text)
{
    ini_file ini;
    ini.parse(text);
    return device_model::fromIni(number, ini);
}

TEST(RouterModel, SizesFromTheDeviceFile)
{
    device_model sized = fromText(31, "[Device]\nName=Video\n[Database]\nDatabaseSize_0=24\nDatabaseSize_1=32\n");
    EXPECT_TRUE(sized.isRouter());
    EXPECT_EQ(sized.name(), "Video");
    EXPECT_EQ(sized.sources(), 24);
    EXPECT_EQ(sized.destinations(), 32);

    // [Device] overrides; without a database size the router still has a table.
    device_model overridden = fromText(33, "[Device]\nType=Router\nSources=16\nDestinations=16\n[Database]\n");
    EXPECT_EQ(overridden.destinations(), 16);
    EXPECT_EQ(overridden.crosspoint(16), 0);
    EXPECT_EQ(overridden.crosspoint(17), std::nullopt);

    // Without any size, the highest destination named or routed.
    device_model named = fromText(40, "[Names_1]\n1=A\n9=B\n[Crosspoints]\n12=3\n");
    EXPECT_TRUE(named.isRouter());
    EXPECT_EQ(named.destinations(), 12);
    EXPECT_EQ(named.crosspoint(12), 3);
    EXPECT_EQ(named.name(1, 9), "B");

    device_model names = fromText(20, "[Device]\nType=Names\n[Database]\nDatabaseSize_1=12\n[Names_0]\n1=12,-,40\n");
    EXPECT_FALSE(names.isRouter());
    EXPECT_EQ(names.name(0, 1), "12,-,40");
    EXPECT_EQ(names.crosspoint(1), std::nullopt);
    EXPECT_EQ(names.route(1, 1), device_model::route_result::not_a_router);
}

TEST(RouterModel, RoutesWithinTheTableOnlyAndRemembersTheStart)
{
    device_model router =
        fromText(31, "[Database]\nDatabaseSize_0=4\nDatabaseSize_1=8\n[Crosspoints]\n1=2\n3=4\n99=1\n");
    EXPECT_EQ(router.crosspoint(1), 2);
    EXPECT_EQ(router.crosspoint(2), 0);
    EXPECT_EQ(router.crosspoint(0), std::nullopt);
    EXPECT_EQ(router.route(3, 2), device_model::route_result::routed);
    EXPECT_EQ(router.route(0, 1), device_model::route_result::routed);  // park
    EXPECT_EQ(router.route(5, 1), device_model::route_result::bad_source);
    EXPECT_EQ(router.route(-1, 1), device_model::route_result::bad_source);
    EXPECT_EQ(router.route(1, 9), device_model::route_result::bad_destination);
    EXPECT_EQ(router.route(1, 0), device_model::route_result::bad_destination);
    router.setOnline(false);
    EXPECT_EQ(router.route(1, 4), device_model::route_result::offline);
    router.setOnline(true);
    EXPECT_EQ(router.route(4, 3), device_model::route_result::routed);  // same as before
    EXPECT_EQ(router.changedDestinations(), (std::vector<int>{1, 2}));
    EXPECT_STREQ(describe(device_model::route_result::bad_source), "no such source");
}

TEST(RouterModel, RegistrationsReplaceOrAdd)
{
    device_model router(31, "Video", true);
    router.setSize(8, 300);
    EXPECT_FALSE(router.isRegistered(1));
    router.registerRange(1, 10, false);
    router.registerRange(20, 30, true);
    EXPECT_TRUE(router.isRegistered(10));
    EXPECT_TRUE(router.isRegistered(25));
    EXPECT_FALSE(router.isRegistered(15));
    router.registerRange(250, 260, false);
    EXPECT_FALSE(router.isRegistered(5));
    EXPECT_TRUE(router.isRegistered(255));
    router.unregisterAll();
    EXPECT_FALSE(router.isRegistered(255));
}

TEST(RouterModel, NamesCanChange)
{
    device_model router(31, "Video", true);
    EXPECT_EQ(router.name(0, 5), std::nullopt);
    router.setName(0, 5, "VTR|1");
    router.setName(0, 5, "VTR|1 NEW");
    EXPECT_EQ(router.name(0, 5), "VTR|1 NEW");
    EXPECT_EQ(router.name(1, 5), std::nullopt);
    EXPECT_EQ(router.namesIn(0), 1);
}

TEST(RouterModel, LoadsEveryDeviceFileOfAnInstallation)
{
    temp_installation installation;
    installation.writeDatabaseSize(31, 1, 64);
    installation.writeDeviceIni(1234, "[Database]\nDatabaseSize_1=2\n");
    installation.writeDeviceIni(20, "[Device]\nType=Names\n");
    installation.writeConfig("system/readme.txt", "not a device");
    router_model routers;
    std::string error;
    ASSERT_TRUE(routers.load(installation.systemDir(), error)) << error;
    EXPECT_EQ(routers.devices().size(), 3u);
    ASSERT_NE(routers.device(31), nullptr);
    EXPECT_EQ(routers.device(31)->destinations(), 64);
    ASSERT_NE(routers.device(1234), nullptr);
    EXPECT_FALSE(routers.device(20)->isRouter());
    EXPECT_EQ(routers.device(7), nullptr);
    EXPECT_FALSE(routers.load(installation.systemDir() + "/missing", error));
    EXPECT_NE(error.find("cannot read the device folder"), std::string::npos);
}

// Every broken device file gives its fault with file and line; sizes
// follow the module's reading of DatabaseSize_K. `destinations` -1: no
// router 31 is checked.
TEST(RouterModel, DeviceFileFaultsNameTheirLine)
{
    const std::string limit = "is beyond the simulator's limit of 65536";
    const struct {
        const char* file;
        const char* content;  // null: a folder of that name
        int destinations;
        std::vector<std::string> faults;
    } cases[] = {
        {"dev_031.ini",
         "[Database]\nDatabaseSize_0=4\nDatabaseSize_1=2147483647\n",
         0,
         {"dev_031.ini:3: DatabaseSize_1=2147483647 " + limit}},
        {"dev_031.ini",
         "[Device]\nDestinations=2147483647\nSources=-1\n[Database]\nDatabaseSize_1=x\n",
         0,
         {"dev_031.ini:2: Destinations=2147483647 " + limit, "dev_031.ini:3: Sources=-1 is negative",
          "dev_031.ini:5: warning: DatabaseSize_1=x: the module reads 0; write the number alone"}},
        {"dev_031.ini",
         "[Database]\nDatabaseSize_1=4\n[Crosspoints]\n2147483647=1\n[Names_1]\n2147483647=X\n",
         4,
         {"dev_031.ini:4: destination 2147483647 " + limit, "dev_031.ini:6: name index 2147483647 " + limit}},
        {"dev_031.ini",
         "[Device]\nType=Router\nSources=2\nDestinations=4\n[Crosspoints]\n1=99\n2=-5\n5=1\nx=1\n3=2\n3=1\n",
         4,
         {"dev_031.ini:6: 1=99: the router has sources 0 (park) to 2",
          "dev_031.ini:7: 2=-5: the router has sources 0 (park) to 2",
          "dev_031.ini:8: 5=1: the router has destinations 1 to 4", "dev_031.ini:9: x=1 is not destination=source",
          "dev_031.ini:11: warning: 3 again in [Crosspoints] (first at line 10): the first counts"}},
        // The module reads the number its value starts with; so does the simulator.
        {"dev_031.ini",
         "[Database]\nDatabaseSize_1=32abc\n",
         32,
         {"dev_031.ini:2: warning: DatabaseSize_1=32abc: the module reads 32; write the number alone"}},
        {"dev_031.ini",
         "[Database]\nDatabaseSize_1=32 ; size\n",
         32,
         {"dev_031.ini:2: warning: DatabaseSize_1=32 ; size: the module reads 32; write the number alone"}},
        // What the module's reader cannot see, the simulator does not count.
        {"dev_031.ini",
         "[Database]\nDatabaseSize_0=2\n[Names_1]\n1=A\n[Database]\nDatabaseSize_1=8\n",
         1,
         {"dev_031.ini:5: warning: [Database] again (first at line 1): the simulator joins them, the module's "
          "profile reader reads only the first",
          "dev_031.ini:6: warning: DatabaseSize_1=8: the module's profile reader does not see this line, so it reads 0"}},
        {"dev_031.ini",
         "\xEF\xBB\xBF[Device]\nType=Router\nDestinations=4\n",
         4,
         {"dev_031.ini:1: warning: a UTF-8 byte-order mark before [Device]: profile readers differ on it (the "
          "module's may take it for part of the line); save the file without it"}},
        {"dev_031.ini",
         "\x01\x7f\xff garbage\n\nmore=\x02\n",
         -1,
         {"dev_031.ini: not a device file: it has none of the sections [Device], [Database], [Names_K], [Crosspoints]"}},
        {"dev_031.ini",
         "key=1\n[Device]\nType=Switcher\nColour=red\nlonely line\n[Databse]\n[Names_99]\n[Names_0]\n0=A\nB=C\n",
         -1,
         {"dev_031.ini:1: warning: key=1 comes before any section; ignored",
          "dev_031.ini:3: Type=Switcher is neither Router nor Names",
          "dev_031.ini:4: warning: unknown key Colour in [Device]; it has Name, Type, Sources, Destinations, "
          "Protocol, Address, Matrix, Level, Offset",
          "dev_031.ini:5: warning: neither [Section] nor key=value: lonely line; ignored",
          "dev_031.ini:6: warning: unknown section [Databse]; a device file has [Device], [Database], [Names_K], "
          "[Crosspoints]",
          "dev_031.ini:7: warning: [Names_99]: only [Names_0] to [Names_15] are read; ignored",
          "dev_031.ini:9: warning: name index 0: indices start at 1; ignored",
          "dev_031.ini:10: warning: name index \"B\" is not a number; ignored"}},
        // Texts from the file reach the terminal escaped.
        {"dev_031.ini",
         "[Device\nType=\x1b[2J\xff\n",
         -1,
         {"dev_031.ini:1: warning: section header [Device has no ']'",
          "dev_031.ini:2: Type=\\x1b[2J\\xff is neither Router nor Names"}},
        {"dev_040.ini", nullptr, -1, {"dev_040.ini: a folder, not a device file"}},
        {"dev_31.ini",
         "[Database]\nDatabaseSize_1=4\n",
         -1,
         {"dev_31.ini: the module reads device 31 from dev_031.ini; rename the file"}},
        {"dev_x.ini", "[Database]\n", -1, {"dev_x.ini: warning: not a device file name (dev_NNN.ini); ignored"}},
    };
    for (const auto& c : cases) {
        temp_installation installation;
        const std::filesystem::path path = std::filesystem::path(installation.systemDir()) / c.file;
        if (c.content == nullptr)
            std::filesystem::create_directories(path);
        else
            std::ofstream(path, std::ios::binary) << c.content;
        router_model routers;
        fault_list faults;
        ASSERT_TRUE(routers.load(installation.systemDir(), faults));
        std::stringstream printed;
        faults.print(printed);
        std::vector<std::string> texts;
        const std::string folder = installation.systemDir();  // and a separator, '/' or '\\'
        for (std::string line; std::getline(printed, line);)
            texts.push_back(line.compare(0, folder.size(), folder) == 0 ? line.substr(folder.size() + 1) : line);
        EXPECT_EQ(texts, c.faults) << c.content;
        if (c.destinations >= 0) {
            ASSERT_NE(routers.device(31), nullptr) << c.content;
            EXPECT_EQ(routers.device(31)->destinations(), c.destinations) << c.content;
        }
    }
}

TEST(RouterModel, CrosspointsAreSparseAndChangesAreFoundBothWays)
{
    device_model router(31, "Big", true);
    router.setSize(2, simulatorSizeLimit);
    EXPECT_EQ(router.route(2, simulatorSizeLimit), device_model::route_result::routed);
    EXPECT_EQ(router.crosspoint(simulatorSizeLimit), 2);
    EXPECT_EQ(router.crosspoint(simulatorSizeLimit - 1), 0);
    EXPECT_EQ(router.changedDestinations(), std::vector<int>{simulatorSizeLimit});

    device_model started = fromText(31, "[Database]\nDatabaseSize_0=4\nDatabaseSize_1=8\n[Crosspoints]\n1=2\n2=3\n");
    started.route(0, 1);  // parked: off the table, still a change
    started.route(4, 2);
    started.route(1, 5);
    started.route(0, 5);  // back where it started
    EXPECT_EQ(started.changedDestinations(), (std::vector<int>{1, 2}));
}

}  // namespace
