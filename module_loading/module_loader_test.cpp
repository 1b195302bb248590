// Loads the built panel module exactly as a host does and talks to it only
// through the export, hostEvent and the virtual destructor.
#include "module_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "event_records.h"
#include "recording_host_link.h"

namespace {

std::string modulePath()
{
    const char* dir = std::getenv("ZELM_BIN_DIR");
#if defined(_WIN32)
    const char* file = "Tessaly_Q.dll";
#else
    const char* file = "Tessaly_Q.so";
#endif
    return std::string(dir != nullptr ? dir : ".") + "/" + file;
}

std::intptr_t word(const void* pointer) { return reinterpret_cast<std::intptr_t>(pointer); }

}  // namespace

TEST(ModuleLoader, HeaderStandsAlone)
{
    module_loader loader;
    EXPECT_EQ(loader.entry(), nullptr);
}

TEST(ModuleLoader, MissingLibraryIsReported)
{
    module_loader loader;
    EXPECT_FALSE(loader.open(modulePath() + ".missing"));
    EXPECT_FALSE(loader.error().empty());
    EXPECT_EQ(loader.entry(), nullptr);
}

TEST(ModuleLoader, HostLoadsCreatesDrivesAndDeletesTheComponent)
{
    module_loader loader;
    ASSERT_TRUE(loader.open(modulePath())) << loader.error();
    ASSERT_NE(loader.entry(), nullptr);

    recording_host_link host;
    host.answerPrefix("PS ", "ok");
    zelm_client_callback* component = loader.entry()(&host, "");
    ASSERT_NE(component, nullptr);

    const revertiveRecord revertive{1, 0, 1, 1};
    EXPECT_EQ(component->hostEvent(word(&revertive), 1), nullptr);
    const commandText text("press");
    const buttonRecord button{0, 0, "1", "Clear", &text};
    EXPECT_EQ(component->hostEvent(word(&button), 2), nullptr);
    char* answer = component->hostEvent(word("return"), 3);
    if (answer != nullptr) {
        EXPECT_EQ(component->hostEvent(word(answer), 5), nullptr);
    }
    EXPECT_EQ(component->hostEvent(3, 4), nullptr);
    EXPECT_EQ(component->hostEvent(0, 7), nullptr);
    for (std::int32_t code : {0, 8, -1})
        EXPECT_EQ(component->hostEvent(word("x"), code), nullptr);
    delete component;

    const std::vector<std::string> commands = host.commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), "AS");
    EXPECT_EQ(std::count(commands.begin(), commands.end(), std::string("AS")), 1);
    EXPECT_EQ(host.badGiveBacks(), 0);
}

TEST(ModuleLoader, ComponentWithoutHostLink)
{
    module_loader loader;
    ASSERT_TRUE(loader.open(modulePath())) << loader.error();
    zelm_client_callback* component = loader.entry()(nullptr, nullptr);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->hostEvent(1, 4), nullptr);
    delete component;
}

#if !defined(_WIN32)
TEST(ModuleLoader, ExportsNothingButTheEntryPoint)
{
    const std::string command = "nm -D --defined-only '" + modulePath() + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string entry(line);
        while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r'))
            entry.pop_back();
        const std::string::size_type space = entry.rfind(' ');
        names.push_back(space == std::string::npos ? entry : entry.substr(space + 1));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"load_zelm_client_script"}));
}
#endif
