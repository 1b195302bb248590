#include "floor_target.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(floor_target, StoresEveryRecordInsideItsTable)
{
    const std::unique_ptr<floor_target> target(makeFloorTarget());
    const revertiveRecord inside{31, 0, 200, 7};
    const revertiveRecord outside{31, 0, 201, 7};
    const revertiveRecord negative{31, 0, -1, 7};
    EXPECT_EQ(target->store(&inside), 0);
    EXPECT_EQ(target->store(&outside), 0);  // dropped, not written past the end
    EXPECT_EQ(target->store(&negative), 0);
    EXPECT_EQ(target->at(200), 7);
    EXPECT_EQ(target->at(199), 0);
    EXPECT_EQ(target->at(201), -1);
}

}  // namespace
