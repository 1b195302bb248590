#include "app/interactive.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

TEST(InteractiveHeader, CompilesOnItsOwn)
{
    // The prompt itself needs a terminal: tests/prompt_session.py drives it
    // through a pseudo-terminal.
    EXPECT_TRUE(
        (std::is_same_v<decltype(&runInteractive), int (*)(session_recorder&, transcript&, const prompt_hooks&)>));
}

}  // namespace
