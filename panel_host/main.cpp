// panel_host: runs a panel module against a simulated host and facility,
// from a scenario file, from standard input, or by hand at a prompt.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#if defined(_WIN32)
#  include <io.h>
#  define isatty _isatty
#  define fileno _fileno
#else
#  include <unistd.h>
#endif

#include "interactive.h"
#include "event_loop.h"
#include "options.h"
#include "router_model.h"
#include "router_setup.h"
#include "scenario_parser.h"
#include "scenario_runner.h"
#include "transcript.h"

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

bool readScenario(const std::string& file, std::string& text, std::string& error)
{
    if (file == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        text = all.str();
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read scenario file " + file;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
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

}  // namespace

namespace {

int runHost(int argc, char** argv)
{
    host_options options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0)
        return status;
    applyDefaults(options, executableDirectory(argc > 0 ? argv[0] : nullptr));

    bool interactive = options.scenario.empty() && isatty(fileno(stdin));
    if (options.scenario.empty() && !interactive)
        options.scenario = "-";

    // The scenario is read whole before anything runs, so that a bad line
    // stops the run before the component sees a single event.
    parsed_scenario scenario;
    if (!interactive) {
        std::string text, error;
        if (!readScenario(options.scenario, text, error)) {
            std::cerr << "panel_host: " << error << '\n';
            return 2;
        }
        scenario = parseScenario(text, options.scenario == "-" ? "<stdin>" : options.scenario);
        for (const auto& bad : scenario.errors)
            std::cerr << bad.where() << ": " << bad.message << '\n';
        if (!scenario.errors.empty())
            return 2;
        if (options.check)
            return 0;
    }

    std::int64_t delay = 0;
    if (!readTime(options.revertiveDelay, delay)) {
        std::cerr << "panel_host: --revertive-delay: \"" << options.revertiveDelay
                  << "\" is not a time such as 500, 500ms or 2s\n";
        return 2;
    }

    std::error_code failure;
    fs::path root = fs::absolute(options.installation, failure);
    fs::path systemDir = root / options.system / "config" / "system";
    if (!fs::is_directory(root / options.system / "config", failure)) {
        std::cerr << "panel_host: missing installation: " << (root / options.system / "config").string()
                  << " is not a folder (see --installation and --system)\n";
        return 2;
    }
    router_model routers;
    std::string error;
    if (fs::is_directory(systemDir, failure) && !routers.load(systemDir.string(), error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
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
    transcript out(std::cout, style);

    runner_settings settings;
    settings.modulePath = options.module;
    settings.loadData = options.data;
    settings.layoutDir = options.layouts;
    settings.picture = options.picture || interactive;
    settings.stopOnFailure = options.stopOnFailure;
    settings.pictureStyle.unicode = style.unicode;
    settings.pictureStyle.color = style.color;
    // The loop outlives the runner, whose host owns the router links on it.
    event_loop loop;
    scenario_runner runner(settings, routers, out);
    if (!runner.openModule(error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    runner.host().faults().delay = delay;
    runner.host().faults().dropPercent = options.drop;
    runner.host().faults().duplicatePercent = options.duplicate;
    runner.host().seed(options.seed);
    // Devices reached over SW-P-08 or the Videohub protocol: their links run
    // on the program's one event loop, polled between scenario steps.
    router_links links(loop);
    if (!links.setUp(systemDir.string(), routers, runner.host(), options.routers, error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }

    if (style.verbosity >= 1) {
        std::cout << out.paint("panel_host", ansi::bold) << "  module " << options.module << "\n"
                  << "            installation " << root.string() << " (system " << options.system << ", "
                  << routers.devices().size() << " devices)\n"
                  << "            layouts " << options.layouts << "\n";
    }
    if (links.size() > 0) {
        std::ostringstream lines;
        links.connectAll(lines);
        if (style.verbosity >= 1)
            std::cout << lines.str();
        links.attach(runner);
    }

    int badLines = 0;
    if (interactive) {
        scenario_step create;
        create.kind = step_kind::create;
        create.file = "<terminal>";
        runner.run(create);
        badLines = runInteractive(runner);
    } else {
        for (const auto& step : scenario.steps)
            if (!runner.run(step))
                break;
    }
    runner.finish();

    const auto& failures = out.failures();
    bool failed = !failures.empty() || (options.strict && out.warnings() > 0);
    if (!failures.empty()) {
        std::cerr << "panel_host: " << failures.size() << (failures.size() == 1 ? " failure" : " failures") << ":\n";
        for (const auto& message : failures)
            std::cerr << "  " << message.substr(0, message.find('\n')) << '\n';
    }
    else if (runner.expectationsChecked() > 0)
        std::cout << out.paint(std::string(style.unicode ? "✔ " : "OK ") + "all " +
                                   std::to_string(runner.expectationsChecked()) + " expectations met",
                               ansi::green)
                  << '\n';
    if (options.strict && out.warnings() > 0)
        std::cerr << "panel_host: " << out.warnings() << " warnings (--strict)\n";
    (void)badLines;
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
