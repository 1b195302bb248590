// panel_picture: draws a panel as the operator would see it, in the
// terminal. The take / undo panel (a layout with the level controls
// "ID_L1" ... "Dst_UL3") gets its own picture: three level rows with
// caption, tick or cross, source and destination names and the names Undo
// would restore, then the Take, Undo and Clear buttons in the layout's
// order (left to right) with their enabled state and state sheets. Any other layout is drawn as a list of its
// controls and their properties.
#pragma once

#include <string>

#include "facility/panel_model.h"
#include "facility/router_model.h"

struct picture_style {
    bool unicode = true;
    bool color = false;
};

std::string drawPanel(const std::string& panelName, const panel_layout& layout, picture_style style);

// A router's crosspoints with their names, for "show router". With
// first > last, the destinations that changed since the start (or, when
// none did, the first sixteen) are listed.
std::string drawRouter(const device_model& device, int first, int last, picture_style style);
