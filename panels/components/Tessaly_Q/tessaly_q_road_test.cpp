// The whole road of a take / undo panel, from loading to deletion: the host
// configures it, the routers report, packages are selected and named, Take
// is armed, flashes and routes, the routers report the new routes, Undo
// routes back, and the host deletes the panel. Runs against the class
// linked in and against the module loaded as the host loads it.
#include "tessaly_q.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tessaly_q_test_support.h"

TEST(TessalyQRoadHeader, CompilesOnItsOwn) { EXPECT_EQ(Tessaly_Q::tallyEntries, 201); }

using TessalyQRoad = tessaly_q_fixture;
TESSALY_Q_BOTH_BUILDS(TessalyQRoad);

TEST_P(TessalyQRoad, ConfigureSelectTakeUndoAndDelete)
{
    install.writeConfig(
        "object_settings.xml",
        objectSettingsXml(
            {{"MTX",
              {{"package_levels", "3"}, {"driver_type", "t0,t1,Cam,Vtr,Aud"}, {"driver_ids", "7,20,31,32,33"}}}}));
    install.writeDatabaseSize(31, 1, 16);
    install.writeDatabaseSize(32, 1, 8);
    install.writeDatabaseSize(33, 1, 4);
    recording_host_link& host = panel.link;
    host.answer("RN 20 0 12", "5,6,2");
    host.answer("RN 20 1 40", "3,3,4");
    host.answer("RN 31 0 5", "CAM|5");
    host.answer("RN 32 0 6", "VTR 6");
    host.answer("RN 33 0 2", "MIC 2");
    host.answer("RN 31 1 3", "MON 3");
    host.answer("RN 32 1 3", "REC 3");
    host.answer("RN 33 1 4", "PA 4");
    host.answer("RN 31 0 1", "CAM 1");
    host.answer("RN 32 0 2", "VTR 2");
    host.answer("RN 33 0 1", "MIC 1");

    // Loaded: the layout, Take and Undo disabled, three ticks.
    EXPECT_EQ(constructionTranscript, (lines{
                                          "PS '1' 'TessalyQ.zelm_ui'",
                                          "CD '1' 'Take'",
                                          "CD '1' 'Undo'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                          "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'",
                                      }));

    // The host's look and feel.
    for (const char* set : {"takelow=TakeLow", "takehigh=TakeHigh", "mimicstate_L1=Mimic", "takeundobgstate=Bg",
                            "unusedleveltext=---", "instance=Studio A"})
        EXPECT_EQ(panel.parameter(set), std::nullopt) << set;
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'statesheet=Mimic' '1' 'Src_L1'",
                                "TP 'statesheet=Mimic' '1' 'Src_UL1'",
                                "TP 'statesheet=Mimic' '1' 'Dst_L1'",
                                "TP 'statesheet=Mimic' '1' 'Dst_UL1'",
                                "TP 'statesheet=Bg' '1' 'TUC_BGND'",
                            }));

    // 1. The matrix object and the level list configure the three levels.
    panel.parameter("matrixobject=MTX");
    EXPECT_EQ(panel.sent(), captionsClearedAndLevelsCrossed);
    panel.parameter("uselevels=1,2,3");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CE '1' 'ID_L3'",
                                      "CE '1' 'Enable_L3'",
                                      "TP 'text=Cam' '1' 'ID_L1'",
                                      "TP 'text=Vtr' '1' 'ID_L2'",
                                      "TP 'text=Aud' '1' 'ID_L3'",
                                      "RR 31 1 16",
                                      "RP 31 1 16",
                                      "RR 32 1 8",
                                      "RP 32 1 8",
                                      "RR 33 1 4",
                                      "RP 33 1 4",
                                  }}));

    // 2. The poll is answered with revertives; they fill the tallies.
    panel.revertive(31, 3, 1);
    panel.revertive(31, 4, 7);
    panel.revertive(32, 3, 2);
    panel.revertive(33, 4, 1);
    EXPECT_EQ(panel.sent(), lines{});

    // 3. Packages selected: resolved, named, and Take armed.
    panel.parameter("srcpkg=12");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 12",
                                "RN 31 0 5",
                                "TP 'text=CAM 5' '1' 'Src_L1'",
                                "RN 32 0 6",
                                "TP 'text=VTR 6' '1' 'Src_L2'",
                                "RN 33 0 2",
                                "TP 'text=MIC 2' '1' 'Src_L3'",
                            }));
    panel.parameter("destpkg=40");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 1 40",
                                "RN 31 1 3",
                                "TP 'text=MON 3' '1' 'Dst_L1'",
                                "RN 32 1 3",
                                "TP 'text=REC 3' '1' 'Dst_L2'",
                                "RN 33 1 4",
                                "TP 'text=PA 4' '1' 'Dst_L3'",
                                "ET 1 1000",
                                "CE '1' 'Take'",
                                "TP 'statesheet=TakeHigh' '1' 'Take'",
                            }));
    panel.timer(1);
    panel.timer(1);
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=TakeLow' '1' 'Take'", "TP 'statesheet=TakeHigh' '1' 'Take'"}));

    // 4. Take: capture, route every level, clear, notify, show the undo.
    panel.button("Take");
    EXPECT_EQ(panel.sent(), (lines{
                                "ET 1",
                                "TP 'statesheet=TakeLow' '1' 'Take'",
                                "CD '1' 'Take'",
                                "RC 31 5 3 ',' 0",
                                "RC 32 6 3 ',' 0",
                                "RC 33 2 4 ',' 1",
                                "TP 'text=' '1' 'Src_L1'",
                                "TP 'text=' '1' 'Src_L2'",
                                "TP 'text=' '1' 'Src_L3'",
                                "TP 'text=' '1' 'Dst_L1'",
                                "TP 'text=' '1' 'Dst_L2'",
                                "TP 'text=' '1' 'Dst_L3'",
                                "HN 'selected=-1'",
                                "RN 31 0 1",
                                "TP 'text=CAM 1' '1' 'Src_UL1'",
                                "RN 32 0 2",
                                "TP 'text=VTR 2' '1' 'Src_UL2'",
                                "RN 33 0 1",
                                "TP 'text=MIC 1' '1' 'Src_UL3'",
                                "RN 31 1 3",
                                "TP 'text=MON 3' '1' 'Dst_UL1'",
                                "RN 32 1 3",
                                "TP 'text=REC 3' '1' 'Dst_UL2'",
                                "RN 33 1 4",
                                "TP 'text=PA 4' '1' 'Dst_UL3'",
                                "CE '1' 'Undo'",
                            }));

    // 5. The routers report the new routes; Undo routes the old ones back.
    panel.revertive(31, 3, 5);
    panel.revertive(32, 3, 6);
    panel.revertive(33, 4, 2);
    EXPECT_EQ(panel.sent(), lines{});
    panel.button("Undo");
    EXPECT_EQ(panel.sent(), (lines{
                                "RC 31 1 3 ',' 0",
                                "RC 32 2 3 ',' 0",
                                "RC 33 1 4 ',' 1",
                                "CD '1' 'Undo'",
                                "TP 'text=' '1' 'Src_UL1'",
                                "TP 'text=' '1' 'Src_UL2'",
                                "TP 'text=' '1' 'Src_UL3'",
                                "TP 'text=' '1' 'Dst_UL1'",
                                "TP 'text=' '1' 'Dst_UL2'",
                                "TP 'text=' '1' 'Dst_UL3'",
                            }));
    panel.revertive(31, 3, 1);
    panel.revertive(32, 3, 2);
    panel.revertive(33, 4, 1);
    EXPECT_EQ(panel.parameter("return=srcpkg"), std::optional<std::string>("srcpkg=12"));
    EXPECT_EQ(panel.sent(), lines{});

    // Stop: every registration released, "AS" last.
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 32", "RU 33", "AS"}));
    EXPECT_EQ(host.outstandingAnswers(), 0);
    EXPECT_EQ(host.badGiveBacks(), 0);
}
