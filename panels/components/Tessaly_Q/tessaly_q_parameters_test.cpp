#include "tessaly_q.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>

#include "tessaly_q_test_support.h"

TEST(TessalyQParametersHeader, CompilesOnItsOwn)
{
    EXPECT_TRUE((std::is_same<decltype(Tessaly_Q::levelCount), const int>::value));
}

using TessalyQParameters = tessaly_q_fixture;
TESSALY_Q_BOTH_BUILDS(TessalyQParameters);

TEST_P(TessalyQParameters, AFreshPanelListsElevenEmptyValuesAndTheTwoDatabaseNumbers)
{
    EXPECT_EQ(panel.parameter("return=all"), std::optional<std::string>("matrixobject=\n"
                                                                        "uselevels=\n"
                                                                        "srcnamesdatabase=0\n"
                                                                        "destnamesdatabase=1\n"
                                                                        "takelow=\n"
                                                                        "takehigh=\n"
                                                                        "mimicstate_L1=\n"
                                                                        "mimicstate_L2=\n"
                                                                        "mimicstate_L3=\n"
                                                                        "takeundobgstate=\n"
                                                                        "unusedleveltext="));
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQParameters, EverySetAnswersNothingAndTheListingReportsTheValuesAsReceived)
{
    const char* const sets[] = {
        "instance=studio 4",    "matrixobject=MTX",    "uselevels= 1,3 ",    "srcnamesdatabase=abc",
        "destnamesdatabase=7x", "takelow=sheet=low.1", "takehigh=HIGH",      "mimicstate_L1=m1",
        "mimicstate_L2=m2",     "mimicstate_L3=",      "takeundobgstate=bg", "unusedleveltext=- none -",
    };
    for (const char* set : sets)
        EXPECT_EQ(panel.parameter(set), std::nullopt) << set;
    EXPECT_EQ(panel.parameter("return=all"), std::optional<std::string>("matrixobject=MTX\n"
                                                                        "uselevels= 1,3 \n"
                                                                        "srcnamesdatabase=0\n"
                                                                        "destnamesdatabase=7\n"
                                                                        "takelow=sheet=low.1\n"
                                                                        "takehigh=HIGH\n"
                                                                        "mimicstate_L1=m1\n"
                                                                        "mimicstate_L2=m2\n"
                                                                        "mimicstate_L3=\n"
                                                                        "takeundobgstate=bg\n"
                                                                        "unusedleveltext=- none -"));
}

TEST_P(TessalyQParameters, ThePackageQueriesReportTheTextAsLastSet)
{
    EXPECT_EQ(panel.parameter("return=srcpkg"), std::optional<std::string>("srcpkg="));
    EXPECT_EQ(panel.parameter("return=destpkg"), std::optional<std::string>("destpkg="));
    panel.parameter("srcpkg=7");
    panel.parameter("destpkg=x9");
    EXPECT_EQ(panel.parameter("return=srcpkg"), std::optional<std::string>("srcpkg=7"));
    EXPECT_EQ(panel.parameter("return=destpkg"), std::optional<std::string>("destpkg=x9"));
    EXPECT_EQ(panel.sent(), lines{});  // no package names device: nothing resolved
}

TEST_P(TessalyQParameters, ReturnAnswersOnlyItsThreeQueriesAndNeverSetsAnything)
{
    const char* const unanswered[] = {
        "return", "return=", "return=ALL", "return=instance", "return=takelow=x", "return.all", "SRCPKG=5", "bogus=1",
        "=5",     ""};
    for (const char* request : unanswered)
        EXPECT_EQ(panel.parameter(request), std::nullopt) << request;
    EXPECT_EQ(panel.sent(), lines{});
    EXPECT_EQ(panel.parameter("return=all"), std::optional<std::string>("matrixobject=\n"
                                                                        "uselevels=\n"
                                                                        "srcnamesdatabase=0\n"
                                                                        "destnamesdatabase=1\n"
                                                                        "takelow=\n"
                                                                        "takehigh=\n"
                                                                        "mimicstate_L1=\n"
                                                                        "mimicstate_L2=\n"
                                                                        "mimicstate_L3=\n"
                                                                        "takeundobgstate=\n"
                                                                        "unusedleveltext="));
}

TEST_P(TessalyQParameters, TheVocabularyQueriesIgnoreTheirValue)
{
    for (const char* value : {"", "=x", "=all"}) {
        EXPECT_EQ(panel.parameter(std::string("_events") + value), std::optional<std::string>("selected=-1"));
        EXPECT_EQ(panel.parameter(std::string("_commands") + value),
                  std::optional<std::string>("srcpkg=[value]\ndestpkg=[value]"));
    }
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQParameters, StoredOnlyValuesSendNothing)
{
    for (const char* set : {"instance=A", "takelow=LOW", "takehigh=HIGH", "unusedleveltext=n/a"})
        panel.parameter(set);
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQParameters, ALevelsStateSheetGoesToItsFourNameLabels)
{
    panel.parameter("mimicstate_L2=amber");
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'statesheet=amber' '1' 'Src_L2'",
                                "TP 'statesheet=amber' '1' 'Src_UL2'",
                                "TP 'statesheet=amber' '1' 'Dst_L2'",
                                "TP 'statesheet=amber' '1' 'Dst_UL2'",
                            }));
    panel.parameter("mimicstate_L1=");
    panel.parameter("mimicstate_L3=red");
    EXPECT_EQ(panel.sent(), (lines{
                                "TP 'statesheet=' '1' 'Src_L1'",
                                "TP 'statesheet=' '1' 'Src_UL1'",
                                "TP 'statesheet=' '1' 'Dst_L1'",
                                "TP 'statesheet=' '1' 'Dst_UL1'",
                                "TP 'statesheet=red' '1' 'Src_L3'",
                                "TP 'statesheet=red' '1' 'Src_UL3'",
                                "TP 'statesheet=red' '1' 'Dst_L3'",
                                "TP 'statesheet=red' '1' 'Dst_UL3'",
                            }));
}

TEST_P(TessalyQParameters, TheBackgroundStateSheetGoesToTheBackground)
{
    panel.parameter("takeundobgstate=dark");
    EXPECT_EQ(panel.sent(), (lines{"TP 'statesheet=dark' '1' 'TUC_BGND'"}));
}

TEST_P(TessalyQParameters, ANamesDatabaseWithNothingResolvedSendsNothing)
{
    panel.parameter("srcnamesdatabase=4");
    panel.parameter("destnamesdatabase=5");
    EXPECT_EQ(panel.sent(), lines{});
}

TEST_P(TessalyQParameters, ANewSourceNamesDatabaseRelabelsTheResolvedSources)
{
    writeMatrix();
    for (int device : {31, 32, 33})
        install.writeDatabaseSize(device, 1, 64);
    configure("1,2,3");
    panel.link.answer("RN 20 0 5", "12,-,14");
    panel.parameter("srcpkg=5");
    panel.sent();

    panel.link.answer("RN 31 4 12", "CAM|12");
    panel.link.answerNull("RN 33 4 14");
    panel.parameter("srcnamesdatabase=4");
    // Level 2 has no source there (-1) and keeps its label; level 3's
    // lookup gets no answer and its label is written empty.
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 31 4 12",
                                "TP 'text=CAM 12' '1' 'Src_L1'",
                                "RN 33 4 14",
                                "TP 'text=' '1' 'Src_L3'",
                            }));
    EXPECT_NE(panel.parameter("return=all").value_or("").find("\nsrcnamesdatabase=4\n"), std::string::npos);
}

TEST_P(TessalyQParameters, NewNamesDatabasesRelabelTheUndoLabels)
{
    writeMatrix();
    for (int device : {31, 32, 33})
        install.writeDatabaseSize(device, 1, 64);
    configure("1,2,3");
    panel.link.answer("RN 20 0 5", "1,2,3");
    panel.link.answer("RN 20 1 9", "10,0,30");
    panel.parameter("srcpkg=5");
    panel.parameter("destpkg=9");
    panel.revertive(31, 10, 4);
    panel.revertive(33, 30, 6);
    panel.button("Take");  // undo: sources 4, -1, 6 onto 10, 0, 30
    panel.sent();

    panel.link.answer("RN 31 8 4", "SRC|4");
    panel.link.answer("RN 33 8 6", "SRC 6");
    panel.parameter("srcnamesdatabase=8");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 31 8 4",
                                "TP 'text=SRC 4' '1' 'Src_UL1'",
                                "RN 33 8 6",
                                "TP 'text=SRC 6' '1' 'Src_UL3'",
                            }));
    panel.link.answer("RN 31 9 10", "DST 10");
    panel.parameter("destnamesdatabase=9");
    EXPECT_EQ(panel.sent(), (lines{
                                "RN 31 9 10", "TP 'text=DST 10' '1' 'Dst_UL1'", "RN 33 9 30",
                                "TP 'text=' '1' 'Dst_UL3'",  // unanswered: empty, not the name before
                            }));
}
