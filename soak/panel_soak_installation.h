// The installation the panel soak generates for itself, and what the soak
// needs to know of it to pick its lines and predict the panel's levels.
//
// Package levels 1..3 on routers 31 (32 sources, 48 destinations), 32 (64
// sources, 240 destinations: beyond the panel's tally) and 33 (16 x 16);
// packages on device 20. Package texts reach edges on purpose: "-" fields,
// missing fields, an empty text, a source beyond the router, destination 0,
// 200, 201 and 210.
#pragma once

#include <string>
#include <vector>

#include "temp_installation.h"

constexpr int soakPackageCount = 12;

struct router_shape {
    int device, sources, destinations;
};
extern const router_shape soakRouterShapes[3];

// Matrix objects: driver_ids position 1 is the package names device,
// position n+1 the router of package level n.
struct matrix_object {
    const char* id;
    const char* levels;
    const char* types;
    const char* ids;
};
extern const matrix_object soakMatrixObjects[3];
// Values of the panel's "uselevels" setting the soak tries, odd ones among them.
extern const char* const soakUseLevelChoices[9];

void writeSoakInstallation(const temp_installation& install);

// The routers of the panel's levels under a configuration, as the panel
// works them out (0: no router).
std::vector<int> levelRouters(const std::string& object, const std::string& useLevels);
