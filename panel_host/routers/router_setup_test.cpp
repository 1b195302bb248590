#include "routers/router_setup.h"

#include <gtest/gtest.h>

namespace {

TEST(RouterChoice, ReadsOverridesAndNamesWhatIsWrong)
{
    struct row {
        std::string text;
        std::string expected;  // "protocol host:port matrix/level" or the error
    };
    const row rows[] = {
        {"31=swp08:127.0.0.1:9000", "swp08 127.0.0.1:9000 0/0"},
        {"31=swp08:127.0.0.1:9000:2:5", "swp08 127.0.0.1:9000 2/5"},
        {"31=videohub:10.0.0.7", "videohub 10.0.0.7:9990 0/0"},
        {"32=simulated", "simulated :0 0/0"},
        {"31=swp08:127.0.0.1",
         "\"31=swp08:127.0.0.1\": Address=\"127.0.0.1\" is not HOST:PORT (SW-P-08 has no usual port)"},
        {"31=swp08", "\"31=swp08\": Protocol=swp08 needs Address=HOST:PORT"},
        {"31=serial:x:1", "\"31=serial:x:1\": Protocol=serial is none of simulated, swp08, videohub"},
        {"31=swp08:h:70000", "\"31=swp08:h:70000\": Address=\"h:70000\" is not HOST:PORT with a port from 1 to 65535"},
        {"31=swp08:h:9000:16:0", "\"31=swp08:h:9000:16:0\": Matrix=16 is not a number from 0 to 15"},
        {"31=swp08:h:9000:1", "\"31=swp08:h:9000:1\": give both MATRIX and LEVEL, or neither"},
        {"swp08:h:9000", "\"swp08:h:9000\" is not DEV=PROTOCOL[:HOST:PORT[:MATRIX:LEVEL]]"},
    };
    for (const auto& r : rows) {
        int device = 0;
        router_choice choice;
        std::string error;
        std::string got = readRouterOverride(r.text, device, choice, error)
                              ? choice.protocol + " " + choice.address.host + ":" +
                                    std::to_string(choice.address.port) + " " + std::to_string(choice.matrix) + "/" +
                                    std::to_string(choice.level)
                              : error;
        EXPECT_EQ(got, r.expected) << r.text;
    }
    router_choice choice;
    std::string error;
    EXPECT_FALSE(readRouterChoice("simulated", "", "", "", "one", choice, error));
    EXPECT_EQ(error, "Offset=one is not a number");
    EXPECT_TRUE(readRouterChoice("", "", "", "", "0", choice, error));
    EXPECT_EQ(choice.offset, 0);
}

}  // namespace
