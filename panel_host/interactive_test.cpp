#include "interactive.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

TEST(InteractiveHeader, CompilesOnItsOwn)
{
    // The prompt itself needs a terminal; the scenario lines it runs are
    // those of the scenario tests.
    EXPECT_TRUE((std::is_same_v<decltype(&runInteractive), int (*)(session_recorder&)>));
}

}  // namespace
