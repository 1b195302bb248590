#include "tessaly_q.h"

#include <gtest/gtest.h>

#include "tessaly_q_test_support.h"

TEST(TessalyQNamesHeader, CompilesOnItsOwn) { EXPECT_EQ(Tessaly_Q::levelCount, 3); }

namespace {

const lines undoLabelsEmptied = textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"});

}  // namespace

class TessalyQNames : public tessaly_q_fixture {
protected:
    // Package levels 1, 2, 3 on routers 31, 32, 33, every router sized.
    void configureThreeLevels(const std::string& useLevels = "1,2,3", const std::string& driverIds = "7,20,31,32,33")
    {
        writeMatrix("t0,t1,Alpha,Beta,Gamma", driverIds);
        install.writeDatabaseSize(31, 1, 64);
        install.writeDatabaseSize(32, 1, 64);
        install.writeDatabaseSize(33, 1, 64);
        configure(useLevels);
        panel.parameter("takelow=LOW");
        panel.parameter("takehigh=HIGH");
        panel.parameter("unusedleveltext=n/a");
        panel.sent();
    }
};
TESSALY_Q_BOTH_BUILDS(TessalyQNames);

TEST_P(TessalyQNames, APackageResolvesToOneIndexPerLevelWithNamesShown)
{
    configureThreeLevels();
    panel.link.answer("RN 20 0 5", "12,-,40");
    panel.link.answer("RN 31 0 12", "CAM|1");
    panel.link.answer("RN 33 0 40", "VTR|A|40");
    panel.parameter("srcpkg=5");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5",
                                "RN 31 0 12",
                                "TP 'text=CAM 1' '1' 'Src_L1'",
                                "TP 'text=n/a' '1' 'Src_L2'",
                                "RN 33 0 40",
                                "TP 'text=VTR A 40' '1' 'Src_L3'",
                            }));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ((std::vector<std::int32_t>(state->srcIndex, state->srcIndex + 3)),
                  (std::vector<std::int32_t>{12, -1, 40}));
    }
}

TEST_P(TessalyQNames, EachLevelReadsTheFieldOfItsOwnPackageLevel)
{
    configureThreeLevels("3,1");
    panel.link.answer("RN 20 1 9", "12,-,40");
    panel.link.answer("RN 33 1 40", "MON 40");
    panel.link.answer("RN 31 1 12", "MON 12");
    panel.parameter("destpkg=9");
    // Level 3 is not in use and holds no router.
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 1 9",
                                "RN 33 1 40",
                                "TP 'text=MON 40' '1' 'Dst_L1'",
                                "RN 31 1 12",
                                "TP 'text=MON 12' '1' 'Dst_L2'",
                                "TP 'text=n/a' '1' 'Dst_L3'",
                            }));
}

TEST_P(TessalyQNames, ALevelWithoutARouterShowsTheUnusedTextWhateverThePackageSays)
{
    configureThreeLevels("1,2,3", "7,20,31,,33");
    panel.link.answer("RN 20 0 5", "12,13,14");
    panel.link.answer("RN 31 0 12", "CAM 12");
    panel.link.answer("RN 33 0 14", "CAM 14");
    panel.parameter("srcpkg=5");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5",
                                "RN 31 0 12",
                                "TP 'text=CAM 12' '1' 'Src_L1'",
                                "TP 'text=n/a' '1' 'Src_L2'",
                                "RN 33 0 14",
                                "TP 'text=CAM 14' '1' 'Src_L3'",
                            }));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ(state->srcIndex[1], 0);
    }
}

TEST_P(TessalyQNames, AnUnansweredNameLookupLeavesItsLabelEmpty)
{
    configureThreeLevels();
    panel.link.answer("RN 20 0 5", "12,13,14");
    panel.link.answerNull("RN 31 0 12");
    panel.link.answer("RN 32 0 13", "CAM|13");
    panel.parameter("srcpkg=5");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5", "RN 31 0 12", "TP 'text=' '1' 'Src_L1'", "RN 32 0 13",
                                "TP 'text=CAM 13' '1' 'Src_L2'", "RN 33 0 14",
                                "TP 'text=' '1' 'Src_L3'",  // not the name of level 2
                            }));
    EXPECT_EQ(panel.link.nullGiveBacks(), 2);  // unanswered lookups give back null too
}

TEST_P(TessalyQNames, FieldsMissingFromThePackageTextCountAsNothingOnThatLevel)
{
    configureThreeLevels();
    panel.link.answer("RN 20 0 5", "12,x");
    panel.link.answer("RN 31 0 12", "CAM 12");
    panel.link.answer("RN 32 0 0", "CAM 0");
    panel.parameter("srcpkg=5");
    // A field that is not a number reads as index 0, which is looked up.
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5",
                                "RN 31 0 12",
                                "TP 'text=CAM 12' '1' 'Src_L1'",
                                "RN 32 0 0",
                                "TP 'text=CAM 0' '1' 'Src_L2'",
                                "TP 'text=n/a' '1' 'Src_L3'",
                            }));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ(state->srcIndex[2], -1);
    }

    // No answer at all: an empty package text, nothing on any level.
    panel.link.answerNull("RN 20 0 6");
    panel.parameter("srcpkg=6");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 6",
                                "TP 'text=n/a' '1' 'Src_L1'",
                                "TP 'text=n/a' '1' 'Src_L2'",
                                "TP 'text=n/a' '1' 'Src_L3'",
                            }));
}

TEST_P(TessalyQNames, DeselectingAPackageDisarmsTakeAndEmptiesItsLabels)
{
    configureThreeLevels();
    panel.link.answer("RN 20 0 5", "12,13,14");
    panel.link.answer("RN 20 1 9", "2,3,4");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.sent();
    panel.parameter("srcpkg=-1");
    EXPECT_EQ(panel.sent(), join({{"ET 1", "TP 'statesheet=LOW' '1' 'Take'", "CD '1' 'Take'"},
                                  textClears({"Src_L1", "Src_L2", "Src_L3"})}));
    panel.parameter("destpkg=-1");
    EXPECT_EQ(panel.sent(), textClears({"Dst_L1", "Dst_L2", "Dst_L3"}));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ((std::vector<std::int32_t>(state->srcIndex, state->srcIndex + 3)),
                  (std::vector<std::int32_t>{0, 0, 0}));
        EXPECT_EQ((std::vector<std::int32_t>(state->destIndex, state->destIndex + 3)),
                  (std::vector<std::int32_t>{0, 0, 0}));
    }
}

TEST_P(TessalyQNames, SelectingOrDeselectingAPackageDropsAHeldUndoFirst)
{
    configureThreeLevels();
    panel.button("Take");  // an empty undo, but held
    panel.sent();
    panel.parameter("srcpkg=-1");
    EXPECT_EQ(panel.sent(), join({{"CD '1' 'Undo'"}, undoLabelsEmptied, textClears({"Src_L1", "Src_L2", "Src_L3"})}));

    panel.button("Take");
    panel.sent();
    panel.link.answer("RN 20 1 9", "2,-,-");
    panel.link.answer("RN 31 1 2", "MON 2");
    panel.parameter("destpkg=9");
    EXPECT_EQ(panel.sent(), join({{"CD '1' 'Undo'"},
                                  undoLabelsEmptied,
                                  {
                                      "RN 20 1 9",
                                      "RN 31 1 2",
                                      "TP 'text=MON 2' '1' 'Dst_L1'",
                                      "TP 'text=n/a' '1' 'Dst_L2'",
                                      "TP 'text=n/a' '1' 'Dst_L3'",
                                  }}));
}

TEST_P(TessalyQNames, WithoutAPackageNamesDeviceSelectingChangesNothing)
{
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=-1");
    panel.parameter("srcpkg=-1");
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQNames, ANameChangeUpdatesEveryLabelShowingThatNameAsDelivered)
{
    configureThreeLevels("1,1,2");  // router 31 on levels 1 and 2
    panel.link.answer("RN 20 0 5", "12,7");
    panel.link.answer("RN 20 1 9", "12,7");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.parameter("destnamesdatabase=0");  // one database for both kinds
    panel.sent();

    panel.databaseChange(31, 0, 12, "NEW|12");
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'text=NEW|12' '1' 'Src_L1'",
                                "TP 'text=NEW|12' '1' 'Dst_L1'",
                                "TP 'text=NEW|12' '1' 'Src_L2'",
                                "TP 'text=NEW|12' '1' 'Dst_L2'",
                            }));
    panel.databaseChange(32, 1, 7, "OLD DB");  // no names database 1 any more
    panel.databaseChange(33, 0, 7, "OTHER");   // no level's router
    panel.databaseChange(32, 0, 8, "OTHER");   // no label shows index 8
    EXPECT_EQ(panel.sent(), lines{});
    panel.databaseChange(32, 0, 7, "CAM 7");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=CAM 7' '1' 'Src_L3'", "TP 'text=CAM 7' '1' 'Dst_L3'"}));
}

TEST_P(TessalyQNames, ANameChangeReachesTheUndoLabelOfTheSameIndexToo)
{
    configureThreeLevels();
    panel.link.answer("RN 20 0 5", "1,2,3");
    panel.link.answer("RN 20 1 9", "5,6,7");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.revertive(32, 6, 0);  // level 2's destination carries source 0
    panel.button("Take");       // clears srcIndex to 0; undoSrc of level 2 is 0
    panel.sent();
    panel.databaseChange(32, 0, 0, "BLACK");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=BLACK' '1' 'Src_L2'", "TP 'text=BLACK' '1' 'Src_UL2'"}));
    panel.databaseChange(32, 1, 6, "DEST 6");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=DEST 6' '1' 'Dst_UL2'"}));
}
