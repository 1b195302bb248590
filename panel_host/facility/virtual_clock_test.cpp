#include "facility/virtual_clock.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(VirtualClockHeader, CompilesOnItsOwn)
{
    virtual_clock clock;
    EXPECT_EQ(clock.now(), 0);
}

// Everything due up to `limit`, as "time:what" texts.
std::vector<std::string> drain(virtual_clock& clock, std::int64_t limit)
{
    std::vector<std::string> seen;
    while (auto item = clock.next(limit)) {
        std::string what;
        if (item->what == clock_item::kind::timer)
            what = "tick" + std::to_string(item->timerId);
        else if (item->what == clock_item::kind::revertive)
            what = "rev" + std::to_string(item->device) + "/" + std::to_string(item->destination) + "=" +
                   std::to_string(item->source);
        else
            what = "action";
        seen.push_back(std::to_string(clock.now()) + ":" + what);
    }
    clock.advanceTo(limit);
    return seen;
}

TEST(VirtualClock, TimersTickPeriodicallyUntilStopped)
{
    virtual_clock clock;
    clock.startTimer(1, 1000);
    clock.startTimer(2, 400);
    EXPECT_EQ(drain(clock, 999), (std::vector<std::string>{"400:tick2", "800:tick2"}));
    EXPECT_EQ(clock.now(), 999);
    EXPECT_EQ(drain(clock, 2000),
              (std::vector<std::string>{"1000:tick1", "1200:tick2", "1600:tick2", "2000:tick1", "2000:tick2"}));
    EXPECT_TRUE(clock.stopTimer(2));
    EXPECT_FALSE(clock.stopTimer(2));
    EXPECT_EQ(clock.timerInterval(1), 1000);
    EXPECT_EQ(clock.timerInterval(2), std::nullopt);
    EXPECT_EQ(drain(clock, 3000), (std::vector<std::string>{"3000:tick1"}));
}

TEST(VirtualClock, RestartingATimerStartsItsCountAgain)
{
    virtual_clock clock;
    clock.startTimer(1, 1000);
    drain(clock, 600);
    clock.startTimer(1, 1000);
    EXPECT_EQ(drain(clock, 1500), (std::vector<std::string>{}));
    EXPECT_EQ(drain(clock, 1600), (std::vector<std::string>{"1600:tick1"}));
    clock.startTimer(1, 0);  // an interval of 0 stops it
    EXPECT_FALSE(clock.timerRunning(1));
}

TEST(VirtualClock, RevertivesComeInOrderOfDueTimeThenOfScheduling)
{
    virtual_clock clock;
    clock.scheduleRevertive(500, 31, 1, 4);
    clock.scheduleRevertive(0, 31, 2, 5);
    clock.scheduleRevertive(0, 32, 3, 6);
    clock.scheduleRevertive(-10, 33, 4, 7);  // never in the past
    EXPECT_EQ(clock.pending(), 4u);
    EXPECT_EQ(drain(clock, 0), (std::vector<std::string>{"0:rev31/2=5", "0:rev32/3=6", "0:rev33/4=7"}));
    clock.startTimer(9, 500);
    EXPECT_EQ(drain(clock, 500), (std::vector<std::string>{"500:rev31/1=4", "500:tick9"}));
}

TEST(VirtualClock, OwnersHaveTimersAndRevertivesOfTheirOwn)
{
    virtual_clock clock;
    clock.startTimer(1, 1000);
    clock.startTimer(1, 400, 2);  // the same id, another component's timer
    clock.scheduleRevertive(0, 31, 3, 1, 2);
    clock.scheduleRevertive(0, 31, 3, 1);
    clock.dropPendingFor(2);
    EXPECT_EQ(clock.pending(), 1u);
    EXPECT_EQ(clock.timerIntervals(2), (std::map<int, std::int64_t>{{1, 400}}));
    std::vector<std::string> seen;
    while (auto item = clock.next(1000))
        seen.push_back(std::to_string(item->owner) + (item->what == clock_item::kind::timer ? ":tick@" : ":rev@") +
                       std::to_string(item->due));
    EXPECT_EQ(seen, (std::vector<std::string>{"0:rev@0", "2:tick@400", "2:tick@800", "0:tick@1000"}));
    EXPECT_TRUE(clock.stopTimer(1, 2));
    EXPECT_TRUE(clock.timerRunning(1));
    EXPECT_FALSE(clock.timerRunning(1, 2));
}

TEST(VirtualClock, NothingDueLeavesTheClockWhereItIs)
{
    virtual_clock clock;
    clock.scheduleAction(100, nullptr);
    EXPECT_FALSE(clock.next(99).has_value());
    EXPECT_EQ(clock.now(), 0);
    clock.advanceTo(50);
    clock.advanceTo(10);
    EXPECT_EQ(clock.now(), 50);
    clock.dropPending();
    EXPECT_EQ(clock.pending(), 0u);
    EXPECT_FALSE(clock.next(1000).has_value());
}

TEST(VirtualClock, ARealRoutersReportsAreMergedPerOwnerAndDestination)
{
    virtual_clock clock;
    clock.scheduleLatestRevertive(0, 31, 3, 1);
    clock.scheduleLatestRevertive(0, 31, 4, 1);
    for (int source = 2; source <= 1000; ++source)
        clock.scheduleLatestRevertive(0, 31, 3, source);  // a flood costs nothing
    clock.scheduleLatestRevertive(0, 31, 3, 7, 1);        // another owner's is its own
    int runs = 0;
    for (int i = 0; i < 1000; ++i)
        clock.scheduleActionOnce(31, 0, 5, 0, [&runs] { ++runs; });
    EXPECT_EQ(clock.pending(), 4u);
    std::vector<std::string> seen;
    while (auto item = clock.next(0)) {
        if (item->what == clock_item::kind::action)
            item->action();
        else
            seen.push_back(std::to_string(item->owner) + ":" + std::to_string(item->destination) + "=" +
                           std::to_string(item->source));
    }
    // In the order first scheduled, each with its last source.
    EXPECT_EQ(seen, (std::vector<std::string>{"0:3=1000", "0:4=1", "1:3=7"}));
    EXPECT_EQ(runs, 1);
    // Once delivered, the next report queues anew; dropping forgets them all.
    clock.scheduleLatestRevertive(0, 31, 3, 2);
    clock.scheduleActionOnce(31, 0, 5, 0, [&runs] { ++runs; });
    EXPECT_EQ(clock.pending(), 2u);
    clock.dropPendingFor(0);
    clock.scheduleLatestRevertive(0, 31, 3, 3);
    EXPECT_EQ(clock.pending(), 2u);
    clock.dropPending();
    clock.scheduleActionOnce(31, 0, 5, 0, [&runs] { ++runs; });
    EXPECT_EQ(clock.pending(), 1u);
}

}  // namespace
