#include "tessaly_q.h"

#include <gtest/gtest.h>

#include "tessaly_q_test_support.h"

TEST(TessalyQHeader, CompilesOnItsOwn)
{
    EXPECT_EQ(Tessaly_Q::levelCount, 3);
    EXPECT_EQ(Tessaly_Q::tallyEntries, 201);
}

TEST(TessalyQLinked, EveryTallyEntryStartsUnknown)
{
    recording_host_link link;
    tessaly_q_probe panel(&link, "");
    for (const auto& table : panel.tally)
        for (std::int32_t entry : table)
            ASSERT_EQ(entry, -1);
    EXPECT_EQ(panel.undoSrc[0], 0);
    EXPECT_EQ(panel.srcIndex[2], 0);
}

using TessalyQLifecycle = tessaly_q_fixture;
TESSALY_Q_BOTH_BUILDS(TessalyQLifecycle);

TEST_P(TessalyQLifecycle, NewPanelShowsLayoutWithTakeAndUndoDisabledAndThreeTicks)
{
    EXPECT_EQ(constructionTranscript, (lines{
                                          "PS '1' 'TessalyQ.zelm_ui'",
                                          "CD '1' 'Take'",
                                          "CD '1' 'Undo'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'",
                                      }));
}

TEST_P(TessalyQLifecycle, LoadDataIsTheLayoutFolder)
{
    panel_driver other(GetParam());
    ASSERT_TRUE(other.create("panels/take")) << other.error();
    EXPECT_EQ(other.sent(), (lines{
                                "PS '1' 'panels/take/TessalyQ.zelm_ui'",
                                "CD '1' 'Take'",
                                "CD '1' 'Undo'",
                                "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'",
                            }));
}

TEST_P(TessalyQLifecycle, DestroyingAnUnconfiguredPanelSendsOnlyTheClosingNotice)
{
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"AS"}));
}

TEST_P(TessalyQLifecycle, DestroyingAConfiguredPanelReleasesEachLevelRouterInLevelOrder)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    install.writeDatabaseSize(33, 1, 64);
    configure("1,0,3");
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 33", "AS"}));
}

TEST_P(TessalyQLifecycle, DestroyingWhileTakeIsArmedStopsTheTimerOnce)
{
    armWorkedExample();
    panel.destroy();
    // Router 33 has no database size and was never registered; the panel
    // still releases every level router it holds.
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 33", "ET 1", "AS"}));
}

TEST_P(TessalyQLifecycle, DestroyingAfterTheTakeTimedOutStopsNoTimer)
{
    armWorkedExample();
    for (int tick = 0; tick < 10; ++tick)
        panel.timer(1);
    panel.sent();
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 33", "AS"}));
}

TEST_P(TessalyQLifecycle, DestroyingWhileAnUndoIsHeldOnlyReleasesTheRouters)
{
    armWorkedExample();
    panel.button("Take");
    panel.sent();
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 33", "AS"}));
}

TEST_P(TessalyQLifecycle, ResetReleasesRoutersEmptiesCaptionsAndCrossesEveryLevel)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    configure("1");
    panel.parameter("uselevels=0,0,0");
    EXPECT_EQ(panel.sent(), (lines{
                                "RU 31",
                                "TP 'text=' '1' 'ID_L1'",
                                "TP 'text=' '1' 'ID_L2'",
                                "TP 'text=' '1' 'ID_L3'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L1'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                            }));

    // Nothing left to release the second time; captions and crosses again.
    panel.parameter("uselevels=0,0,0");
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'text=' '1' 'ID_L1'",
                                "TP 'text=' '1' 'ID_L2'",
                                "TP 'text=' '1' 'ID_L3'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L1'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                            }));

    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"AS"}));
}

TEST_P(TessalyQLifecycle, ResetLeavesTakeUndoAndNameLabelsAlone)
{
    armWorkedExample();
    panel.parameter("uselevels=");
    // Take stays armed and flashing: the reset touches only routers,
    // captions and level enables.
    EXPECT_EQ(panel.sent(), (lines{
                                "RU 31",
                                "RU 33",
                                "TP 'text=' '1' 'ID_L1'",
                                "TP 'text=' '1' 'ID_L2'",
                                "TP 'text=' '1' 'ID_L3'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L1'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                            }));
    panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=LOW' '1' 'Take'"}));
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"ET 1", "AS"}));
}
