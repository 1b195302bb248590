#include "panel_model.h"

#include <cstring>

#include <pugixml.hpp>

#include "host_command.h"

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

int number(const pugi::xml_node& node, const char* name)
{
    int value = 0;
    readInt32(node.attribute(name).value(), value);
    return value;
}

bool readLayout(const pugi::xml_document& document, panel_layout& layout, std::string& error)
{
    pugi::xml_node root = document.document_element();
    if (std::strcmp(root.name(), "zelm_ui") != 0) {
        error = std::string("not a panel layout: root element is <") + root.name() + ">, not <zelm_ui>";
        return false;
    }
    layout.name = root.attribute("name").value();
    layout.width = number(root, "width");
    layout.height = number(root, "height");
    layout.controls.clear();
    for (pugi::xml_node node : root.children("control")) {
        panel_control control;
        control.id = node.attribute("id").value();
        if (control.id.empty())
            continue;
        control.kind = node.attribute("kind").value();
        control.x = number(node, "x");
        control.y = number(node, "y");
        control.w = number(node, "w");
        control.h = number(node, "h");
        std::string enabled = node.attribute("enabled").value();
        control.enabled = !(enabled == "false" || enabled == "0" || enabled == "no");
        for (pugi::xml_attribute attribute : node.attributes()) {
            std::string name = attribute.name();
            if (name == "id" || name == "kind" || name == "x" || name == "y" || name == "w" || name == "h" ||
                name == "enabled")
                continue;
            control.setProperty(name, attribute.value());
        }
        layout.controls.push_back(std::move(control));
    }
    return true;
}

}  // namespace

bool loadLayout(const std::string& path, panel_layout& layout, std::string& error)
{
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_file(path.c_str());
    if (!parsed) {
        error = path + ": " + parsed.description();
        return false;
    }
    layout.file = path;
    if (!readLayout(document, layout, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool parseLayout(const std::string& xml, panel_layout& layout, std::string& error)
{
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_string(xml.c_str());
    if (!parsed) {
        error = parsed.description();
        return false;
    }
    return readLayout(document, layout, error);
}

void panel_model::show(const std::string& panelName, panel_layout layout)
{
    panels_[panelName] = std::move(layout);
}

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
