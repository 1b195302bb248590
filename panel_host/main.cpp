// panel_host: runs a panel module against a simulated host and facility,
// from a scenario file, from standard input, or by hand at a prompt.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
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

#include "installation_check.h"
#include "interactive.h"
#include "options.h"
#include "router_model.h"
#include "scenario_parser.h"
#include "scenario_runner.h"
#include "session_recorder.h"
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

// The scenario's lines, as the parser splits them.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
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

int main(int argc, char** argv)
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
    std::string scenarioText;
    if (!interactive) {
        std::string& text = scenarioText;
        std::string error;
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
    transcript out(std::cout, style);

    runner_settings settings;
    settings.modulePath = options.module;
    settings.loadData = options.data;
    settings.layoutDir = options.layouts;
    settings.picture = options.picture || interactive;
    settings.stopOnFailure = options.stopOnFailure;
    settings.pictureStyle.unicode = style.unicode;
    settings.pictureStyle.color = style.color;
    scenario_runner runner(settings, routers, out);
    if (!runner.openModule(error)) {
        std::cerr << "panel_host: " << error << '\n';
        return 2;
    }
    runner.host().faults().delay = delay;
    runner.host().faults().dropPercent = options.drop;
    runner.host().faults().duplicatePercent = options.duplicate;
    runner.host().seed(options.seed);

    if (style.verbosity >= 1) {
        std::cout << out.paint("panel_host", ansi::bold) << "  module " << options.module << "\n"
                  << "            installation " << root.string() << " (system " << options.system << ", "
                  << routers.devices().size() << " devices)\n"
                  << "            layouts " << options.layouts << "\n";
    }

    // --record: every line goes through the session, which keeps it. The
    // file is written once now, so that a path that cannot be written stops
    // the run before it starts.
    session_recorder session(runner, interactive              ? "<terminal>"
                                     : options.scenario == "-" ? "<stdin>"
                                                               : options.scenario);
    if (!options.record.empty()) {
        if (!session.write(options.record, error)) {
            std::cerr << "panel_host: --record: " << error << '\n';
            return 2;
        }
        recordStartingFaults(options, session);
    }

    int badLines = 0;
    if (interactive) {
        scenario_step create;
        create.kind = step_kind::create;
        create.file = "<terminal>";
        runner.run(create);
        session.recordLine(options.dataGiven ? "create " + quotedScenarioWord(options.data) : "create");
        badLines = runInteractive(session);
    } else if (!options.record.empty()) {
        for (std::string_view line : splitLines(scenarioText))
            if (!session.runLine(line).keepGoing)
                break;
    } else {
        for (const auto& step : scenario.steps)
            if (!runner.run(step))
                break;
    }
    // The final state is taken before the components are deleted.
    bool recordWritten = options.record.empty() || session.write(options.record, error);
    runner.finish();
    if (!recordWritten)
        std::cerr << "panel_host: --record: " << error << '\n';

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
    if (!recordWritten)
        return 2;
    return failed ? 1 : 0;
}
