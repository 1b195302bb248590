#include "app/options.h"

#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "scenario/scenario_parser.h"

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

// A path given relative to the current folder, made absolute: the module
// is then never looked up on the dynamic loader's search path, and the
// load data built from the layout folder is not put below that folder a
// second time. Rooted paths stay as they are.
std::string anchored(const std::string& given)
{
    fs::path path(given);
    if (path.has_root_directory())
        return given;
    std::error_code failure;
    path = fs::absolute(path, failure);
    if (failure)
        return given;
    path = path.lexically_normal();
    // "dir/" names the folder "dir".
    if (!path.has_filename() && path.has_relative_path())
        path = path.parent_path();
    return path.string();
}

bool hasLayoutFile(const fs::path& folder)
{
    std::error_code failure;
    for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
        if (it->path().extension() == ".zelm_ui")
            return true;
    return false;
}

// What to run, and where it finds the module and the installation.
void addRunOptions(CLI::App& app, host_options& options)
{
    app.add_option("scenario", options.scenario,
                   "Scenario file to run (\"-\": standard input). Its language is listed below.");
    app.add_option("--module,-m", options.module,
                   std::string("Panel module to load; a relative path, a bare name too, is taken from the "
                               "current folder (default: Tessaly_Q") +
                       moduleSuffix + " next to panel_host).");
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
}

// How the run is shown and judged.
void addOutputOptions(CLI::App& app, host_options& options)
{
    app.add_flag("--picture,-p", options.picture, "Draw the panel in the terminal at every \"show\" line.");
    app.add_flag("--quiet,-q", options.quiet,
                 "Print only headings, pictures, tables and failures (and warnings with --strict).");
    app.add_flag("--verbose,-v", options.verbose, "Also print every revertive, every give-back and the step lines.");
    app.add_flag("--ascii", options.ascii, "Draw with ASCII characters only.");
    app.add_option("--color", options.color, "Colours: auto (on a terminal), always or never.")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->capture_default_str();
    app.add_flag("--stop-on-failure", options.stopOnFailure,
                 "Stop at the first failed expectation (the run goes on by default).");
    app.add_flag("--strict", options.strict, "Count warnings (unknown controls, refused routes ...) as failures.");
    app.add_flag("--check", options.check,
                 "Only read the scenario (standard input, even on a terminal) and report its errors; load "
                 "nothing.");
    app.add_option("--record-events", options.recordEvents,
                   "Write every event delivered to the (first) component, every command it sent with the "
                   "host's answer and every give-back to this file, for replay_host (format: "
                   "panel_host/facility/event_record.h).");
}

// The facility's faults and the real routers it reaches.
void addFacilityOptions(CLI::App& app, host_options& options)
{
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
                   "its device file's Protocol= (simulated for none); repeat it for several.")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    // One device per --offline (or a comma list), so that the scenario after
    // it is not taken for a device.
    app.add_option("--offline", options.offline,
                   "Fault: this device starts offline (repeat the option, or give a list: 31,32).")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->delimiter(',')
        ->allow_extra_args(false);
}

// The browser view and the session's recording.
void addServeOptions(CLI::App& app, host_options& options)
{
    app.add_option("--serve", options.serve,
                   "Serve the browser view at [ADDRESS:]PORT (address 127.0.0.1 unless given): the panel drawn "
                   "from its layout, the facility, the transcript; the scenario file, if any, runs first.");
    app.add_option("--token-file", options.tokenFile,
                   "With --serve: the access key is the first line of this file (made, readable by its owner "
                   "alone, when missing), so that it survives a restart; asked for even on loopback. Beyond "
                   "loopback a new key is made at every start without it.");
    app.add_option("--allow-host", options.allowHosts,
                   "With --serve: also answer requests whose Host names NAME (a host name or address, without "
                   "the port), as when the view is reached through a name; repeat it for several.")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
    // The tests reach the rules of a server beyond loopback on 127.0.0.1.
    app.add_flag("--serve-as-remote", options.serveAsRemote)->group("");
    app.add_option("--record", options.record,
                   "Write the session to this file as a scenario: every line run, waits for the virtual time "
                   "between, then expectations of the final state (with --serve: also when the page's Record "
                   "button is pressed). \"panel_host FILE\" replays it.");
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
    addRunOptions(app, options);
    addOutputOptions(app, options);
    addFacilityOptions(app, options);
    addServeOptions(app, options);
    app.footer(std::string("\n") +
               "Exit status: 0 when every expectation held, 1 when one failed, a panel\n"
               "could not be shown or the component broke the host protocol, 2 for a bad\n"
               "option, a missing installation, a module that cannot be loaded or a scenario\n"
               "with bad lines (at most 20 are listed).\n\n" +
               scenarioLanguageSummary());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && app.count("--offline") > 0)
            std::cerr << "(--offline takes one device: repeat it, or give a list such as --offline 31,32)\n";
        return status == 0 ? 0 : 2;
    }
    options.dataGiven = app.count("--data") > 0;
    // An empty path would silently mean the default.
    const std::pair<const char*, const std::string*> paths[] = {
        {"--module", &options.module}, {"--installation", &options.installation}, {"--layouts", &options.layouts}};
    for (const auto& path : paths)
        if (app.count(path.first) > 0 && path.second->empty()) {
            std::cerr << "panel_host: " << path.first << ": an empty path names nothing\n";
            return 2;
        }
    for (const char* option : {"--token-file", "--allow-host", "--serve-as-remote"})
        if (app.count(option) > 0 && options.serve.empty()) {
            std::cerr << "panel_host: " << option << " is an option of the browser view: give --serve too\n";
            return 2;
        }
    if (app.count("--token-file") > 0 && options.tokenFile.empty()) {
        std::cerr << "panel_host: --token-file: an empty path names nothing\n";
        return 2;
    }
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
    else
        options.module = anchored(options.module);
    if (!options.layouts.empty())
        options.layouts = anchored(options.layouts);
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
