#include "tessaly_q.h"

#include <gtest/gtest.h>

#include "tessaly_q_test_support.h"

TEST(TessalyQTalliesHeader, CompilesOnItsOwn) { EXPECT_GT(Tessaly_Q::tallyEntries, 200); }

namespace {

// What Take sends before the undo labels once the armed Take is disarmed
// and both selections are cleared (the routes go in between).
const lines disarmed = {"ET 1", "TP 'statesheet=LOW' '1' 'Take'", "CD '1' 'Take'"};
const lines selectionCleared = join({
    textClears({"Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3"}),
    {"HN 'selected=-1'"},
});

}  // namespace

class TessalyQTallies : public tessaly_q_fixture {
protected:
    // Routers 12 and 14 (64 destinations each) on levels 1 and 2 with
    // "uselevels" 1,2; level 3 has none; package level 3 is router 15,
    // which has no database size. Source package 5 is "3,8,3".
    void configureRouters(const std::string& useLevels = "1,2")
    {
        writeMatrix("t0,t1,A,B,C", "7,20,12,14,15");
        install.writeDatabaseSize(12, 1, 64);
        install.writeDatabaseSize(14, 1, 64);
        configure(useLevels);
        panel.parameter("takelow=LOW");
        panel.parameter("unusedleveltext=n/a");
        panel.link.answer("RN 20 0 5", "3,8,3");
        panel.sent();
    }

    // Selects source package 5 and destination package 9 (package text
    // `destinations`) and forgets the transcript.
    void select(const std::string& destinations)
    {
        panel.link.answer("RN 20 1 9", destinations);
        panel.parameter("srcpkg=5");
        panel.parameter("destpkg=9");
        panel.sent();
    }
};
TESSALY_Q_BOTH_BUILDS(TessalyQTallies);

TEST_P(TessalyQTallies, ARevertiveIsStoredForItsRoutersLevelAndReadByTheNextTake)
{
    configureRouters();
    panel.revertive(14, 17, 4);
    panel.revertive(99, 16, 6);  // no level's router
    EXPECT_EQ(panel.sent(), lines{});

    select("16,17");
    panel.link.answer("RN 14 0 4", "SRC 4");
    panel.link.answer("RN 12 1 16", "DST 16");
    panel.link.answer("RN 14 1 17", "DST 17");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 16 ',' 0", "RC 14 8 17 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",  // nothing reported for 16
                                      "RN 14 0 4",
                                      "TP 'text=SRC 4' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 16",
                                      "TP 'text=DST 16' '1' 'Dst_UL1'",
                                      "RN 14 1 17",
                                      "TP 'text=DST 17' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 14 4 17 ',' 0", "CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"})}));
}

TEST_P(TessalyQTallies, OnlyTheFirstLevelOnARouterGetsItsRevertives)
{
    configureRouters("1,1");  // router 12 on levels 1 and 2
    panel.revertive(12, 5, 9);
    select("5");
    panel.link.answer("RN 12 0 9", "SRC 9");
    panel.link.answer("RN 12 1 5", "DST 5");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 5 ',' 0", "RC 12 3 5 ',' 0"},
                                  selectionCleared,
                                  {
                                      "RN 12 0 9",
                                      "TP 'text=SRC 9' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",  // level 2's tally never heard of 5
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 5",
                                      "TP 'text=DST 5' '1' 'Dst_UL1'",
                                      "RN 12 1 5",
                                      "TP 'text=DST 5' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 12 9 5 ',' 0", "CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"})}));
}

TEST_P(TessalyQTallies, DestinationsOutsideTheTableAreDroppedWithoutTouchingOtherEntries)
{
    configureRouters();
    // Reports a table without bounds would spill into level 2's entry 200
    // and level 1's entry 1, and one for entry 0, which nothing reads.
    panel.revertive(12, 401, 9);
    panel.revertive(12, 201, 9);
    panel.revertive(14, -200, 9);
    panel.revertive(14, -1, 9);
    panel.revertive(12, 0, 9);
    panel.revertive(12, 2147483647, 9);
    EXPECT_EQ(panel.sent(), lines{});
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ(state->tally[0][0], 9);
        EXPECT_EQ(state->tally[0][1], -1);
        EXPECT_EQ(state->tally[0][200], -1);
        EXPECT_EQ(state->tally[1][0], -1);
        EXPECT_EQ(state->tally[1][200], -1);
    }

    select("1,200");
    panel.link.answer("RN 12 1 1", "DST 1");
    panel.link.answer("RN 14 1 200", "DST 200");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 1 ',' 0", "RC 14 8 200 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 1",
                                      "TP 'text=DST 1' '1' 'Dst_UL1'",
                                      "RN 14 1 200",
                                      "TP 'text=DST 200' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
}

TEST_P(TessalyQTallies, ATakeOnADestinationBeyondTheTableRoutesButRecordsNothingToRestore)
{
    configureRouters();
    panel.revertive(14, 20, 7);
    select("201,20");
    panel.link.answer("RN 12 1 201", "DST 201");
    panel.link.answer("RN 14 0 7", "SRC 7");
    panel.link.answer("RN 14 1 20", "DST 20");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 201 ',' 0", "RC 14 8 20 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "RN 14 0 7",
                                      "TP 'text=SRC 7' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 201",
                                      "TP 'text=DST 201' '1' 'Dst_UL1'",
                                      "RN 14 1 20",
                                      "TP 'text=DST 20' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ(state->undoSrc[0], -1);
        EXPECT_EQ(state->undoDest[0], 201);
    }
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 14 7 20 ',' 0", "CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"})}));
}

// Level 1's entry 201 would be level 2's entry 0 in memory. With that entry
// known, a capture that reads one past the table would show router 14's
// source 5 as level 1's undo and route it back onto router 12.
TEST_P(TessalyQTallies, ATakeJustBeyondTheTableDoesNotReadTheNextLevelsEntries)
{
    configureRouters();
    panel.revertive(14, 0, 5);
    panel.revertive(14, 20, 7);
    select("201,20");
    panel.link.answer("RN 12 0 5", "SRC 5");
    panel.link.answer("RN 12 1 201", "DST 201");
    panel.link.answer("RN 14 0 7", "SRC 7");
    panel.link.answer("RN 14 1 20", "DST 20");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 201 ',' 0", "RC 14 8 20 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "RN 14 0 7",
                                      "TP 'text=SRC 7' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 201",
                                      "TP 'text=DST 201' '1' 'Dst_UL1'",
                                      "RN 14 1 20",
                                      "TP 'text=DST 20' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 14 7 20 ',' 0", "CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"})}));
}

TEST_P(TessalyQTallies, AReportedStateIsStoredAsGivenAndMinusOneMeansUnknownAgain)
{
    configureRouters();
    panel.revertive(12, 5, 9);
    panel.revertive(12, 5, -1);
    panel.revertive(14, 6, 0);
    select("5,6");
    panel.link.answer("RN 12 1 5", "DST 5");
    panel.link.answer("RN 14 1 6", "DST 6");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 5 ',' 0", "RC 14 8 6 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",  // source 0 has no name to show
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 5",
                                      "TP 'text=DST 5' '1' 'Dst_UL1'",
                                      "RN 14 1 6",
                                      "TP 'text=DST 6' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    // Source 0 is routed back; the unknown source of level 1 is not.
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 14 0 6 ',' 0", "CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"})}));
}

TEST_P(TessalyQTallies, RegisteringAgainForgetsEveryReport)
{
    configureRouters();
    panel.revertive(12, 5, 9);
    panel.parameter("matrixobject=MTX");
    select("5,6");
    panel.link.answer("RN 12 1 5", "DST 5");
    panel.link.answer("RN 14 1 6", "DST 6");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 12 3 5 ',' 0", "RC 14 8 6 ',' 0"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 12 1 5",
                                      "TP 'text=DST 5' '1' 'Dst_UL1'",
                                      "RN 14 1 6",
                                      "TP 'text=DST 6' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
}

TEST_P(TessalyQTallies, ALevelMovedToAnUnsizedRouterKeepsItsPreviousReports)
{
    configureRouters();
    panel.revertive(12, 5, 9);
    // Level 1 moves to router 15, which has no database size: not
    // registered, so its tally still holds router 12's reports.
    panel.parameter("uselevels=3,2");
    select(",6,5");
    panel.link.answer("RN 15 0 9", "SRC 9");
    panel.link.answer("RN 15 1 5", "DST 5");
    panel.link.answer("RN 14 1 6", "DST 6");
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 15 3 5 ',' 0", "RC 14 8 6 ',' 0"},
                                  selectionCleared,
                                  {
                                      "RN 15 0 9",
                                      "TP 'text=SRC 9' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 15 1 5",
                                      "TP 'text=DST 5' '1' 'Dst_UL1'",
                                      "RN 14 1 6",
                                      "TP 'text=DST 6' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
}
