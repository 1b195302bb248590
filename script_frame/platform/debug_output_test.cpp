#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <string>

TEST(DebugOutput, OneMessagePerLine)
{
    testing::internal::CaptureStderr();
    zelm_platform::debugOutput("first");
    zelm_platform::debugOutput(nullptr);
    zelm_platform::debugOutput("third \"quoted\"");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\n\nthird \"quoted\"\n");
}
