// router_wiring: links to real routers (routers/) joined to the runner of a
// facility (scenario/). Neither room knows the other; this is where they
// meet.
//
// Thread: the simulator's one thread, like the runner and the links.
#pragma once

#include <string>
#include <vector>

#include "routers/router_setup.h"

class router_model;
class scenario_runner;

// Sets up a link for every device reached over a protocol and hands each to
// the runner's host links (all of its components share them): their "RC"
// and "RP" go to the router, what the router reports comes back to the
// hosts, and the names a router changes reach every component from the
// clock, as "rename" would. Before every step the links settle. False, with
// `error` naming the file or the option, for a bad choice.
bool wireRouterLinks(router_links& links, router_model& routers, scenario_runner& runner,
                     const std::vector<std::string>& overrides, std::string& error);

// What the routers reported while no step ran (another controller's route,
// a name), delivered to the components now: the prompt, while the
// operator is idle.
void deliverReports(router_links& links, scenario_runner& runner);
