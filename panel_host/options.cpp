#include "options.h"

#include <filesystem>

#include <CLI/CLI.hpp>

#include "scenario_parser.h"

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace fs = std::filesystem;

#ifndef ZELM_SOURCE_DIR
#  define ZELM_SOURCE_DIR ""
#endif

namespace {

#if defined(_WIN32)
const char* const moduleSuffix = ".dll";
#else
const char* const moduleSuffix = ".so";
#endif

bool hasLayoutFile(const fs::path& folder)
{
    std::error_code failure;
    for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
        if (it->path().extension() == ".zelm_ui")
            return true;
    return false;
}

}  // namespace

int parseOptions(int argc, char** argv, host_options& options)
{
    CLI::App app{"panel_host: runs a panel module against a simulated host and facility.\n"
                 "It loads the module as the panel host does, creates the component, delivers\n"
                 "events through hostEvent and plays the panels, routers, names databases and\n"
                 "timers around it. Without a scenario file it reads lines from the terminal\n"
                 "(with line editing and history) or from standard input.",
                 "panel_host"};
    // Options are spelled --name and -n on every platform; on Windows CLI11
    // would otherwise take a path such as /data/x.scn for an option.
    app.allow_windows_style_options(false);
    app.add_option("scenario", options.scenario,
                   "Scenario file to run (\"-\": standard input). Its language is listed below.");
    app.add_option("--module,-m", options.module,
                   std::string("Panel module to load (default: Tessaly_Q") + moduleSuffix +
                       " next to panel_host).");
    app.add_option("--installation,-i", options.installation,
                   "Installation folder, used as QV_ROOT: it holds SYSTEM/config/object_settings.xml and "
                   "SYSTEM/config/system/dev_NNN.ini (default: the sample installation under examples/).");
    app.add_option("--system,-s", options.system, "System name below the installation, used as QV_SYSTEM.")
        ->capture_default_str();
    app.add_option("--data,-d", options.data,
                   "Load data text handed to the module's export; the component puts it in front of its "
                   "layout file name (default: the layout folder).");
    app.add_option("--layouts,-l", options.layouts,
                   "Folder that relative layout paths in \"PS\" are read from (default: the module's folder "
                   "when it holds a .zelm_ui file, else the panel's source folder).");
    app.add_flag("--picture,-p", options.picture, "Draw the panel in the terminal at every \"show\" line.");
    app.add_flag("--quiet,-q", options.quiet, "Print only headings, pictures, tables and failures.");
    app.add_flag("--verbose,-v", options.verbose, "Also print every revertive, every give-back and the step lines.");
    app.add_flag("--ascii", options.ascii, "Draw with ASCII characters only.");
    app.add_option("--color", options.color, "Colours: auto (on a terminal), always or never.")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->capture_default_str();
    app.add_flag("--stop-on-failure", options.stopOnFailure,
                 "Stop at the first failed expectation (the run goes on by default).");
    app.add_flag("--strict", options.strict, "Count warnings (unknown controls, refused routes ...) as failures.");
    app.add_flag("--check", options.check, "Only read the scenario and report its errors; load nothing.");
    app.add_option("--revertive-delay", options.revertiveDelay,
                   "Fault: revertives arrive this much virtual time after a change (500, 500ms, 2s).")
        ->capture_default_str();
    app.add_option("--drop", options.drop, "Fault: percentage of revertives lost.")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    app.add_option("--duplicate", options.duplicate, "Fault: percentage of revertives delivered twice.")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    app.add_option("--seed", options.seed, "Seed of the fault dice; the same seed gives the same run.")
        ->capture_default_str();
    app.add_option("--router", options.routers,
                   "DEV=PROTOCOL[:HOST:PORT[:MATRIX:LEVEL]]: reach router DEV over swp08 or videohub instead of "
                   "its device file's Protocol= (simulated for none); may be repeated.")
        ->allow_extra_args(false);
    app.add_option("--offline", options.offline, "Fault: this device starts offline (may be repeated).")
        ->allow_extra_args(false);
    app.footer(std::string("\n") + "Exit status: 0 when every expectation held, 1 when one failed or the\n"
               "component broke the host protocol, 2 for a bad option, a missing installation,\n"
               "a module that cannot be loaded or a scenario with bad lines.\n\n" +
               scenarioLanguageSummary());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    options.dataGiven = app.count("--data") > 0;
    return -1;
}

std::string executableDirectory(const char* argv0)
{
    std::error_code failure;
#if defined(_WIN32)
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return fs::path(std::string(path, length)).parent_path().string();
#else
    fs::path self = fs::read_symlink("/proc/self/exe", failure);
    if (!failure)
        return self.parent_path().string();
#endif
    fs::path fallback = fs::absolute(argv0 == nullptr ? "" : argv0, failure);
    return fallback.parent_path().string();
}

void applyDefaults(host_options& options, const std::string& executableDir)
{
    fs::path here(executableDir);
    if (options.module.empty())
        options.module = (here / (std::string("Tessaly_Q") + moduleSuffix)).string();
    if (options.installation.empty()) {
        fs::path installed = here / "examples" / "installation";
        fs::path source = fs::path(ZELM_SOURCE_DIR) / "examples" / "installation";
        std::error_code failure;
        options.installation =
            (fs::is_directory(installed, failure) || std::string(ZELM_SOURCE_DIR).empty() ? installed : source)
                .string();
    }
    if (options.layouts.empty()) {
        std::error_code absoluteFailure;
        fs::path moduleDir = fs::absolute(options.module, absoluteFailure).parent_path();
        fs::path source = fs::path(ZELM_SOURCE_DIR) / "panels" / "components" / "Tessaly_Q";
        std::error_code failure;
        if (hasLayoutFile(moduleDir) || std::string(ZELM_SOURCE_DIR).empty() || !fs::is_directory(source, failure))
            options.layouts = moduleDir.string();
        else
            options.layouts = source.string();
    }
    if (!options.dataGiven)
        options.data = options.layouts;
}
