// panel_host: runs a panel module against a simulated host and facility,
// from a scenario file, from standard input, or by hand at a prompt.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#  include <io.h>
#  define isatty _isatty
#  define fileno _fileno
#else
#  include <unistd.h>
#endif

#include "facility/installation_check.h"
#include "app/interactive.h"
#include "loop/event_loop.h"
#include "app/options.h"
#include "facility/router_model.h"
#include "app/router_wiring.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/session_recorder.h"
#include "text/terminal_text.h"
#include "text/transcript.h"
#if defined(ZELM_HAVE_WEB_VIEW)
#  include "web/web_view.h"
#endif

namespace fs = std::filesystem;

namespace {

void setVariable(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

bool readAll(std::istream& in, std::string& text)
{
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

// Reads a scenario file, or standard input for "-", whole: it is checked
// before anything runs and then read a second time, step by step, as it
// runs, so it costs its text and one step, not a step object per line.
bool readScenario(const std::string& file, std::string& text, std::string& error)
{
    if (file == "-") {
        if (!readAll(std::cin, text)) {
            error = "cannot read the scenario from standard input";
            return false;
        }
        return true;
    }
    std::error_code failure;
    if (fs::is_directory(file, failure)) {
        error = "cannot read scenario file " + file + ": it is a folder";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read scenario file " + file;
        return false;
    }
    const auto size = fs::file_size(file, failure);
    if (!failure)
        text.reserve(static_cast<std::size_t>(size));
    if (!readAll(in, text)) {
        error = "cannot read scenario file " + file + ": read error";
        return false;
    }
    return true;
}

bool useColor(const std::string& choice)
{
    if (choice == "always")
        return true;
    if (choice == "never")
        return false;
    const char* term = std::getenv("TERM");
    return isatty(fileno(stdout)) && std::getenv("NO_COLOR") == nullptr && term != nullptr &&
           std::string(term) != "dumb";
}

// Faults given on the command line open the recording, so that the replay
// meets the same facility.
void recordStartingFaults(const host_options& options, session_recorder& session)
{
    if (options.revertiveDelay != "0")
        session.recordLine("fault delay " + quotedScenarioWord(options.revertiveDelay));
    if (options.drop > 0)
        session.recordLine("fault drop " + std::to_string(options.drop));
    if (options.duplicate > 0)
        session.recordLine("fault duplicate " + std::to_string(options.duplicate));
    // The language's numbers stop at 2^31 - 1; a larger seed is noted.
    if (options.seed != 1)
        session.recordLine((options.seed > 2147483647u ? "# --seed " : "fault seed ") + std::to_string(options.seed));
    for (int device : options.offline)
        session.recordLine("fault offline " + std::to_string(device));
}

}  // namespace

namespace {

int runHost(int argc, char** argv)
{
    host_options options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0)
        return status;
    applyDefaults(options, executableDirectory(argc > 0 ? argv[0] : nullptr));

    // --check reads standard input even from a terminal: it checks, and
    // never opens the prompt. --serve runs the scenario file, if any, and
    // then takes its steps from the page.
    bool serve = !options.serve.empty();
    bool interactive = options.scenario.empty() && isatty(fileno(stdin)) && !options.check && !serve;
    if (options.scenario.empty() && !interactive && !serve) {
        options.scenario = "-";
        if (isatty(fileno(stdin)))
            std::cerr << "panel_host: --check: reading scenario lines from the terminal; end them with Ctrl-D\n";
    }

    // The scenario is checked whole before anything runs, so that a bad
    // line stops the run before the component sees a single event.
    std::string scenarioText;
    const std::string scenarioName = options.scenario == "-" ? "<stdin>" : options.scenario;
    if (!interactive && !options.scenario.empty()) {
        std::string error;
        if (!readScenario(options.scenario, scenarioText, error)) {
            std::cerr << "panel_host: " << terminalSafe(error) << '\n';
            return 2;
        }
        std::vector<scenario_error> errors = checkScenario(scenarioText, scenarioName);
        for (const auto& bad : errors)
            std::cerr << terminalSafe(bad.where() + ": " + bad.message) << '\n';
        if (!errors.empty())
            return 2;
        if (options.check)
            return 0;
    }

    std::int64_t delay = 0;
    if (!readTime(options.revertiveDelay, delay)) {
        std::cerr << "panel_host: --revertive-delay: \"" << shortened(options.revertiveDelay)
                  << "\" is not a time such as 500, 500ms or 2s\n";
        return 2;
    }
    if (delay > longestTime) {
        std::cerr << "panel_host: --revertive-delay: at most " << longestTime / 1000 << "s\n";
        return 2;
    }

    std::error_code failure;
    fs::path root = fs::absolute(options.installation, failure);
    fs::path systemDir = root / options.system / "config" / "system";
    if (!fs::is_directory(root / options.system / "config", failure)) {
        std::cerr << "panel_host: missing installation: " << terminalSafe((root / options.system / "config").string())
                  << " is not a folder (see --installation and --system)\n";
        return 2;
    }
    router_model routers;
    std::string error;
    // Every installation file and layout is checked before anything runs.
    if (!acceptInstallation(checkInstallation(systemDir.parent_path().string(), options.layouts, routers),
                            options.strict, std::cerr))
        return 2;
    for (int device : options.offline) {
        device_model* found = routers.device(device);
        if (found == nullptr) {
            std::cerr << "panel_host: --offline: the installation has no device " << device << '\n';
            return 2;
        }
        found->setOnline(false);
    }
    // The module's own lookups read the installation through these.
    setVariable("QV_ROOT", root.string());
    setVariable("QV_SYSTEM", options.system);

    transcript_style style;
    style.verbosity = options.quiet ? 0 : options.verbose ? 2 : 1;
    style.color = useColor(options.color);
    style.unicode = !options.ascii;
    style.strict = options.strict;
    transcript out(std::cout, style);

    runner_settings settings;
    settings.modulePath = options.module;
    settings.loadData = options.data;
    settings.layoutDir = options.layouts;
    settings.picture = options.picture || interactive;
    settings.stopOnFailure = options.stopOnFailure;
    settings.recordPath = options.recordEvents;
    settings.pictureStyle.unicode = style.unicode;
    settings.pictureStyle.color = style.color;
    // The loop outlives the runner, whose host owns the router links on it.
    event_loop loop;
    scenario_runner runner(settings, routers, out);
    if (!runner.openModule(error)) {
        std::cerr << "panel_host: " << terminalSafe(error) << '\n';
        return 2;
    }
    runner.host().faults().delay = delay;
    runner.host().faults().dropPercent = options.drop;
    runner.host().faults().duplicatePercent = options.duplicate;
    runner.host().seed(options.seed);
    // Devices reached over SW-P-08 or the Videohub protocol: their links run
    // on the program's one event loop, polled between scenario steps.
    router_links links(loop);
    if (!wireRouterLinks(links, routers, runner, options.routers, error)) {
        std::cerr << "panel_host: " << terminalSafe(error) << '\n';
        return 2;
    }

    if (style.verbosity >= 1)
        out.block(out.paint("panel_host", ansi::bold) + "  module " + terminalSafe(options.module) + "\n" +
                  "            installation " + terminalSafe(root.string()) + " (system " +
                  terminalSafe(options.system) + ", " + std::to_string(routers.devices().size()) + " devices)\n" +
                  "            layouts " + terminalSafe(options.layouts) + "\n");
    if (links.size() > 0) {
        std::string lines;
        for (const auto& line : links.connectAll())
            lines += "            " + line + "\n";
        if (style.verbosity >= 1)
            out.block(lines);
    }

    // --record: every line goes through the session, which keeps it. The
    // file is written once now, so that a path that cannot be written stops
    // the run before it starts.
    session_recorder session(runner, interactive ? "<terminal>" : scenarioName);
    if (!options.record.empty()) {
        if (!session.write(options.record, error)) {
            std::cerr << "panel_host: --record: " << terminalSafe(error) << '\n';
            return 2;
        }
        recordStartingFaults(options, session);
    }

    if (serve) {
#if defined(ZELM_HAVE_WEB_VIEW)
        web_settings web;
        web.serve = options.serve;
        web.scenario = options.scenario;
        web.record = options.record;
        web.imageFolders = {options.layouts, root.string(), (root / options.system).string()};
        web.stylesFile = (root / options.system / "config" / "panel_styles.ini").string();
        if (serveWebView(web, runner, routers, out, session, loop) != 0)
            return 2;
#else
        std::cerr << "panel_host: --serve: this build has no browser view (it is left out of the Windows build)\n";
        return 2;
#endif
    } else if (interactive) {
        runInteractive(session, out);
    } else if (!options.record.empty()) {
        std::size_t at = 0;
        std::string_view line;
        while (nextLine(scenarioText, at, line))
            if (!session.runLine(line).keepGoing)
                break;
    } else {
        scenario_parser parser(scenarioName);
        std::vector<scenario_step> steps;
        std::vector<scenario_error> checkedBefore;  // none: the text passed the check
        std::size_t at = 0;
        std::string_view line;
        bool goOn = true;
        while (goOn && nextLine(scenarioText, at, line)) {
            parser.feed(line, steps, checkedBefore);
            for (const auto& step : steps)
                if (!runner.run(step)) {
                    goOn = false;
                    break;
                }
            steps.clear();
        }
    }
    // The final state is taken before the components are deleted.
    bool recordWritten = options.record.empty() || session.write(options.record, error);
    runner.finish();
    if (!recordWritten)
        std::cerr << "panel_host: --record: " << terminalSafe(error) << '\n';

    const auto& failures = out.failures();
    const std::size_t failureCount = out.failureCount();
    bool failed = failureCount > 0 || (options.strict && out.warnings() > 0);
    if (failureCount > 0) {
        std::cerr << "panel_host: " << failureCount << (failureCount == 1 ? " failure" : " failures") << ":\n";
        for (const auto& message : failures)
            std::cerr << "  " << message.substr(0, message.find('\n')) << '\n';
        if (failureCount > failures.size())
            std::cerr << "  ... and " << failureCount - failures.size() << " more\n";
    }
    else if (runner.expectationsChecked() > 0)
        out.block(out.paint(std::string(style.unicode ? "✔ " : "OK ") + "all " +
                                std::to_string(runner.expectationsChecked()) + " expectations met",
                            ansi::green));
    out.flush();
    if (options.strict && out.warnings() > 0)
        std::cerr << "panel_host: " << out.warnings() << " warnings (--strict)\n";
    if (!recordWritten)
        return 2;
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The event loop and the router links report a broken socket layer by
    // throwing; nothing else is expected to.
    try {
        return runHost(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "panel_host: " << failure.what() << '\n';
        return 2;
    }
}
