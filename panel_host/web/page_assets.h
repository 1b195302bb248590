// page_assets: the page's own files (assets/), compiled into panel_host so
// that the browser view needs nothing installed beside the program.
#pragma once

#include <cstddef>
#include <string>

struct page_asset {
    const char* path;  // "/index.html", "/panel.js", ...
    const unsigned char* data;
    std::size_t size;
};

// The asset served at `path`, or null.
const page_asset* findPageAsset(const std::string& path);
