#include "transcript.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(TranscriptHeader, CompilesOnItsOwn)
{
    transcript_style style;
    EXPECT_EQ(style.verbosity, 1);
}

TEST(Transcript, EventsCommandsAndGatheredRevertives)
{
    std::ostringstream out;
    transcript t(out, transcript_style{1, false, false});
    t.event(1500, "press \"Take\"");
    t.command("RC 31 1 3 ',' 0", "");
    t.command("RN 31 0 5", "\"VTR|1\"");
    t.revertive(31, 3, 1);
    t.revertive(31, 4, 2);
    t.revertive(32, 3, 1);
    t.note("a note");
    t.detail("hidden at verbosity 1");
    t.flush();
    EXPECT_EQ(out.str(),
              "    1.500s > press \"Take\"\n"
              "            -> RC 31 1 3 ',' 0\n"
              "            -> RN 31 0 5   <= \"VTR|1\"\n"
              "            <- revertives from 31: 3<1 4<2\n"
              "            <- revertive from 32: 3<1\n"
              "            . a note\n");
}

TEST(Transcript, LongRunsOfRevertivesAreCut)
{
    std::ostringstream out;
    transcript t(out, transcript_style{1, false, false});
    for (int d = 1; d <= 20; ++d)
        t.revertive(32, d, 0);
    t.flush();
    EXPECT_EQ(out.str(), "            <- revertives from 32: 1<0 2<0 3<0 4<0 5<0 6<0 7<0 8<0 9<0 10<0 11<0 12<0 … 8 more "
                         "(20 in all)\n");
}

TEST(Transcript, QuietKeepsFailuresAndHeadingsOnly)
{
    std::ostringstream out;
    transcript t(out, transcript_style{0, false, false});
    t.event(0, "create");
    t.command("AS", "");
    t.answer("x=1");
    t.revertive(1, 1, 1);
    t.heading("Step");
    t.failure("a.scn:3", "it differed");
    t.warning("careful");
    t.flush();
    EXPECT_EQ(out.str(), "\n-- Step " + std::string(70, '-') + "\nFAILED a.scn:3: it differed\n            warning: careful\n");
    EXPECT_EQ(t.failures(), std::vector<std::string>{"a.scn:3: it differed"});
    EXPECT_EQ(t.warnings(), 1);
}

TEST(Transcript, ColoursOnlyWhenAskedFor)
{
    std::ostringstream out;
    transcript plain(out, transcript_style{1, false, true});
    EXPECT_EQ(plain.paint("x", ansi::red), "x");
    transcript coloured(out, transcript_style{1, true, true});
    EXPECT_EQ(coloured.paint("x", ansi::red), "\x1b[31mx\x1b[0m");
}

TEST(TranscriptText, TimesAndWidths)
{
    EXPECT_EQ(formatTime(0), "0.000s");
    EXPECT_EQ(formatTime(12345), "12.345s");
    EXPECT_EQ(displayWidth("✔ ok"), 4u);
    EXPECT_EQ(fitWidth("abc", 5, true), "abc  ");
    EXPECT_EQ(fitWidth("abcdef", 4, true), "abc…");
    EXPECT_EQ(fitWidth("abcdef", 4, false), "abc~");
    EXPECT_EQ(fitWidth("✔✔✔✔", 3, true), "✔✔…");
    EXPECT_EQ(fitWidth("abc", 0, true), "");
}

}  // namespace
