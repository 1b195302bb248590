// panel_host: runs a panel module against a simulated host and facility,
// from a scenario file, from standard input, by hand at a prompt, or in the
// browser.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <io.h>
#  define isatty _isatty
#  define fileno _fileno
#else
#  include <unistd.h>
#endif

#include "app/interactive.h"
#include "app/options.h"
#include "app/output_watch.h"
#include "app/router_wiring.h"
#include "app/run_end.h"
#include "facility/installation_check.h"
#include "facility/installation_paths.h"
#include "facility/router_model.h"
#include "loop/event_loop.h"
#include "scenario/scenario_parser.h"
#include "scenario/scenario_runner.h"
#include "scenario/scenario_words.h"
#include "scenario/session_recorder.h"
#include "text/file_text.h"
#include "text/terminal_text.h"
#include "text/transcript.h"
#if defined(ZELM_HAVE_WEB_VIEW)
#  include "web/web_view.h"
#endif

namespace {

// How this run takes its lines.
struct run_mode {
    bool serve = false;        // from the browser view, after the scenario file if any
    bool interactive = false;  // typed at the prompt
    std::string scenarioName;  // in messages: the file, "<stdin>"
    std::string scenarioText;  // the file's (or standard input's) lines, read whole
};

// What a run needs besides the facility: the loop and what ends the run on
// it, the watches on the standard streams, the links to real routers.
struct run_parts {
    event_loop& loop;
    run_end& ending;
    output_watch& output;
    output_watch& errors;
    router_links& links;
};

void setVariable(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

int fail(const std::string& message)
{
    std::cerr << "panel_host: " << terminalSafe(message) << '\n';
    return 2;
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

// --check reads standard input even from a terminal: it checks, and never
// opens the prompt. --serve runs the scenario file, if any, and then takes
// its steps from the page.
run_mode chooseMode(host_options& options)
{
    run_mode mode;
    mode.serve = !options.serve.empty();
    mode.interactive = options.scenario.empty() && isatty(fileno(stdin)) && !options.check && !mode.serve;
    if (options.scenario.empty() && !mode.interactive && !mode.serve) {
        options.scenario = "-";
        if (isatty(fileno(stdin)))
            std::cerr << "panel_host: --check: reading scenario lines from the terminal; end them with Ctrl-D\n";
    }
    mode.scenarioName = options.scenario == "-" ? "<stdin>" : options.scenario;
    return mode;
}

// The scenario is checked whole before anything runs, so that a bad line
// stops the run before the component sees a single event. -1 to go on,
// else the exit status.
int readAndCheckScenario(const host_options& options, run_mode& mode)
{
    if (mode.interactive || options.scenario.empty())
        return -1;
    std::string error;
    if (options.scenario == "-") {
        if (!readWholeStream(std::cin, mode.scenarioText))
            return fail("cannot read the scenario from standard input");
    } else if (!readWholeFile(options.scenario, mode.scenarioText, error, "scenario file")) {
        return fail(error);
    }
    std::vector<scenario_error> errors = checkScenario(mode.scenarioText, mode.scenarioName);
    for (const auto& bad : errors)
        std::cerr << terminalSafe(bad.where() + ": " + bad.message) << '\n';
    if (!errors.empty())
        return 2;
    return options.check ? 0 : -1;
}

bool readDelay(const host_options& options, std::int64_t& delay)
{
    if (!readTime(options.revertiveDelay, delay)) {
        std::cerr << "panel_host: --revertive-delay: \"" << shortened(options.revertiveDelay)
                  << "\" is not a time such as 500, 500ms or 2s\n";
        return false;
    }
    if (delay > longestTime) {
        std::cerr << "panel_host: --revertive-delay: at most " << longestTime / 1000 << "s\n";
        return false;
    }
    return true;
}

// Every installation file and layout is checked before anything runs. -1
// to go on, else the exit status.
int loadInstallation(const host_options& options, const installation_paths& paths, router_model& routers)
{
    std::error_code failure;
    if (!std::filesystem::is_directory(paths.config, failure)) {
        std::cerr << "panel_host: missing installation: " << terminalSafe(paths.config)
                  << " is not a folder (see --installation and --system)\n";
        return 2;
    }
    if (!acceptInstallation(checkInstallation(paths.config, options.layouts, routers), options.strict, std::cerr))
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
    setVariable("QV_ROOT", paths.root);
    setVariable("QV_SYSTEM", options.system);
    return -1;
}

transcript_style styleFor(const host_options& options)
{
    transcript_style style;
    style.verbosity = options.quiet ? 0 : options.verbose ? 2 : 1;
    style.color = useColor(options.color);
    style.unicode = !options.ascii;
    style.strict = options.strict;
    return style;
}

runner_settings settingsFor(const host_options& options, const run_mode& mode, const transcript_style& style)
{
    runner_settings settings;
    settings.modulePath = options.module;
    settings.loadData = options.data;
    settings.layoutDir = options.layouts;
    settings.picture = options.picture || mode.interactive;
    settings.stopOnFailure = options.stopOnFailure;
    settings.recordPath = options.recordEvents;
    settings.pictureStyle.unicode = style.unicode;
    settings.pictureStyle.color = style.color;
    return settings;
}

void applyFaults(scenario_runner& runner, const host_options& options, std::int64_t delay)
{
    runner.host().faults().delay = delay;
    runner.host().faults().dropPercent = options.drop;
    runner.host().faults().duplicatePercent = options.duplicate;
    runner.host().seed(options.seed);
}

void printHeader(transcript& out, const host_options& options, const installation_paths& paths,
                 const router_model& routers)
{
    if (out.style().verbosity >= 1)
        out.block(out.paint("panel_host", ansi::bold) + "  module " + terminalSafe(options.module) + "\n" +
                  "            installation " + terminalSafe(paths.root) + " (system " + terminalSafe(options.system) +
                  ", " + std::to_string(routers.devices().size()) + " devices)\n" + "            layouts " +
                  terminalSafe(options.layouts) + "\n");
}

// Connects the links to real routers, one line each after what they said
// while connecting.
void connectLinks(transcript& out, router_links& links)
{
    if (links.size() == 0)
        return;
    std::string lines;
    for (const auto& line : links.connectAll())
        lines += "            " + line + "\n";
    if (out.style().verbosity >= 1)
        out.block(lines);
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

int serve(const host_options& options, const installation_paths& paths, scenario_runner& runner, router_model& routers,
          transcript& out, session_recorder& session, event_loop& loop)
{
#if defined(ZELM_HAVE_WEB_VIEW)
    web_settings web;
    web.serve = options.serve;
    web.scenario = options.scenario;
    web.record = options.record;
    web.imageFolders = {options.layouts, paths.root, paths.systemRoot};
    web.stylesFile = paths.styles;
    web.tokenFile = options.tokenFile;
    web.allowHosts = options.allowHosts;
    web.remoteRules = options.serveAsRemote;
    return serveWebView(web, runner, routers, out, session, loop) != 0 ? 2 : 0;
#else
    (void)options, (void)paths, (void)runner, (void)routers, (void)out, (void)session, (void)loop;
    std::cerr << "panel_host: --serve: this build has no browser view (it is left out of the Windows build)\n";
    return 2;
#endif
}

// The summary at the end: failures on standard error, else how many
// expectations held. The exit status.
int summarize(transcript& out, const scenario_runner& runner, const host_options& options, bool recordWritten)
{
    const auto& failures = out.failures();
    const std::size_t failureCount = out.failureCount();
    bool failed = failureCount > 0 || (options.strict && out.warnings() > 0);
    if (failureCount > 0) {
        std::cerr << "panel_host: " << failureCount << (failureCount == 1 ? " failure" : " failures") << ":\n";
        for (const auto& message : failures)
            std::cerr << "  " << message.substr(0, message.find('\n')) << '\n';
        if (failureCount > failures.size())
            std::cerr << "  ... and " << failureCount - failures.size() << " more\n";
    } else if (runner.expectationsChecked() > 0) {
        out.block(out.paint(std::string(out.style().unicode ? "✔ " : "OK ") + "all " +
                                std::to_string(runner.expectationsChecked()) + " expectations met",
                            ansi::green));
    }
    out.flush();
    if (options.strict && out.warnings() > 0)
        std::cerr << "panel_host: " << out.warnings() << " warnings (--strict)\n";
    if (!recordWritten)
        return 2;
    return failed ? 1 : 0;
}

// A scenario's lines one by one, until its end, a failure that stops the
// run, or the end of the run (a signal, a closed output): the line it
// stopped before is then a failure, so that a run cut short never passes.
void runScenario(session_recorder& session, const run_mode& mode, run_end& ending, transcript& out)
{
    const std::string_view text = mode.scenarioText;
    std::size_t at = 0;
    std::string_view line;
    int number = 0;
    bool goOn = true;
    while (goOn && nextLine(text, at, line)) {
        ++number;
        ending.check();
        if (ending.requested()) {
            out.failure(mode.scenarioName + ":" + std::to_string(number),
                        "the run was ended (" + ending.why() + ") before this line");
            out.flush();
            break;
        }
        goOn = session.runLine(line).keepGoing;
    }
    session.finish();
}

prompt_hooks promptHooks(run_parts& parts, scenario_runner& runner)
{
    prompt_hooks hooks;
    hooks.loop = &parts.loop;
    hooks.ending = &parts.ending;
    hooks.output = &parts.output;
    hooks.errors = &parts.errors;
    if (parts.links.size() > 0)
        hooks.idle = [&links = parts.links, &runner] { deliverReports(links, runner); };
    return hooks;
}

// The facility is set up and the component's module open: the session
// runs, from the page, the prompt or the scenario text, until it ends
// (app/run_end.h). The exit status.
int runSession(const host_options& options, const run_mode& mode, const installation_paths& paths,
               scenario_runner& runner, router_model& routers, transcript& out, run_parts& parts)
{
    // --record: every line goes through the session, which keeps it. The
    // path is tried now, so that one that cannot be written stops the run
    // before it starts; a recording already there stays until the end.
    session_recorder session(runner, mode.interactive ? "<terminal>" : mode.scenarioName);
    std::string error;
    if (!options.record.empty()) {
        if (!session_recorder::canWrite(options.record, error))
            return fail("--record: " + error);
        recordStartingFaults(options, session);
    } else if (!mode.serve && !mode.interactive) {
        session.stop();  // a scenario file is kept by nobody: its lines need not be
    }
    if (mode.serve) {
        if (serve(options, paths, runner, routers, out, session, parts.loop) != 0)
            return 2;
    } else if (mode.interactive) {
        runInteractive(session, out, promptHooks(parts, runner));
    } else {
        runScenario(session, mode, parts.ending, out);
    }
    // The links close: nothing of the loop runs from here on, so nothing a
    // router says can change the state being written.
    parts.loop.close(std::chrono::milliseconds(0));
    // The final state is taken before the components are deleted.
    bool recordWritten = options.record.empty() || session.write(options.record, error);
    runner.finish();
    if (!recordWritten)
        std::cerr << "panel_host: --record: " << terminalSafe(error) << '\n';
    return summarize(out, runner, options, recordWritten);
}

int runHost(int argc, char** argv)
{
    host_options options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0)
        return status;
    applyDefaults(options, executableDirectory(argc > 0 ? argv[0] : nullptr));
    run_mode mode = chooseMode(options);
    if ((status = readAndCheckScenario(options, mode)) >= 0)
        return status;
    std::int64_t delay = 0;
    if (!readDelay(options, delay))
        return 2;
    installation_paths paths(options.installation, options.system);
    router_model routers;
    if ((status = loadInstallation(options, paths, routers)) >= 0)
        return status;

    transcript out(std::cout, styleFor(options));
    // The loop outlives the runner, whose host owns the router links on it.
    event_loop loop;
    // From here on signals, "quit" and a closed output end the run in order.
    run_end ending(loop);
    output_watch output(std::cout, [&ending] { ending.outputClosed(); });
    output_watch errors(std::cerr, nullptr);
    scenario_runner runner(settingsFor(options, mode, out.style()), routers, out);
    std::string error;
    if (!runner.openModule(error))
        return fail(error);
    applyFaults(runner, options, delay);
    // Devices reached over SW-P-08 or the Videohub protocol: their links run
    // on the program's one event loop, polled between scenario steps.
    router_links links(loop);
    if (!wireRouterLinks(links, routers, runner, options.routers, error))
        return fail(error);
    printHeader(out, options, paths, routers);
    connectLinks(out, links);
    run_parts parts{loop, ending, output, errors, links};
    return runSession(options, mode, paths, runner, routers, out, parts);
}

}  // namespace

int main(int argc, char** argv)
{
#if !defined(_WIN32)
    // A closed output makes writes fail, from the start; it never kills.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // The event loop and the router links report a broken socket layer by
    // throwing; nothing else is expected to.
    try {
        return runHost(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "panel_host: " << failure.what() << '\n';
        return 2;
    }
}
