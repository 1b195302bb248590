#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <string>

#include "debug_capture.h"

TEST(DebugOutput, OneMessagePerLine)
{
    debug_capture capture;
    zelm_platform::debugOutput("first");
    zelm_platform::debugOutput(nullptr);
    zelm_platform::debugOutput("third \"quoted\"");
    EXPECT_EQ(capture.text(), "first\n\nthird \"quoted\"\n");
}
