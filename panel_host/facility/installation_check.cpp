#include "facility/installation_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include <pugixml.hpp>

#include "facility/panel_model.h"

namespace fs = std::filesystem;

namespace {

// Reads a file whole; false, with the fault reported, when it is a folder
// or cannot be read.
bool readWhole(const std::string& path, const char* what, std::string& text, fault_list& faults)
{
    std::error_code failure;
    if (fs::is_directory(path, failure)) {
        faults.error(path, 0, std::string("a folder, not ") + what);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        faults.error(path, 0, std::string("cannot read ") + what);
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

std::string elementName(const pugi::xml_node& node) { return "<" + shownText(node.name()) + ">"; }

}  // namespace

void checkObjectSettings(const std::string& path, fault_list& faults)
{
    std::error_code failure;
    if (!fs::exists(path, failure)) {
        faults.warning(path, 0, "no object settings: every object the module looks up reads as empty");
        return;
    }
    std::string text;
    if (!readWhole(path, "a settings file", text, faults))
        return;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        faults.error(path, 0, "empty: the module would read no settings at all");
        return;
    }
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed) {
        faults.error(path, lineOfOffset(text, parsed.offset),
                     std::string("not well-formed XML: ") + parsed.description() +
                         "; the module would read no settings at all");
        return;
    }
    auto line = [&](const pugi::xml_node& node) { return lineOfOffset(text, node.offset_debug()); };
    pugi::xml_node root = document.document_element();
    if (std::string(root.name()) != "object_settings")
        faults.warning(path, line(root), "the root element is " + elementName(root) + ", not <object_settings>");
    std::map<std::string, int> objects;
    for (pugi::xml_node object : root.children()) {
        if (object.type() != pugi::node_element)
            continue;
        pugi::xml_attribute id = object.attribute("id");
        if (!id) {
            faults.warning(path, line(object), elementName(object) + " without an id: no lookup can reach it");
            continue;
        }
        auto first = objects.emplace(id.value(), line(object));
        if (!first.second)
            faults.warning(path, line(object),
                           "object \"" + shownText(id.value()) + "\" again (first at line " +
                               std::to_string(first.first->second) + "): the module reads the first");
        std::map<std::string, int> settings;
        for (pugi::xml_node setting : object.children()) {
            if (setting.type() != pugi::node_element)
                continue;
            pugi::xml_attribute key = setting.attribute("id");
            if (!key) {
                faults.warning(path, line(setting), elementName(setting) + " without an id: no lookup can reach it");
                continue;
            }
            if (!setting.attribute("value"))
                faults.warning(path, line(setting),
                               "setting \"" + shownText(key.value()) + "\" without a value: it reads as empty");
            auto earlier = settings.emplace(key.value(), line(setting));
            if (!earlier.second)
                faults.warning(path, line(setting),
                               "setting \"" + shownText(key.value()) + "\" again (first at line " +
                                   std::to_string(earlier.first->second) + "): the module reads the first");
        }
    }
}

void checkLayouts(const std::string& layoutDir, fault_list& faults)
{
    std::error_code failure;
    fs::directory_iterator entries(layoutDir, failure);
    if (failure)
        return;  // a missing layout folder shows when a layout is asked for
    std::vector<fs::path> files;
    for (const auto& entry : entries)
        if (entry.path().extension() == ".zelm_ui")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::string text;
        if (!readWhole(file.string(), "a layout file", text, faults))
            continue;
        panel_layout layout;
        parseLayout(text, file.string(), layout, faults);
    }
}

fault_list checkInstallation(const std::string& configDir, const std::string& layoutDir, router_model& routers)
{
    fault_list faults;
    checkObjectSettings((fs::path(configDir) / "object_settings.xml").string(), faults);
    const fs::path systemDir = fs::path(configDir) / "system";
    std::error_code failure;
    if (fs::is_directory(systemDir, failure))
        routers.load(systemDir.string(), faults);
    else
        faults.warning(systemDir.string(), 0, "no device folder: the installation has no devices");
    checkLayouts(layoutDir, faults);
    return faults;
}

bool acceptInstallation(const fault_list& faults, bool strict, std::ostream& out)
{
    faults.print(out);
    auto count = [](int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    if (faults.errors() > 0) {
        out << "panel_host: " << count(faults.errors(), "error") << " in the installation or layouts; nothing runs\n";
        return false;
    }
    if (strict && faults.warnings() > 0) {
        out << "panel_host: " << count(faults.warnings(), "warning")
            << " in the installation or layouts (--strict); nothing runs\n";
        return false;
    }
    return true;
}
