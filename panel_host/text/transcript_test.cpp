#include "text/transcript.h"

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
    EXPECT_EQ(out.str(), "    1.500s > press \"Take\"\n"
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
    EXPECT_EQ(out.str(),
              "            <- revertives from 32: 1<0 2<0 3<0 4<0 5<0 6<0 7<0 8<0 9<0 10<0 11<0 12<0 … 8 more "
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
    EXPECT_EQ(out.str(), "\n-- Step " + std::string(70, '-') + "\nFAILED a.scn:3: it differed\n");
    EXPECT_EQ(t.failures(), std::vector<std::string>{"a.scn:3: it differed"});
    // Hidden, still counted; with --strict a warning fails the run, so it shows.
    EXPECT_EQ(t.warnings(), 1);
    std::ostringstream strictOut;
    transcript strict(strictOut, transcript_style{0, false, false, true});
    strict.warning("careful");
    EXPECT_EQ(strictOut.str(), "            warning: careful\n");
}

TEST(Transcript, KeepsTheFirstFailuresAndCountsAll)
{
    std::ostringstream out;
    transcript t(out, transcript_style{0, false, false});
    for (std::size_t i = 0; i < transcript::keptFailures + 5; ++i)
        t.failure("a.scn:" + std::to_string(i + 1), "no");
    EXPECT_EQ(t.failureCount(), transcript::keptFailures + 5);
    ASSERT_EQ(t.failures().size(), transcript::keptFailures);
    EXPECT_EQ(t.failures().back(), "a.scn:20: no");
}

// Texts from scenarios, installations and modules reach the terminal with
// their control characters shown, never acted on.
TEST(Transcript, ControlCharactersAreShownNotSentToTheTerminal)
{
    std::ostringstream out;
    transcript t(out, transcript_style{1, false, false});
    t.heading("\x1b[2J\x1b]0;title\x07");
    t.event(0, "parameter \"a\rb\"", "");
    t.command("HN 'x\x9by'", "\x1b[31m");
    t.answer("one\ntwo\x08");
    t.note("\xc2\x9b"
           "1m");
    t.warning("tab\there");
    t.failure("a.scn:1", "first\nsecond\x1b");
    t.flush();
    EXPECT_EQ(out.str(), "\n-- \\x1b[2J\\x1b]0;title\\x07 " + std::string(51, '-') +
                             "\n"
                             "    0.000s > parameter \"a\\rb\"\n"
                             "            -> HN 'x\\x9by'   <= \\x1b[31m\n"
                             "            <= answer one\n"
                             "                      two\\x08\n"
                             "            . \\u009b1m\n"
                             "            warning: tab\\there\n"
                             "FAILED a.scn:1: first\nsecond\\x1b\n");
    EXPECT_EQ(t.failures().back(), "a.scn:1: first\nsecond\\x1b");
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

// Columns as a terminal counts them: CJK and emoji take two, combining
// marks none; a cut never splits a character from its marks nor leaves a
// wide character straddling the edge.
TEST(TerminalText, WidthsAndCutsFollowTheTerminal)
{
    struct {
        const char* text;
        std::size_t width;
    } const widths[] = {
        {"abc", 3}, {"✔ ok", 4}, {"漢字", 4}, {"Cafe\u0301", 4}, {"🎬 CAM", 6}, {"\xff", 1}, {"", 0},
    };
    for (const auto& w : widths)
        EXPECT_EQ(displayWidth(w.text), w.width) << w.text;
    EXPECT_EQ(fitWidth("漢字漢字", 6, true), "漢字 …");
    EXPECT_EQ(fitWidth("漢字", 5, true), "漢字 ");
    EXPECT_EQ(fitWidth("e\u0301e\u0301e\u0301", 3, false), "e\u0301e\u0301e\u0301");
    EXPECT_EQ(fitWidth("e\u0301e\u0301e\u0301x", 3, false), "e\u0301e\u0301~");
}

TEST(TerminalText, SafeTextsAndShortenedWords)
{
    struct {
        const char* raw;
        const char* shown;
    } const cases[] = {
        {"plain CAM|1", "plain CAM|1"},
        {"\x1b[2J", "\\x1b[2J"},
        {"a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"\x7f", "\\x7f"},
        {"\xc2\x85", "\\u0085"},
        {"\xc3\x28", "\\xc3("},
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"\xc0\xaf", "\\xc0\\xaf"},
        {"Müller 漢 🎬", "Müller 漢 🎬"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(terminalSafe(c.raw), c.shown) << c.raw;
    EXPECT_EQ(terminalSafe("a\nb", true), "a\nb");
    EXPECT_EQ(shortened("short"), "short");
    EXPECT_EQ(shortened(std::string(100, 'x'), 8), "xxxxxxxx… (100 bytes)");
    EXPECT_EQ(shortened("\x1b\x1b\x1b", 2), "\\x1b\\x1b… (3 bytes)");
}

TEST(TranscriptSinks, EverySinkGetsWhatIsPrintedThePageWithoutColours)
{
    std::ostringstream terminal;
    transcript t(terminal, transcript_style{1, true, true});
    plain_text_sink page;
    t.note("before the page");
    t.addSink(page);
    t.event(1500, "press \"Take\"");
    t.command("RC 31 5 7 ',' 0", "");
    t.failure("a.scn:3", "Take: expected enabled");
    t.removeSink(page);
    t.note("after the page");
    t.flush();
    EXPECT_EQ(page.take(), "    1.500s ▶ press \"Take\"\n"
                           "            → RC 31 5 7 ',' 0\n"
                           "✘ a.scn:3: Take: expected enabled\n");
    EXPECT_EQ(page.take(), "");
    const std::string shown = terminal.str();
    EXPECT_NE(shown.find("\x1b[2m· before the page\x1b[0m\n"), std::string::npos);
    EXPECT_NE(shown.find("\x1b[31m✘ a.scn:3: Take: expected enabled\x1b[0m\n"), std::string::npos);
    EXPECT_NE(shown.find("\x1b[2m· after the page\x1b[0m\n"), std::string::npos);
}

}  // namespace
