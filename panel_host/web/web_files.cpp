#include "web/web_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "facility/ini_file.h"
#include "web/json_text.h"

namespace fs = std::filesystem;

bool percentDecode(const std::string& text, std::string& decoded)
{
    decoded.clear();
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        int high = hex(text[i + 1]), low = hex(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return false;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

namespace {

bool safeName(const std::string& name, std::string& why)
{
    if (name.empty() || name.size() > 255) {
        why = "bad image name";
        return false;
    }
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == '/')) {
            why = "image names hold only letters, digits, '-', '_', '.' and '/'";
            return false;
        }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            why = "image paths may not leave the images folder";
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool inside(const fs::path& file, const fs::path& folder)
{
    auto f = file.begin();
    for (auto d = folder.begin(); d != folder.end(); ++d, ++f)
        if (f == file.end() || *f != *d)
            return false;
    return true;
}

}  // namespace

std::string findImage(const std::vector<std::string>& folders, const std::string& name, bool& refused, std::string& why)
{
    refused = false;
    if (!safeName(name, why)) {
        refused = true;
        return std::string();
    }
    for (const auto& folder : folders) {
        std::error_code failure;
        fs::path images = fs::canonical(fs::path(folder) / "images", failure);
        if (failure)
            continue;
        fs::path file = fs::canonical(images / name, failure);
        if (failure || !fs::is_regular_file(file, failure))
            continue;
        // A link inside the folder may point out of it: such a file is
        // not served.
        if (!inside(file, images)) {
            refused = true;
            why = "image paths may not leave the images folder";
            return std::string();
        }
        return file.string();
    }
    why = "no image " + name;
    return std::string();
}

const char* contentType(const std::string& file)
{
    std::string extension = fs::path(file).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".html")
        return "text/html; charset=utf-8";
    if (extension == ".js")
        return "text/javascript; charset=utf-8";
    if (extension == ".css")
        return "text/css; charset=utf-8";
    if (extension == ".png")
        return "image/png";
    if (extension == ".jpg" || extension == ".jpeg")
        return "image/jpeg";
    if (extension == ".gif")
        return "image/gif";
    if (extension == ".bmp")
        return "image/bmp";
    if (extension == ".svg")
        return "image/svg+xml";
    if (extension == ".ico")
        return "image/x-icon";
    return "application/octet-stream";
}

std::vector<state_style> defaultStyles()
{
    // Dark panel, red armed Take, muted disarmed Take, and the plain
    // colour words a host's state sheets are often named after.
    return {
        {"take_high", "#d32f2f", "#ffffff", "#ff8a80", true},   {"take_low", "#4a2323", "#e6c8c8", "#7a3b3b", false},
        {"dark_panel", "#1e2227", "#e0e0e0", "#1e2227", false}, {"light_panel", "#d7dbe0", "#111111", "#b0b6bd", false},
        {"red", "#c62828", "#ffffff", "#ef9a9a", true},         {"amber", "#ff8f00", "#111111", "#ffca28", true},
        {"green", "#2e7d32", "#ffffff", "#a5d6a7", true},       {"blue", "#1565c0", "#ffffff", "#90caf9", false},
        {"grey", "#5f6368", "#ffffff", "#9aa0a6", false},
    };
}

namespace {

bool cssColour(const std::string& value)
{
    if (value.empty() || value.size() > 40)
        return false;
    for (char c : value)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '#' || c == '(' || c == ')' || c == ',' || c == '.' ||
              c == '%' || c == ' '))
            return false;
    return true;
}

}  // namespace

std::vector<state_style> readStyles(const std::string& file, std::vector<std::string>& problems)
{
    std::vector<state_style> styles = defaultStyles();
    std::error_code failure;
    if (file.empty() || !fs::is_regular_file(file, failure))
        return styles;
    ini_file ini;
    if (!ini.load(file)) {
        problems.push_back(file + ": cannot be read");
        return styles;
    }
    // ini_file keeps no list of sections, so the file is scanned for them.
    std::ifstream in(file, std::ios::binary);
    std::ostringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        std::size_t open = line.find_first_not_of(" \t");
        std::size_t close = line.find(']');
        if (open == std::string::npos || line[open] != '[' || close == std::string::npos || close < open)
            continue;
        std::string name = line.substr(open + 1, close - open - 1);
        const ini_file::entries* entries = ini.section(name);
        if (entries == nullptr)
            continue;
        state_style style;
        style.name = name;
        bool good = true;
        for (const auto& entry : *entries) {
            std::string where = file + ":" + std::to_string(entry.line);
            where.append(": [").append(name).append("] ").append(entry.key).append(": ");
            if (sameNameIgnoringCase(entry.key, "bold")) {
                style.bold = entry.value == "yes" || entry.value == "true" || entry.value == "1";
                continue;
            }
            std::string* target = sameNameIgnoringCase(entry.key, "background") ? &style.background
                                  : sameNameIgnoringCase(entry.key, "color")    ? &style.color
                                  : sameNameIgnoringCase(entry.key, "border")   ? &style.border
                                                                                : nullptr;
            if (target == nullptr) {
                problems.push_back(where + "unknown key (background, color, border, bold)");
                good = false;
            } else if (!cssColour(entry.value)) {
                problems.push_back(where + "\"" + entry.value + "\" is not a colour such as #1e2227 or red");
                good = false;
            } else {
                *target = entry.value;
            }
        }
        if (!good)
            continue;
        auto known = std::find_if(styles.begin(), styles.end(), [&](const state_style& s) { return s.name == name; });
        if (known != styles.end())
            *known = style;
        else
            styles.push_back(style);
    }
    return styles;
}

std::string stylesJson(const std::vector<state_style>& styles)
{
    json::writer out;
    out.beginObject();
    for (const auto& style : styles) {
        out.key(style.name).beginObject();
        out.key("background").value(style.background);
        out.key("color").value(style.color);
        out.key("border").value(style.border);
        out.key("bold").value(style.bold);
        out.endObject();
    }
    out.endObject();
    return out.take();
}
