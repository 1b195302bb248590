#include "tessaly_q.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "tessaly_q_test_support.h"

TEST(TessalyQConfigurationHeader, CompilesOnItsOwn)
{
    EXPECT_TRUE((std::is_base_of<zelm_script_helper, Tessaly_Q>::value));
}

namespace {

}  // namespace

using TessalyQConfiguration = tessaly_q_fixture;
TESSALY_Q_BOTH_BUILDS(TessalyQConfiguration);

TEST_P(TessalyQConfiguration, WorkedExampleConfiguresTwoLevelsAndRegistersTheSizedRouter)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);

    // The first parameter alone cannot configure: the panel resets.
    panel.parameter("uselevels=1,3");
    EXPECT_EQ(panel.sent(), captionsClearedAndLevelsCrossed);

    panel.parameter("matrixobject=MTX");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Alpha' '1' 'ID_L1'",
                                      "TP 'text=Gamma' '1' 'ID_L2'",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                  }}));
}

TEST_P(TessalyQConfiguration, EveryUnusableLevelSetResets)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    install.writeConfig(
        "object_settings.xml",
        objectSettingsXml(
            {{"MTX",
              {{"package_levels", "3"}, {"driver_type", "t0,t1,Alpha,Beta,Gamma"}, {"driver_ids", "7,20,31,32,33"}}},
             {"NOLEVELS", {{"driver_type", "t0,t1,Alpha"}, {"driver_ids", "7,20,31"}}},
             {"EMPTYLEVELS", {{"package_levels", ""}, {"driver_ids", "7,20,31"}}}}));

    struct reset_case {
        const char* parameter;
        const char* why;
    };
    const reset_case cases[] = {
        {"uselevels=0,0,0", "three unused levels"},
        {"uselevels=1,2,3,4", "more than three levels"},
        {"uselevels=", "no levels"},
        {"matrixobject=NOLEVELS", "no package_levels setting"},
        {"matrixobject=EMPTYLEVELS", "empty package_levels setting"},
        {"matrixobject=UNKNOWN", "no such object"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.why);
        configure("1");  // router 31 on level 1, registered
        panel.parameter(item.parameter);
        EXPECT_EQ(panel.sent(), join({{"RU 31"}, captionsClearedAndLevelsCrossed}));
        panel.parameter("matrixobject=MTX");
    }
}

TEST_P(TessalyQConfiguration, OneLevelShowsItsPackageLevelAndDisablesTheOthers)
{
    writeMatrix();
    install.writeDatabaseSize(32, 1, 100);
    panel.parameter("matrixobject=MTX");
    panel.sent();
    panel.parameter("uselevels=2");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CD '1' 'ID_L2'",
                                      "CD '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Beta' '1' 'ID_L1'",
                                      "RR 32 1 100",
                                      "RP 32 1 100",
                                  }}));
}

TEST_P(TessalyQConfiguration, AnUnusedMiddleLevelStaysDisabledWithoutCaption)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 150);
    install.writeDatabaseSize(33, 1, 20);
    panel.parameter("matrixobject=MTX");
    panel.sent();
    panel.parameter("uselevels=1,0,3");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CD '1' 'ID_L2'",
                                      "CD '1' 'Enable_L2'",
                                      "CE '1' 'ID_L3'",
                                      "CE '1' 'Enable_L3'",
                                      "TP 'text=Alpha' '1' 'ID_L1'",
                                      "TP 'text=Gamma' '1' 'ID_L3'",
                                      "RR 31 1 150",
                                      "RP 31 1 150",
                                      "RR 33 1 20",
                                      "RP 33 1 20",
                                  }}));
}

TEST_P(TessalyQConfiguration, ANegativePackageLevelIsEnabledButHasNoCaptionAndNoRouter)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    panel.parameter("matrixobject=MTX");
    panel.sent();
    panel.parameter("uselevels=-1");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CD '1' 'ID_L2'",
                                      "CD '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                  }}));
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"AS"}));
}

TEST_P(TessalyQConfiguration, PositionsMissingFromTheDriverListsGiveAnEmptyCaptionAndNoRouter)
{
    writeMatrix("t0,t1,Alpha", "7,20,31");
    install.writeDatabaseSize(31, 1, 64);
    panel.parameter("matrixobject=MTX");
    panel.sent();
    panel.parameter("uselevels=1,2,2147483647");
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
                                      "TP 'text=Alpha' '1' 'ID_L1'",
                                      "TP 'text=' '1' 'ID_L2'",  // the caption is still sent, empty
                                      "TP 'text=' '1' 'ID_L3'",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                  }}));
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "AS"}));
}

TEST_P(TessalyQConfiguration, WithoutDriverIdsThereIsNoPackageNamesDeviceAndNoRouter)
{
    install.writeConfig("object_settings.xml",
                        objectSettingsXml({{"MTX", {{"package_levels", "3"}, {"driver_type", "t0,t1,Alpha"}}}}));
    configure("1");
    panel.link.answer("RN 0 0 5", "12");
    panel.parameter("srcpkg=5");
    EXPECT_EQ(panel.sent(), lines{});
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"AS"}));
}

TEST_P(TessalyQConfiguration, SettingTheSameObjectAgainDisarmsDropsUndoAndRegistersAgain)
{
    // Package names device 0: selecting a package resolves nothing, so a
    // Take can be armed while an undo is held.
    writeMatrix("t0,t1,Alpha,Beta,Gamma", "7,0,31,32,33");
    install.writeDatabaseSize(31, 1, 64);
    configure("1,3");
    panel.parameter("takelow=LOW");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.button("Take");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.sent();

    panel.parameter("matrixobject=MTX");
    EXPECT_EQ(panel.sent(), join({{
                                      "ET 1",
                                      "TP 'statesheet=LOW' '1' 'Take'",
                                      "CD '1' 'Take'",
                                      "CD '1' 'Undo'",
                                  },
                                  textClears({"Src_UL1", "Src_UL2", "Src_UL3", "Dst_UL1", "Dst_UL2", "Dst_UL3"}),
                                  selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Alpha' '1' 'ID_L1'",
                                      "TP 'text=Gamma' '1' 'ID_L2'",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                  }}));
    // Nothing armed any more: no timer to stop on the way out.
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "RU 33", "AS"}));
}

TEST_P(TessalyQConfiguration, ARouterNoLongerUsedIsReleasedJustBeforeTheNewRegistration)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    install.writeDatabaseSize(32, 1, 100);
    configure("1,3");  // 31 registered; 33 has no size and never was
    panel.parameter("uselevels=2");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CD '1' 'ID_L2'",
                                      "CD '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Beta' '1' 'ID_L1'",
                                      "RU 31",
                                      "RR 32 1 100",
                                      "RP 32 1 100",
                                  }}));
    // The levels no longer in use hold no router: only 32 is released.
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 32", "AS"}));
}

TEST_P(TessalyQConfiguration, ARouterStillInUseIsRegisteredAgainNotReleased)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    install.writeDatabaseSize(32, 1, 100);
    install.writeDatabaseSize(33, 1, 20);
    configure("1,3");
    panel.parameter("uselevels=3,2");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Gamma' '1' 'ID_L1'",
                                      "TP 'text=Beta' '1' 'ID_L2'",
                                      "RU 31",
                                      "RR 33 1 20",
                                      "RP 33 1 20",
                                      "RR 32 1 100",
                                      "RP 32 1 100",
                                  }}));
    panel.parameter("uselevels=3,1");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Gamma' '1' 'ID_L1'",
                                      "TP 'text=Alpha' '1' 'ID_L2'",
                                      "RU 32",
                                      "RR 33 1 20",
                                      "RP 33 1 20",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                  }}));
}

TEST_P(TessalyQConfiguration, ARouterSharedByTwoLevelsIsRegisteredTwiceAndReleasedOnce)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    install.writeDatabaseSize(32, 1, 100);
    panel.parameter("matrixobject=MTX");
    panel.sent();
    panel.parameter("uselevels=1,1");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CE '1' 'ID_L2'",
                                      "CE '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Alpha' '1' 'ID_L1'",
                                      "TP 'text=Alpha' '1' 'ID_L2'",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                      "RR 31 1 64",
                                      "RP 31 1 64",
                                  }}));
    panel.parameter("uselevels=2");
    EXPECT_EQ(panel.sent(), join({selectionDroppedAndLabelsEmptied,
                                  {
                                      "TP 'pixmap=/images/tick.png' '1' 'Enable_L1'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L2'",
                                      "TP 'pixmap=/images/cross.png' '1' 'Enable_L3'",
                                      "CE '1' 'ID_L1'",
                                      "CE '1' 'Enable_L1'",
                                      "CD '1' 'ID_L2'",
                                      "CD '1' 'Enable_L2'",
                                      "CD '1' 'ID_L3'",
                                      "CD '1' 'Enable_L3'",
                                      "TP 'text=Beta' '1' 'ID_L1'",
                                      "RU 31",
                                      "RR 32 1 100",
                                      "RP 32 1 100",
                                  }}));
}

TEST_P(TessalyQConfiguration, ALevelTakenOutOfUseHoldsNoRouter)
{
    writeMatrix();
    install.writeDatabaseSize(31, 1, 64);
    configure("1,3");
    configure("1");
    panel.link.answer("RN 20 0 5", "12,-,40");
    panel.link.answer("RN 31 0 12", "CAM 12");
    panel.parameter("unusedleveltext=n/a");
    panel.parameter("srcpkg=5");
    // Level 2 counts as having no router: its label shows the unused text.
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 20 0 5",
                                "RN 31 0 12",
                                "TP 'text=CAM 12' '1' 'Src_L1'",
                                "TP 'text=n/a' '1' 'Src_L2'",
                                "TP 'text=n/a' '1' 'Src_L3'",
                            }));
    panel.revertive(33, 5, 8);  // router 33 now belongs to no level
    EXPECT_EQ(panel.sent(), lines{});
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"RU 31", "AS"}));
}

// A router id below zero in driver_ids is never registered (it has no
// size), yet a reset releases it, as it releases any id but 0; destroying
// the panel releases only positive ones.
TEST_P(TessalyQConfiguration, ARouterIdBelowZeroIsReleasedByAResetButNotOnDestroying)
{
    writeMatrix("t0,t1,Alpha,Beta", "7,20,-4,32");
    install.writeDatabaseSize(32, 1, 100);
    configure("1,2");
    panel.parameter("uselevels=");
    EXPECT_EQ(panel.sent(), join({{"RU -4", "RU 32"}, captionsClearedAndLevelsCrossed}));
    configure("1");
    panel.destroy();
    EXPECT_EQ(panel.sent(), (lines{"AS"}));
}
