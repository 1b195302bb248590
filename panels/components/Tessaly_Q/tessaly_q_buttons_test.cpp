#include "tessaly_q.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>

#include "tessaly_q_test_support.h"

TEST(TessalyQButtonsHeader, CompilesOnItsOwn) { EXPECT_TRUE((std::has_virtual_destructor<Tessaly_Q>::value)); }

namespace {

const lines disarmed = {"ET 1", "TP 'statesheet=LOW' '1' 'Take'", "CD '1' 'Take'"};
const lines selectionCleared = join({
    textClears({"Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3"}),
    {"HN 'selected=-1'"},
});
const lines undoDropped = join({
    {"CD '1' 'Undo'"},
    textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"}),
});
// The undo labels of a Take that recorded nothing to restore.
const lines nothingToUndo = {
    "TP 'text=n/a' '1' 'Src_UL1'",
    "TP 'text=n/a' '1' 'Src_UL2'",
    "TP 'text=n/a' '1' 'Src_UL3'",
    "TP 'text=n/a' '1' 'Dst_UL1'",
    "TP 'text=n/a' '1' 'Dst_UL2'",
    "TP 'text=n/a' '1' 'Dst_UL3'",
    "CE '1' 'Undo'",
};

// The undo labels of a Take after reportRoutes(): sources 1, 2, 3 on
// destinations 21, 22, 23 of levels 1, 2, 3, whether or not each level was
// routed.
const lines undoLabelsOfReportedRoutes = {
    "RN 31 0 1",     "TP 'text=S 1' '1' 'Src_UL1'",  "RN 32 0 2",  "TP 'text=S 2' '1' 'Src_UL2'",
    "RN 33 0 3",     "TP 'text=S 3' '1' 'Src_UL3'",  "RN 31 1 21", "TP 'text=D 21' '1' 'Dst_UL1'",
    "RN 32 1 22",    "TP 'text=D 22' '1' 'Dst_UL2'", "RN 33 1 23", "TP 'text=D 23' '1' 'Dst_UL3'",
    "CE '1' 'Undo'",
};

}  // namespace

class TessalyQButtons : public tessaly_q_fixture {
protected:
    // Levels 1, 2, 3 on routers 31, 32, 33. Source package 5 is "11,12,13",
    // destination package 9 is "21,22,23"; source n is named "S n" and
    // destination n "D n" on every router.
    void configureThreeLevels()
    {
        writeMatrix();
        for (int device : {31, 32, 33})
            install.writeDatabaseSize(device, 1, 64);
        configure("1,2,3");
        panel.parameter("takelow=LOW");
        panel.parameter("takehigh=HIGH");
        panel.parameter("unusedleveltext=n/a");
        panel.link.answer("RN 20 0 5", "11,12,13");
        panel.link.answer("RN 20 1 9", "21,22,23");
        for (int device : {31, 32, 33}) {
            for (int index : {0, 1, 2, 3, 4, 11, 12, 13}) {
                panel.link.answer("RN " + std::to_string(device) + " 0 " + std::to_string(index),
                                  "S " + std::to_string(index));
            }
            for (int index : {21, 22, 23})
                panel.link.answer("RN " + std::to_string(device) + " 1 " + std::to_string(index),
                                  "D " + std::to_string(index));
        }
        panel.sent();
    }

    // What each destination carries before the Take: 1, 2, 3.
    void reportRoutes()
    {
        panel.revertive(31, 21, 1);
        panel.revertive(32, 22, 2);
        panel.revertive(33, 23, 3);
    }

    void select()
    {
        panel.parameter("srcpkg=5");
        panel.parameter("destpkg=9");
        panel.sent();
    }
};
TESSALY_Q_BOTH_BUILDS(TessalyQButtons);

TEST_P(TessalyQButtons, ButtonsOfAnotherPanelAreIgnored)
{
    configureThreeLevels();
    reportRoutes();
    select();
    for (const char* id : {"Take", "Clear", "Undo", "ID_L1", "Enable_L2"})
        panel.button(id, "2");
    panel.button("Take", "0");
    EXPECT_EQ(panel.sent(), lines{});
    panel.timer(1);  // still armed, nine ticks left
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=LOW' '1' 'Take'"}));
}

TEST_P(TessalyQButtons, ACaptionOrEnablePressTogglesOnlyItsLevelImage)
{
    configureThreeLevels();
    select();
    panel.button("ID_L2");
    panel.button("Enable_L2");
    panel.button("Enable_L1");
    panel.button("ID_L3");
    for (const char* id : {"Enable_L4", "ID_L0", "Src_L1", "take", "TUC_BGND", ""})
        panel.button(id);
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L1'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                            }));
    // Take is not re-checked: still armed with every level off.
    panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=LOW' '1' 'Take'"}));
}

TEST_P(TessalyQButtons, TakeRoutesEnabledLevelsAndShowsWhatUndoWouldRestore)
{
    configureThreeLevels();
    reportRoutes();
    panel.button("ID_L2");
    select();
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 31 11 21 ',' 0", "RC 33 13 23 ',' 1"},
                                  selectionCleared,
                                  undoLabelsOfReportedRoutes}));  // level 2 included
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 31 1 21 ',' 0", "RC 33 3 23 ',' 1"}, undoDropped}));
    // The undo state is gone: a second Undo sends nothing.
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), lines{});
}

// A router whose names go unanswered (offline): its undo labels are written
// empty, never with the name of the label written before them.
TEST_P(TessalyQButtons, UnansweredUndoNamesLeaveTheirLabelsEmpty)
{
    configureThreeLevels();
    reportRoutes();
    select();
    panel.link.clearAnswers();  // router 31 answers nothing from here on
    for (const char* line : {"RN 32 0 2", "RN 33 0 3"})
        panel.link.answer(line, std::string("S ") + line[8]);
    panel.link.answer("RN 32 1 22", "D 22");
    panel.link.answer("RN 33 1 23", "D 23");
    panel.button("Take");
    EXPECT_EQ(panel.sent(),
              join({disarmed,
                    {"RC 31 11 21 ',' 0", "RC 32 12 22 ',' 0", "RC 33 13 23 ',' 1"},
                    selectionCleared,
                    {"RN 31 0 1", "TP 'text=' '1' 'Src_UL1'", "RN 32 0 2", "TP 'text=S 2' '1' 'Src_UL2'", "RN 33 0 3",
                     "TP 'text=S 3' '1' 'Src_UL3'", "RN 31 1 21", "TP 'text=' '1' 'Dst_UL1'", "RN 32 1 22",
                     "TP 'text=D 22' '1' 'Dst_UL2'", "RN 33 1 23", "TP 'text=D 23' '1' 'Dst_UL3'", "CE '1' 'Undo'"}}));
}

TEST_P(TessalyQButtons, ALevelEnabledBeforeUndoIsRoutedBackWithTheOthers)
{
    configureThreeLevels();
    reportRoutes();
    panel.button("Enable_L2");
    select();
    panel.button("Take");
    panel.button("Enable_L2");
    panel.sent();
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 31 1 21 ',' 0", "RC 32 2 22 ',' 0", "RC 33 3 23 ',' 1"}, undoDropped}));
}

TEST_P(TessalyQButtons, TheFinalFlagBelongsToLevelThreeNotToTheLastRoute)
{
    configureThreeLevels();
    reportRoutes();
    panel.button("ID_L3");
    select();
    panel.button("Take");
    EXPECT_EQ(
        panel.sent(),
        join({disarmed, {"RC 31 11 21 ',' 0", "RC 32 12 22 ',' 0"}, selectionCleared, undoLabelsOfReportedRoutes}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 31 1 21 ',' 0", "RC 32 2 22 ',' 0"}, undoDropped}));

    // With levels 1 and 2 off, level 3's route is the only one, and final.
    panel.button("ID_L3");
    panel.button("ID_L1");
    panel.button("ID_L2");
    select();
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed, {"RC 33 13 23 ',' 1"}, selectionCleared, undoLabelsOfReportedRoutes}));
}

TEST_P(TessalyQButtons, AnUnknownSourceIsRoutedButNotRestored)
{
    configureThreeLevels();
    panel.revertive(32, 22, 2);  // nothing reported for 21 and 23
    select();
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 31 11 21 ',' 0", "RC 32 12 22 ',' 0", "RC 33 13 23 ',' 1"},
                                  selectionCleared,
                                  {
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "RN 32 0 2",
                                      "TP 'text=S 2' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 31 1 21",
                                      "TP 'text=D 21' '1' 'Dst_UL1'",
                                      "RN 32 1 22",
                                      "TP 'text=D 22' '1' 'Dst_UL2'",
                                      "RN 33 1 23",
                                      "TP 'text=D 23' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 32 2 22 ',' 0"}, undoDropped}));
}

TEST_P(TessalyQButtons, TakeWithNothingSelectedHoldsAnEmptyUndo)
{
    configureThreeLevels();
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({selectionCleared, nothingToUndo}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), undoDropped);
}

TEST_P(TessalyQButtons, ASecondTakeReplacesTheUndoByAnEmptyOne)
{
    configureThreeLevels();
    reportRoutes();
    select();
    panel.button("Take");
    panel.sent();
    panel.button("Take");
    // Not armed any more, nothing selected: no routes, nothing to restore.
    EXPECT_EQ(panel.sent(), join({selectionCleared, nothingToUndo}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), undoDropped);
}

TEST_P(TessalyQButtons, ClearDisarmsDropsTheUndoAndClearsBothSelections)
{
    configureThreeLevels();
    panel.button("Clear");  // nothing armed or held: still clears and notifies
    EXPECT_EQ(panel.sent(), selectionCleared);

    select();
    panel.button("Clear");
    EXPECT_EQ(panel.sent(), join({disarmed, selectionCleared}));
    EXPECT_EQ(panel.parameter("return=srcpkg"), std::optional<std::string>("srcpkg=5"));

    panel.button("Take");
    panel.sent();
    panel.button("Clear");
    EXPECT_EQ(panel.sent(), join({undoDropped, selectionCleared}));
}

TEST_P(TessalyQButtons, UndoWithoutAHeldUndoSendsNothing)
{
    configureThreeLevels();
    reportRoutes();
    panel.button("Undo");
    select();
    panel.sent();
    panel.button("Undo");  // a selection is not an undo
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQButtons, TheUndoCaptureIsTakenBeforeAnyRouteIsSent)
{
    configureThreeLevels();
    reportRoutes();
    select();
    // A host that reports every route at once, from inside the route
    // command: had the capture followed the routes, it would record the new
    // sources.
    panel.link.onCommand = [this](const std::string& line) {
        int device = 0, source = 0, destination = 0;
        if (std::sscanf(line.c_str(), "RC %d %d %d", &device, &source, &destination) == 3)
            panel.revertive(device, destination, source);
    };
    panel.button("Take");
    EXPECT_EQ(panel.sent(), join({disarmed,
                                  {"RC 31 11 21 ',' 0", "RC 32 12 22 ',' 0", "RC 33 13 23 ',' 1"},
                                  selectionCleared,
                                  undoLabelsOfReportedRoutes}));
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), join({{"RC 31 1 21 ',' 0", "RC 32 2 22 ',' 0", "RC 33 3 23 ',' 1"}, undoDropped}));
}
