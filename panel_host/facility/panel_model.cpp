#include "facility/panel_model.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <pugixml.hpp>

#include "facility/host_command.h"
#include "text/file_faults.h"

const std::string* panel_control::property(const std::string& name) const
{
    for (const auto& entry : properties)
        if (entry.first == name)
            return &entry.second;
    return nullptr;
}

void panel_control::setProperty(const std::string& name, const std::string& value)
{
    for (auto& entry : properties)
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    properties.emplace_back(name, value);
}

panel_control* panel_layout::control(const std::string& id)
{
    for (auto& entry : controls)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

const panel_control* panel_layout::control(const std::string& id) const
{
    for (const auto& entry : controls)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

namespace {

class layout_reader {
public:
    layout_reader(const std::string& xml, const std::string& file, fault_list& faults)
        : xml_(xml), file_(file), faults_(faults)
    {
    }

    bool read(panel_layout& layout)
    {
        const int errorsBefore = faults_.errors();
        pugi::xml_document document;
        pugi::xml_parse_result parsed = document.load_buffer(xml_.data(), xml_.size());
        if (!parsed) {
            faults_.error(file_, lineOfOffset(xml_, parsed.offset),
                          std::string("not well-formed XML: ") + parsed.description());
            return false;
        }
        pugi::xml_node root = document.document_element();
        if (std::strcmp(root.name(), "zelm_ui") != 0) {
            faults_.error(file_, line(root),
                          std::string("not a panel layout: root element is <") + shownText(root.name()) +
                              ">, not <zelm_ui>");
            return false;
        }
        layout.name = root.attribute("name").value();
        layout.width = number(root, "width");
        layout.height = number(root, "height");
        layout.controls.clear();
        std::map<std::string, int> firstLine;
        for (pugi::xml_node node : root.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (std::strcmp(node.name(), "control") != 0) {
                faults_.warning(file_, line(node), "unknown element <" + shownText(node.name()) + ">; ignored");
                continue;
            }
            panel_control control;
            control.id = node.attribute("id").value();
            if (control.id.empty()) {
                faults_.warning(file_, line(node), "a control without an id; ignored");
                continue;
            }
            auto first = firstLine.emplace(control.id, line(node));
            if (!first.second) {
                faults_.error(file_, line(node),
                              "control id \"" + shownText(control.id) + "\" again (first at line " +
                                  std::to_string(first.first->second) + "): commands could reach only the first");
                continue;
            }
            control.kind = node.attribute("kind").value();
            control.x = number(node, "x");
            control.y = number(node, "y");
            control.w = number(node, "w");
            control.h = number(node, "h");
            std::string enabled = node.attribute("enabled").value();
            control.enabled = !(enabled == "false" || enabled == "0" || enabled == "no");
            if (node.attribute("enabled") && control.enabled && enabled != "true" && enabled != "1" && enabled != "yes")
                faults_.warning(file_, line(node), "enabled=\"" + shownText(enabled) + "\" is neither true nor false");
            for (pugi::xml_attribute attribute : node.attributes()) {
                std::string name = attribute.name();
                if (name == "id" || name == "kind" || name == "x" || name == "y" || name == "w" || name == "h" ||
                    name == "enabled")
                    continue;
                control.setProperty(name, attribute.value());
            }
            layout.controls.push_back(std::move(control));
        }
        return faults_.errors() == errorsBefore;
    }

private:
    int line(const pugi::xml_node& node) const { return lineOfOffset(xml_, node.offset_debug()); }

    int number(const pugi::xml_node& node, const char* name)
    {
        pugi::xml_attribute attribute = node.attribute(name);
        int value = 0;
        if (attribute && !readInt32(attribute.value(), value))
            faults_.warning(file_, line(node),
                            std::string(name) + "=\"" + shownText(attribute.value()) + "\" is not a number; read as 0");
        return value;
    }

    const std::string& xml_;
    const std::string& file_;
    fault_list& faults_;
};

void firstError(const fault_list& faults, std::string& error)
{
    for (const auto& fault : faults.kept())
        if (fault.error) {
            error = fault.text();
            return;
        }
}

}  // namespace

bool parseLayout(const std::string& xml, const std::string& file, panel_layout& layout, fault_list& faults)
{
    return layout_reader(xml, file, faults).read(layout);
}

bool loadLayout(const std::string& path, panel_layout& layout, fault_list& faults)
{
    std::error_code failure;
    std::ifstream in(path, std::ios::binary);
    if (std::filesystem::is_directory(path, failure) || !in) {
        faults.error(path, 0, "File was not found");
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    layout.file = path;
    return parseLayout(text.str(), path, layout, faults);
}

bool loadLayout(const std::string& path, panel_layout& layout, std::string& error)
{
    fault_list faults;
    if (loadLayout(path, layout, faults))
        return true;
    firstError(faults, error);
    return false;
}

bool parseLayout(const std::string& xml, panel_layout& layout, std::string& error)
{
    fault_list faults;
    if (parseLayout(xml, "<layout>", layout, faults))
        return true;
    firstError(faults, error);
    return false;
}

void panel_model::show(const std::string& panelName, panel_layout layout) { panels_[panelName] = std::move(layout); }

panel_layout* panel_model::panel(const std::string& panelName)
{
    auto found = panels_.find(panelName);
    return found == panels_.end() ? nullptr : &found->second;
}

const panel_layout* panel_model::panel(const std::string& panelName) const
{
    auto found = panels_.find(panelName);
    return found == panels_.end() ? nullptr : &found->second;
}

const panel_control* panel_model::find(const std::string& panelName, const std::string& control) const
{
    const panel_layout* layout = panel(panelName);
    return layout == nullptr ? nullptr : layout->control(control);
}

panel_control* panel_model::locate(const std::string& panelName, const std::string& control, std::string& problem)
{
    panel_layout* layout = panel(panelName);
    if (layout == nullptr) {
        problem = "no panel '" + panelName + "' is shown";
        return nullptr;
    }
    panel_control* found = layout->control(control);
    if (found == nullptr)
        problem = "panel '" + panelName + "' (" + layout->name + ") has no control '" + control + "'";
    return found;
}

bool panel_model::setProperty(const std::string& panelName, const std::string& control, const std::string& property,
                              const std::string& value, std::string& problem)
{
    panel_control* found = locate(panelName, control, problem);
    if (found == nullptr)
        return false;
    found->setProperty(property, value);
    return true;
}

bool panel_model::setEnabled(const std::string& panelName, const std::string& control, bool enabled,
                             std::string& problem)
{
    panel_control* found = locate(panelName, control, problem);
    if (found == nullptr)
        return false;
    found->enabled = enabled;
    return true;
}

bool panel_model::read(const std::string& panelName, const std::string& control, const std::string& property,
                       std::string& answer, std::string& problem) const
{
    const panel_layout* layout = panel(panelName);
    if (layout == nullptr) {
        problem = "no panel '" + panelName + "' is shown";
        return false;
    }
    const panel_control* found = layout->control(control);
    if (found == nullptr) {
        problem = "panel '" + panelName + "' (" + layout->name + ") has no control '" + control + "'";
        return false;
    }
    answer.clear();
    if (property == "all") {
        for (const auto& entry : found->properties) {
            if (!answer.empty())
                answer += '\n';
            answer += entry.first + "=" + entry.second;
        }
        return true;
    }
    const std::string* value = found->property(property);
    answer = property + "=" + (value == nullptr ? std::string() : *value);
    return true;
}

bool panel_model::list(const std::string& panelName, const std::string& prefix, std::vector<std::string>& ids,
                       std::string& problem) const
{
    const panel_layout* layout = panel(panelName);
    if (layout == nullptr) {
        problem = "no panel '" + panelName + "' is shown";
        return false;
    }
    ids.clear();
    for (const auto& control : layout->controls)
        if (control.id.compare(0, prefix.size(), prefix) == 0)
            ids.push_back(control.id);
    return true;
}
