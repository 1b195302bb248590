#include "app/interactive.h"

#include <iostream>
#include <string>

#include "app/prompt_lines.h"
#include "app/readline_prompt.h"
#include "app/run_end.h"

namespace {

#if !defined(ZELM_HAVE_READLINE)

// Windows: the console edits lines itself; Ctrl-C ends the read and is
// seen through run_end.
void readPlainLines(prompt_lines& lines, const prompt_hooks& hooks)
{
    bool interrupted = false;
    hooks.ending->takeInterrupts([&interrupted] { interrupted = true; });
    while (!hooks.ending->requested()) {
        std::cout << lines.prompt() << std::flush;
        std::string text;
        const bool got = static_cast<bool>(std::getline(std::cin, text));
        hooks.ending->check();
        if (interrupted) {
            interrupted = false;
            std::cin.clear();
            lines.cancelled();
            continue;
        }
        if (hooks.ending->requested())
            break;
        if (!got) {
            lines.ended();
            break;
        }
        lines.line(text);
    }
    hooks.ending->takeInterrupts(nullptr);
}

#endif

}  // namespace

int runInteractive(session_recorder& session, transcript& out, const prompt_hooks& hooks)
{
    std::cout << "panel_host: type scenario lines; \"create\" loads the component, \"help\" lists the lines,\n"
                 "\"quit\" ends. Ctrl-C drops the line being typed.\n";
    prompt_lines lines(session, out, *hooks.ending);
#if defined(ZELM_HAVE_READLINE)
    readline_prompt prompt(lines, hooks);
    prompt.run();
#else
    readPlainLines(lines, hooks);
#endif
    return lines.badLines();
}
