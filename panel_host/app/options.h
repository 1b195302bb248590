// options: panel_host's command line, read with CLI11, and the defaults
// that depend on where the program lives.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct host_options {
    std::string scenario;        // empty: interactive (terminal) or standard input
    std::string module;          // the panel module
    std::string installation;    // QV_ROOT
    std::string system = "SYS";  // QV_SYSTEM
    std::string data;            // load data text
    bool dataGiven = false;
    std::string layouts;  // folder of layout files
    bool picture = false;
    bool quiet = false;
    bool verbose = false;
    bool ascii = false;
    std::string color = "auto";
    bool stopOnFailure = false;
    bool strict = false;
    bool check = false;
    std::string recordEvents;  // --record-events FILE: the event record of the run
    std::string revertiveDelay = "0";
    int drop = 0;
    int duplicate = 0;
    std::uint32_t seed = 1;
    std::vector<int> offline;
    std::string serve;                    // [ADDRESS:]PORT of the browser view; empty: none
    std::string tokenFile;                // --token-file: the browser view's access key, even on loopback
    std::vector<std::string> allowHosts;  // --allow-host: names the browser view answers to
    bool serveAsRemote = false;           // test-only: loopback served with the rules of another address
    std::string record;                   // write the session to this scenario file
    std::vector<std::string> routers;     // "31=swp08:127.0.0.1:9000": a device reached over a protocol
};

// Reads the command line. Returns -1 to go on, or the exit status when the
// program is to stop (0 after --help, 2 after a bad option, with the message
// already printed).
int parseOptions(int argc, char** argv, host_options& options);

// Fills in what the command line left open: the module next to the
// executable, the sample installation, the layout folder and the load data.
void applyDefaults(host_options& options, const std::string& executableDir);

// The folder of the running executable.
std::string executableDirectory(const char* argv0);
