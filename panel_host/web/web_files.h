// web_files: what the web view reads from disk for the page, and nothing
// else: the images a layout names (from the layout folder's images/ and the
// installation's images/) and the installation's state-sheet styles.
#pragma once

#include <string>
#include <vector>

// Decodes %XX escapes of a request path. False for a bad escape or one that
// decodes to a NUL.
bool percentDecode(const std::string& text, std::string& decoded);

// The file that a request for "/images/<name>" reads: <folder>/images/<name>
// from the first folder that has it. `name` (decoded) may hold sub-folders
// but no "..", ".", empty or absolute parts, no backslash or colon, and only
// letters, digits, '-', '_', '.' and '/'. The found file is checked to lie
// inside the images folder after links are resolved. Returns an empty text,
// with `why` set, when refused or not found; `refused` tells which.
std::string findImage(const std::vector<std::string>& folders, const std::string& name, bool& refused,
                      std::string& why);

// Content type by file extension (images, the page's own assets).
const char* contentType(const std::string& file);

// A state-sheet name and the look the page gives it.
struct state_style {
    std::string name;
    std::string background;  // CSS colours
    std::string color;
    std::string border;
    bool bold = false;
};

// The palette the page uses when the installation carries no styles file;
// see README "The browser view".
std::vector<state_style> defaultStyles();

// Reads a styles file (ini: one [statesheet] section each, keys background,
// color, border, bold=yes|no) over the default palette. A missing file
// leaves the default; each bad entry is reported in `problems` as
// "FILE: [section] key: message" and left out.
std::vector<state_style> readStyles(const std::string& file, std::vector<std::string>& problems);

// The styles as the JSON object the page reads: {"name": {...}, ...}.
std::string stylesJson(const std::vector<state_style>& styles);
