#include "router_model.h"

#include <gtest/gtest.h>

#include "ini_file.h"
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
    device_model router = fromText(31, "[Database]\nDatabaseSize_0=4\nDatabaseSize_1=8\n[Crosspoints]\n1=2\n3=4\n99=1\n");
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
    EXPECT_NE(error.find("cannot read device folder"), std::string::npos);
}

}  // namespace
