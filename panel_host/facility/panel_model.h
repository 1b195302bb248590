// panel_model: the panels the host shows and the state of their controls.
//
// A layout file is XML:
//
//   <zelm_ui name="TessalyQ" width="640" height="240">
//     <control id="Take" kind="button" x="10" y="10" w="80" h="30" text="Take" statesheet="take_low"/>
//     ...
//   </zelm_ui>
//
// id, kind, x, y, w, h and enabled ("true"/"false", default true) describe
// the control; every other attribute is an initial property. "PS" loads a
// layout onto a panel; "TP", "CE", "CD" change controls; "TG" and "XI" read
// them.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct panel_control {
    std::string id;
    std::string kind;
    int x = 0, y = 0, w = 0, h = 0;
    bool enabled = true;
    std::vector<std::pair<std::string, std::string>> properties;  // in order of first setting

    // The property's value, or null when it was never set.
    const std::string* property(const std::string& name) const;
    void setProperty(const std::string& name, const std::string& value);
};

struct panel_layout {
    std::string name;
    std::string file;
    int width = 0, height = 0;
    std::vector<panel_control> controls;

    panel_control* control(const std::string& id);
    const panel_control* control(const std::string& id) const;
};

class fault_list;

// Reads a layout file. False, with `error` ("file:line: message"), when it
// cannot be read, is not well-formed, is not a layout or gives two controls
// the same id.
bool loadLayout(const std::string& path, panel_layout& layout, std::string& error);
bool parseLayout(const std::string& xml, panel_layout& layout, std::string& error);
// The same, every fault reported to `faults` under the name `file`: the
// errors above, and as warnings what the reading passes over (a control
// without an id, a position that is not a number, an unknown element).
bool parseLayout(const std::string& xml, const std::string& file, panel_layout& layout, fault_list& faults);
bool loadLayout(const std::string& path, panel_layout& layout, fault_list& faults);

class panel_model {
public:
    // Every operation that names a panel or control the model does not know
    // leaves the model as it is and returns false with `problem` set.

    void show(const std::string& panel, panel_layout layout);
    panel_layout* panel(const std::string& panel);
    const panel_layout* panel(const std::string& panel) const;
    const std::map<std::string, panel_layout>& panels() const { return panels_; }

    bool setProperty(const std::string& panel, const std::string& control, const std::string& property,
                     const std::string& value, std::string& problem);
    bool setEnabled(const std::string& panel, const std::string& control, bool enabled, std::string& problem);
    // "property=value", or for "all" every property, one per line. Unset
    // properties read as empty.
    bool read(const std::string& panel, const std::string& control, const std::string& property, std::string& answer,
              std::string& problem) const;
    // Ids of the panel's controls that begin with `prefix`, in layout order.
    bool list(const std::string& panel, const std::string& prefix, std::vector<std::string>& ids,
              std::string& problem) const;

    const panel_control* find(const std::string& panel, const std::string& control) const;

private:
    panel_control* locate(const std::string& panel, const std::string& control, std::string& problem);
    std::map<std::string, panel_layout> panels_;
};
