#include "tessaly_q.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>

#include "tessaly_q_test_support.h"

TEST(TessalyQTakeArmingHeader, CompilesOnItsOwn) { EXPECT_TRUE((std::is_polymorphic<Tessaly_Q>::value)); }

namespace {

const lines armed = {"ET 1 1000", "CE '1' 'Take'", "TP 'statesheet=HIGH' '1' 'Take'"};
const lines disarmed = {"ET 1", "TP 'statesheet=LOW' '1' 'Take'", "CD '1' 'Take'"};

}  // namespace

class TessalyQTakeArming : public tessaly_q_fixture {
protected:
    // Only level 2 has a router (31): "uselevels" 0,1.
    void configureLevelTwoOnly()
    {
        writeMatrix();
        install.writeDatabaseSize(31, 1, 64);
        configure("0,1");
        panel.parameter("takelow=LOW");
        panel.parameter("takehigh=HIGH");
        panel.parameter("unusedleveltext=n/a");
        panel.link.answer("RN 31 0 4", "SRC 4");
        panel.link.answer("RN 31 1 7", "DST 7");
        panel.sent();
    }
};
TESSALY_Q_BOTH_BUILDS(TessalyQTakeArming);

TEST_P(TessalyQTakeArming, BothPackagesPresentOnALevelWithARouterArmTake)
{
    configureLevelTwoOnly();
    panel.link.answer("RN 20 0 5", "4");
    panel.link.answer("RN 20 1 9", "7");
    panel.parameter("srcpkg=5");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5",
                                "TP 'text=n/a' '1' 'Src_L1'",
                                "RN 31 0 4",
                                "TP 'text=SRC 4' '1' 'Src_L2'",
                                "TP 'text=n/a' '1' 'Src_L3'",
                            }));
    panel.parameter("destpkg=9");
    // The timer starts before "Take" is enabled.
    EXPECT_EQ(panel.sent(), join({{
                                      "RN 20 1 9",
                                      "TP 'text=n/a' '1' 'Dst_L1'",
                                      "RN 31 1 7",
                                      "TP 'text=DST 7' '1' 'Dst_L2'",
                                      "TP 'text=n/a' '1' 'Dst_L3'",
                                  },
                                  armed}));
}

TEST_P(TessalyQTakeArming, APackageMissingFromTheOnlyRoutedLevelDisarms)
{
    configureLevelTwoOnly();
    panel.link.answer("RN 20 0 5", "4");
    panel.link.answer("RN 20 0 6", "-");
    panel.link.answer("RN 20 1 9", "7");
    panel.link.answer("RN 20 1 8", "-");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.sent();

    panel.parameter("srcpkg=6");
    EXPECT_EQ(panel.sent(), join({{
                                      "RN 20 0 6",
                                      "TP 'text=n/a' '1' 'Src_L1'",
                                      "TP 'text=n/a' '1' 'Src_L2'",
                                      "TP 'text=n/a' '1' 'Src_L3'",
                                  },
                                  disarmed}));
    panel.parameter("srcpkg=5");
    panel.sent();
    panel.parameter("destpkg=8");
    EXPECT_EQ(panel.sent(), join({{
                                      "RN 20 1 8",
                                      "TP 'text=n/a' '1' 'Dst_L1'",
                                      "TP 'text=n/a' '1' 'Dst_L2'",
                                      "TP 'text=n/a' '1' 'Dst_L3'",
                                  },
                                  disarmed}));
    // Not armed: a further not-ready check sends nothing for "Take".
    panel.parameter("destpkg=8");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 1 8",
                                "TP 'text=n/a' '1' 'Dst_L1'",
                                "TP 'text=n/a' '1' 'Dst_L2'",
                                "TP 'text=n/a' '1' 'Dst_L3'",
                            }));
}

TEST_P(TessalyQTakeArming, ArmingAgainOnlyRestartsTheCount)
{
    armWorkedExample();
    panel.timer(1);
    panel.timer(1);
    panel.timer(1);
    panel.sent();
    panel.parameter("destpkg=9");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 1 9",
                                "RN 31 1 5",
                                "TP 'text=MON 5' '1' 'Dst_L1'",
                                "RN 33 1 6",
                                "TP 'text=REC 6' '1' 'Dst_L2'",
                                "TP 'text=n/a' '1' 'Dst_L3'",
                                "ET 1",
                                "ET 1 1000",
                            }));
    // Ten more ticks from here, the first one low again.
    for (int tick = 0; tick < 9; ++tick)
        panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                            }));
    panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=HIGH' '1' 'Take'", "ET 1", "CD '1' 'Take'"}));
}

TEST_P(TessalyQTakeArming, TenTicksFlashTakeAndDisarmItLeavingTheHighSheetAndTheSelection)
{
    armWorkedExample();
    for (int tick = 0; tick < 10; ++tick)
        panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "TP 'statesheet=LOW' '1' 'Take'",
                                "TP 'statesheet=HIGH' '1' 'Take'",
                                "ET 1",
                                "CD '1' 'Take'",
                            }));
    EXPECT_EQ(panel.parameter("return=srcpkg"), std::optional<std::string>("srcpkg=5"));

    // Disarmed already: "Clear" does not put the low sheet back.
    panel.button("Clear");
    EXPECT_EQ(panel.sent(),
              join({textClears({"Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3"}), {"HN 'selected=-1'"}}));
}

TEST_P(TessalyQTakeArming, ATakeAfterTheTimeOutStillRoutesTheKeptSelection)
{
    armWorkedExample();
    for (int tick = 0; tick < 10; ++tick)
        panel.timer(1);
    panel.sent();
    panel.button("Take");
    // No disarm first: the Take was no longer armed.
    EXPECT_EQ(panel.sent(), join({{"RC 31 12 5 ',' 0", "RC 33 40 6 ',' 0"},
                                  textClears({"Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3"}),
                                  {
                                      "HN 'selected=-1'",
                                      "TP 'text=n/a' '1' 'Src_UL1'",
                                      "TP 'text=n/a' '1' 'Src_UL2'",
                                      "TP 'text=n/a' '1' 'Src_UL3'",
                                      "RN 31 1 5",
                                      "TP 'text=MON 5' '1' 'Dst_UL1'",
                                      "RN 33 1 6",
                                      "TP 'text=REC 6' '1' 'Dst_UL2'",
                                      "TP 'text=n/a' '1' 'Dst_UL3'",
                                      "CE '1' 'Undo'",
                                  }}));
}

TEST_P(TessalyQTakeArming, AForeignTimerIsStoppedAndNothingElse)
{
    armWorkedExample();
    panel.timer(7);
    EXPECT_EQ(panel.sent(), (lines{"ET 7"}));
    panel.timer(1);  // the take count did not move: 9 left, low
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=LOW' '1' 'Take'"}));
}

TEST_P(TessalyQTakeArming, DroppingTheUndoSetsItsIndicesToZero)
{
    armWorkedExample();
    panel.revertive(31, 5, 9);
    panel.button("Take");
    panel.sent();
    // Index 0 is what a cleared source shows; the held undo source is 9.
    panel.databaseChange(31, 0, 0, "ZERO");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=ZERO' '1' 'Src_L1'"}));

    panel.button("Clear");
    EXPECT_EQ(panel.sent(), join({{"CD '1' 'Undo'"},
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"}),
                                  textClears({"Src_L1", "Src_L2", "Src_L3", "Dst_L1", "Dst_L2", "Dst_L3"}),
                                  {"HN 'selected=-1'"}}));
    // Now the undo indices are 0 as well, not -1.
    panel.databaseChange(31, 0, 0, "ZERO");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=ZERO' '1' 'Src_L1'", "TP 'text=ZERO' '1' 'Src_UL1'"}));
    panel.databaseChange(31, 1, 0, "ZERO");
    EXPECT_EQ(panel.sent(), (lines{"TP 'text=ZERO' '1' 'Dst_L1'", "TP 'text=ZERO' '1' 'Dst_UL1'"}));
    if (tessaly_q_probe* state = panel.probe()) {
        EXPECT_EQ(state->undoSrc[0], 0);
        EXPECT_EQ(state->undoDest[1], 0);
    }
}
