// The soaks' command lines, read with CLI11 as panel_host's are: --help
// prints the options and exits 0; a bad or incomplete option prints CLI11's
// message and exits 2, the soaks' status for bad usage.
#pragma once

#include <exception>
#include <iostream>

#include <CLI/CLI.hpp>

// Parses argv into `app`'s options. Returns true to go on; false when the
// program should end now with `status`.
inline bool readSoakOptions(CLI::App& app, int argc, char** argv, int& status)
{
    try {
        app.parse(argc, argv);
        return true;
    } catch (const CLI::ParseError& error) {
        status = app.exit(error) == 0 ? 0 : 2;
        return false;
    }
}

// A soak's main: runs `run`; an exception escaping it (no memory, a
// failing stream) is a failed setup: its message and status 2.
inline int runSoakProgram(const char* program, int (*run)(int, char**), int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << program << ": " << failure.what() << '\n';
    } catch (...) {
        std::cerr << program << ": stopped by an unknown failure\n";
    }
    return 2;
}
