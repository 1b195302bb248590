#include "app/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

TEST(OptionsHeader, CompilesOnItsOwn)
{
    host_options options;
    EXPECT_EQ(options.system, "SYS");
}

int parse(std::vector<const char*> args, host_options& options)
{
    args.insert(args.begin(), "panel_host");
    return parseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options);
}

TEST(Options, ReadsEveryOption)
{
    host_options options;
    ASSERT_EQ(parse({"--module",
                     "m.so",
                     "--installation",
                     "inst",
                     "--system",
                     "S2",
                     "--data",
                     "",
                     "--layouts",
                     "lay",
                     "--picture",
                     "--verbose",
                     "--ascii",
                     "--color",
                     "never",
                     "--stop-on-failure",
                     "--strict",
                     "--revertive-delay",
                     "2s",
                     "--drop",
                     "10",
                     "--duplicate",
                     "20",
                     "--seed",
                     "9",
                     "--offline",
                     "31",
                     "--offline",
                     "32",
                     "demo.scn"},
                    options),
              -1);
    EXPECT_EQ(options.module, "m.so");
    EXPECT_EQ(options.installation, "inst");
    EXPECT_EQ(options.system, "S2");
    EXPECT_TRUE(options.dataGiven);
    EXPECT_EQ(options.data, "");
    EXPECT_EQ(options.layouts, "lay");
    EXPECT_TRUE(options.picture && options.verbose && options.ascii && options.stopOnFailure && options.strict);
    EXPECT_EQ(options.color, "never");
    EXPECT_EQ(options.revertiveDelay, "2s");
    EXPECT_EQ(options.drop, 10);
    EXPECT_EQ(options.duplicate, 20);
    EXPECT_EQ(options.seed, 9u);
    EXPECT_EQ(options.offline, (std::vector<int>{31, 32}));
    EXPECT_EQ(options.scenario, "demo.scn");
}

TEST(Options, BadOptionsEndWithStatusTwo)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--drop", "101"},
        {"--color", "purple"},
        {"--no-such-option"},
        // An empty path would silently mean the default.
        {"--module", "", "demo.scn"},
        {"--layouts", "", "demo.scn"},
        // One device per --offline: the scenario is not taken for one.
        {"--offline", "31", "32", "demo.scn"},
        // The browser view's options without the browser view.
        {"--token-file", "key"},
        {"--allow-host", "studio-pc"},
        {"--serve", "0", "--token-file", ""},
    };
    for (const auto& args : bad) {
        host_options options;
        testing::internal::CaptureStderr();
        EXPECT_EQ(parse(args, options), 2) << args[0];
        EXPECT_NE(testing::internal::GetCapturedStderr(), "") << args[0];
    }
    host_options listed;
    ASSERT_EQ(parse({"--offline", "31,32", "demo.scn"}, listed), -1);
    EXPECT_EQ(listed.offline, (std::vector<int>{31, 32}));
    EXPECT_EQ(listed.scenario, "demo.scn");
}

TEST(Options, ReadsTheBrowserViewsAccessOptions)
{
    host_options options;
    ASSERT_EQ(parse({"--serve", "0.0.0.0:8080", "--token-file", "key", "--allow-host", "studio-pc", "--allow-host",
                     "10.0.0.7", "demo.scn"},
                    options),
              -1);
    EXPECT_EQ(options.serve, "0.0.0.0:8080");
    EXPECT_EQ(options.tokenFile, "key");
    EXPECT_EQ(options.allowHosts, (std::vector<std::string>{"studio-pc", "10.0.0.7"}));
    EXPECT_FALSE(options.serveAsRemote);
    EXPECT_EQ(options.scenario, "demo.scn");
}

TEST(Options, RelativePathsAreTakenFromTheCurrentFolder)
{
    host_options options;
    options.module = "Tessaly_Q.so";
    options.layouts = "panels/components/Tessaly_Q/";
    applyDefaults(options, "/opt/zelm");
    const std::filesystem::path here = std::filesystem::current_path();
    // A bare module name is a file here, not a name for the loader's search.
    EXPECT_EQ(options.module, (here / "Tessaly_Q.so").string());
    EXPECT_EQ(options.layouts, (here / "panels" / "components" / "Tessaly_Q").string());
    // The load data is the layout folder, absolute, so the panel's layout
    // path is not put below the layout folder a second time.
    EXPECT_EQ(options.data, options.layouts);
}

TEST(Options, DefaultsFollowTheExecutable)
{
    host_options options;
    applyDefaults(options, "/opt/zelm");
#if defined(_WIN32)
    EXPECT_EQ(options.module, "/opt/zelm\\Tessaly_Q.dll");
#else
    EXPECT_EQ(options.module, "/opt/zelm/Tessaly_Q.so");
#endif
    EXPECT_FALSE(options.installation.empty());
    EXPECT_FALSE(options.layouts.empty());
    // Without --data the layout folder is the load data.
    EXPECT_EQ(options.data, options.layouts);

    host_options given;
    given.module = "/x/m.so";
    given.layouts = "/y";
    given.data = "";
    given.dataGiven = true;
    applyDefaults(given, "/opt/zelm");
    EXPECT_EQ(given.module, "/x/m.so");
    EXPECT_EQ(given.layouts, "/y");
    EXPECT_EQ(given.data, "");
}

}  // namespace
