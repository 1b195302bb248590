// web_view: `panel_host --serve [ADDRESS:]PORT`. A small HTTP and WebSocket
// server on the simulator's one event loop: it serves the page that draws
// the panels from their layouts, the facility beside them and the live
// transcript, and runs what a person does there as scenario lines. The
// virtual clock follows wall time while it serves.
//
// Only this folder sees Boost.Beast; the rest of panel_host sees this.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class event_loop;
class router_model;
class scenario_runner;
class session_recorder;
class transcript;

// What the browser view needs to know of the run.
struct web_settings {
    std::string serve;                      // [ADDRESS:]PORT
    std::string scenario;                   // run first; empty: the component is created
    std::string record;                     // the file the page's record button writes; empty: none
    std::vector<std::string> imageFolders;  // where /images/NAME is looked for, in order
    std::string stylesFile;                 // the installation's state-sheet styles
    std::string tokenFile;                  // --token-file: the access key, needed even on loopback
    std::vector<std::string> allowHosts;    // --allow-host: names the Host header may give
    bool remoteRules = false;               // test-only: loopback served as if it were another address
    std::size_t maxConnections = 256;       // connections at once; more are answered 503
};

// "8080", "127.0.0.1:8080", "0.0.0.0:8080", "[::1]:8080"; port 0 lets the
// system choose. False, with `error`, for anything else.
bool parseServeAddress(const std::string& text, std::string& address, unsigned short& port, std::string& error);

// Serves until SIGINT or SIGTERM. Runs the scenario file of `settings`
// first (or creates the component when there is none), prints the URL
// (with the access key beyond loopback or with a token file), and returns
// 0 when served, 2 when the address is bad or cannot be listened on, the
// access key cannot be had or the scenario cannot run (with the message
// printed). Every line runs
// through `session`, whose recording the page's record button shows and
// writes to the --record file; the caller writes it once more at the end.
int serveWebView(const web_settings& settings, scenario_runner& runner, router_model& routers, transcript& out,
                 session_recorder& session, event_loop& loop);
