// The simulator's scenario language on arbitrary text: the whole-text parse,
// the same text fed line by line, and the word splitter and time reader on
// every line. Steps and errors must name lines that exist, and both ways of
// reading must agree. The same text, made safe for a terminal, must hold no
// control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "scenario/scenario_parser.h"
#include "text/terminal_text.h"

namespace {

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const parsed_scenario whole = parseScenario(text, "fuzz.scn");

    scenario_parser parser("fuzz.scn");
    std::vector<scenario_step> steps;
    std::vector<scenario_error> errors;
    int lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {  // the lines as a file reader hands them over
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        parser.feed(line, steps, errors);
        ++lines;

        std::vector<std::string> words;
        std::string error;
        if (!splitWords(line, words, error))
            check(!error.empty());
        std::int64_t milliseconds = -1;
        if (readTime(line, milliseconds))
            check(milliseconds >= 0);
        start = end + 1;
    }
    parser.finish(errors);

    for (const scenario_step& step : whole.steps)
        check(step.line >= 1 && step.line <= lines);
    for (const scenario_error& error : whole.errors)
        check(error.line >= 0 && error.line <= lines + 1);
    check(steps.size() == whole.steps.size());
    check(errors.size() == whole.errors.size());

    // The check before a run reports the same lines, up to its bound.
    const std::vector<scenario_error> checked = checkScenario(text, "fuzz.scn");
    check(checked.size() <= mostBadLines + 1);
    for (std::size_t i = 0; i < checked.size() && i < mostBadLines && i < whole.errors.size(); ++i)
        check(checked[i].line == whole.errors[i].line);

    // What reaches a terminal holds no control character, and fits the
    // columns it is given.
    const std::string shown = terminalSafe(text);
    for (const char c : shown)
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    check(displayWidth(fitWidth(shown, 20, true)) == 20);
    return 0;
}
