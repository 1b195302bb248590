#include "scenario/panel_picture.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "text/transcript.h"

namespace {

class painter {
public:
    explicit painter(picture_style style) : style_(style) {}
    std::string operator()(const std::string& text, const char* code) const
    {
        if (!style_.color)
            return text;
        return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
    }
    const char* pick(const char* unicode, const char* ascii) const { return style_.unicode ? unicode : ascii; }
    bool unicode() const { return style_.unicode; }

private:
    picture_style style_;
};

std::string repeat(const std::string& piece, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

std::string textOf(const panel_layout& layout, const std::string& id)
{
    const panel_control* control = layout.control(id);
    if (control == nullptr)
        return std::string();
    const std::string* text = control->property("text");
    return text == nullptr ? std::string() : terminalSafe(*text);
}

std::string propertyOf(const panel_layout& layout, const std::string& id, const std::string& name)
{
    const panel_control* control = layout.control(id);
    if (control == nullptr)
        return std::string();
    const std::string* value = control->property(name);
    return value == nullptr ? std::string() : terminalSafe(*value);
}

bool enabledOf(const panel_layout& layout, const std::string& id)
{
    const panel_control* control = layout.control(id);
    return control != nullptr && control->enabled;
}

bool isTakeUndoPanel(const panel_layout& layout)
{
    for (const char* id : {"Take", "Undo", "ID_L1", "Enable_L1", "Src_L1", "Dst_L1", "Src_UL1", "Dst_UL1"})
        if (layout.control(id) == nullptr)
            return false;
    return true;
}

// Inner width of the take / undo picture, in columns.
constexpr std::size_t innerWidth = 76;
constexpr std::size_t captionWidth = 9;
constexpr std::size_t nameWidth = 13;

std::string framed(const painter& paint, const std::string& content)
{
    return paint(paint.pick("│", "|"), ansi::dim) + content +
           std::string(innerWidth - std::min(innerWidth, displayWidth(content)), ' ') +
           paint(paint.pick("│", "|"), ansi::dim) + "\n";
}

// `content` has escape codes; `visible` is its width without them.
std::string framedPainted(const painter& paint, const std::string& content, std::size_t visible)
{
    return paint(paint.pick("│", "|"), ansi::dim) + content +
           std::string(innerWidth - std::min(innerWidth, visible), ' ') + paint(paint.pick("│", "|"), ansi::dim) + "\n";
}

// A button face with a state sheet of the default palette takes its
// colour (an armed Take's "take_high" red on, "take_low" red), so that
// Take visibly flashes on a colour terminal.
const char* faceColor(const std::string& sheet, bool on)
{
    if (sheet == "take_high" || sheet == "red")
        return "1;7;31";
    if (sheet == "take_low")
        return "31";
    if (sheet == "green")
        return "1;7;32";
    if (sheet == "amber")
        return "1;7;33";
    if (sheet == "blue")
        return "1;7;34";
    return on ? ansi::bold : ansi::dim;
}

struct button_picture {
    std::string top, middle, bottom;  // painted
    std::size_t width = 0;            // visible width of each line
};

button_picture drawButton(const painter& paint, const panel_layout& layout, const std::string& id)
{
    button_picture b;
    const panel_control* control = layout.control(id);
    std::string label = textOf(layout, id);
    if (label.empty())
        label = id;
    // The label centred on a face ten columns wide.
    std::size_t labelWidth = std::min<std::size_t>(displayWidth(label), 10);
    std::size_t before = (10 - labelWidth) / 2;
    std::string face = fitWidth(std::string(before, ' ') + label, 10, paint.unicode());
    if (control == nullptr) {
        b.width = 0;
        return b;
    }
    bool on = control->enabled;
    std::string sheet = propertyOf(layout, id, "statesheet");
    std::string state = on ? "enabled" : "disabled";
    const char* tl = on ? paint.pick("╔", "#") : paint.pick("┌", "+");
    const char* tr = on ? paint.pick("╗", "#") : paint.pick("┐", "+");
    const char* bl = on ? paint.pick("╚", "#") : paint.pick("└", "+");
    const char* br = on ? paint.pick("╝", "#") : paint.pick("┘", "+");
    const char* hz = on ? paint.pick("═", "=") : paint.pick("─", "-");
    const char* vt = on ? paint.pick("║", "#") : paint.pick("│", "|");
    const char* boxColor = on ? ansi::bold : ansi::dim;
    std::string side1 = fitWidth(" " + state, 12, paint.unicode());
    std::string side2 = fitWidth(sheet.empty() ? std::string() : " " + sheet, 12, paint.unicode());
    b.top = paint(std::string(tl) + repeat(hz, 10) + tr, boxColor) + std::string(12, ' ');
    b.middle = paint(vt, boxColor) + paint(face, faceColor(sheet, on)) + paint(vt, boxColor) +
               paint(side1, on ? ansi::green : ansi::dim);
    b.bottom = paint(std::string(bl) + repeat(hz, 10) + br, boxColor) + paint(side2, ansi::yellow);
    b.width = 12 + 12;
    return b;
}

std::string titleLine(const painter& paint, const std::string& panelName, const panel_layout& layout)
{
    std::string title =
        std::string(paint.pick("─ ", "- ")) + "panel " + terminalSafe(panelName) +
        (layout.name.empty() ? std::string() : std::string(paint.pick(" · ", " - ")) + terminalSafe(layout.name)) + " ";
    std::string background = propertyOf(layout, "TUC_BGND", "statesheet");
    std::string right = background.empty() ? std::string() : " background " + background + paint.pick(" ─", " -");
    std::size_t fill = innerWidth - std::min(innerWidth, displayWidth(title) + displayWidth(right));
    return paint(paint.pick("╭", "+") + title + repeat(paint.pick("─", "-"), fill) + right + paint.pick("╮", "+"),
                 ansi::dim) +
           "\n";
}

std::string headerLine(const painter& paint)
{
    std::string header = " " + fitWidth("LEVEL", captionWidth, paint.unicode()) + "     " +
                         fitWidth("SOURCE", nameWidth, paint.unicode()) + " " +
                         fitWidth("DESTINATION", nameWidth, paint.unicode()) + " " + paint.pick("┊", ":") + " " +
                         fitWidth("UNDO SOURCE", nameWidth, paint.unicode()) + " " +
                         fitWidth("UNDO DEST", nameWidth, paint.unicode());
    return framedPainted(paint, paint(header, ansi::dim), displayWidth(header));
}

// The tick or cross of a level's enable button, bracketed when it can be
// pressed.
std::string enableMark(const painter& paint, const panel_layout& layout, const std::string& n)
{
    std::string pixmap = propertyOf(layout, "Enable_L" + n, "pixmap");
    std::string mark = " ";
    const char* markColor = ansi::dim;
    if (pixmap.find("tick") != std::string::npos) {
        mark = paint.pick("✔", "v");
        markColor = ansi::green;
    } else if (pixmap.find("cross") != std::string::npos) {
        mark = paint.pick("✘", "x");
        markColor = ansi::red;
    } else if (!pixmap.empty()) {
        mark = "?";
    }
    bool markOn = enabledOf(layout, "Enable_L" + n);
    return paint(markOn ? "[" + mark + "]" : " " + mark + " ", markColor);
}

std::string levelLine(const painter& paint, const panel_layout& layout, int level)
{
    std::string n = std::to_string(level);
    std::string caption = textOf(layout, "ID_L" + n);
    bool captionOn = enabledOf(layout, "ID_L" + n);
    std::string src = fitWidth(textOf(layout, "Src_L" + n), nameWidth, paint.unicode());
    std::string dst = fitWidth(textOf(layout, "Dst_L" + n), nameWidth, paint.unicode());
    std::string usrc = fitWidth(textOf(layout, "Src_UL" + n), nameWidth, paint.unicode());
    std::string udst = fitWidth(textOf(layout, "Dst_UL" + n), nameWidth, paint.unicode());
    std::string row = " " +
                      paint(fitWidth(caption.empty() ? "(level " + n + ")" : caption, captionWidth, paint.unicode()),
                            captionOn ? ansi::bold : ansi::dim) +
                      " " + enableMark(paint, layout, n) + " " + paint(src, ansi::cyan) + " " + paint(dst, ansi::cyan) +
                      " " + paint(paint.pick("┊", ":"), ansi::dim) + " " + paint(usrc, ansi::magenta) + " " +
                      paint(udst, ansi::magenta);
    std::size_t visible = 1 + captionWidth + 1 + 3 + 1 + nameWidth + 1 + nameWidth + 3 + nameWidth + 1 + nameWidth;
    return framedPainted(paint, row, visible);
}

std::string buttonLines(const painter& paint, const panel_layout& layout)
{
    // In the layout's order, left to right (then top to bottom), as the
    // operator sees them.
    std::vector<const panel_control*> shown;
    for (const char* id : {"Take", "Undo", "Clear"})
        if (const panel_control* control = layout.control(id))
            shown.push_back(control);
    std::stable_sort(shown.begin(), shown.end(), [](const panel_control* a, const panel_control* b) {
        return a->y != b->y ? a->y < b->y : a->x < b->x;
    });
    std::vector<button_picture> buttons;
    buttons.reserve(shown.size());
    for (const panel_control* control : shown)
        buttons.push_back(drawButton(paint, layout, control->id));
    std::string lines[3];
    std::size_t visible = 0;
    for (const auto& b : buttons) {
        lines[0] += " " + b.top;
        lines[1] += " " + b.middle;
        lines[2] += " " + b.bottom;
        visible += 1 + b.width;
    }
    std::string out;
    for (const auto& line : lines)
        out += framedPainted(paint, line, visible);
    return out;
}

// State sheets of the name labels, when any are set.
std::string labelSheetsLine(const painter& paint, const panel_layout& layout)
{
    std::string sheets;
    for (int level = 1; level <= 3; ++level) {
        std::string sheet = propertyOf(layout, "Src_L" + std::to_string(level), "statesheet");
        if (!sheet.empty())
            sheets += "  L" + std::to_string(level) + " " + sheet;
    }
    if (sheets.empty())
        return std::string();
    std::string line = " label sheets:" + sheets;
    return framedPainted(paint, paint(fitWidth(line, innerWidth, paint.unicode()), ansi::dim),
                         std::min(innerWidth, displayWidth(line)));
}

std::string drawTakeUndo(const std::string& panelName, const panel_layout& layout, picture_style style)
{
    painter paint(style);
    std::string out = titleLine(paint, panelName, layout) + headerLine(paint);
    for (int level = 1; level <= 3; ++level)
        out += levelLine(paint, layout, level);
    out += framed(paint, "");
    out += buttonLines(paint, layout);
    out += labelSheetsLine(paint, layout);
    out += paint(paint.pick("╰", "+") + repeat(paint.pick("─", "-"), innerWidth) + paint.pick("╯", "+"), ansi::dim) +
           "\n";
    return out;
}

std::string drawList(const std::string& panelName, const panel_layout& layout, picture_style style)
{
    painter paint(style);
    std::ostringstream out;
    out << paint("panel " + terminalSafe(panelName) +
                     (layout.name.empty() ? std::string() : " (" + terminalSafe(layout.name) + ")"),
                 ansi::bold)
        << "\n";
    for (const auto& control : layout.controls) {
        out << "  "
            << paint(fitWidth(terminalSafe(control.id), 14, paint.unicode()), control.enabled ? ansi::bold : ansi::dim)
            << " " << fitWidth(terminalSafe(control.kind), 8, paint.unicode())
            << (control.enabled ? " enabled " : " disabled");
        for (const auto& property : control.properties)
            out << "  " << terminalSafe(property.first) << "=" << paint(terminalSafe(property.second), ansi::cyan);
        out << "\n";
    }
    return out.str();
}

}  // namespace

std::string drawPanel(const std::string& panelName, const panel_layout& layout, picture_style style)
{
    return isTakeUndoPanel(layout) ? drawTakeUndo(panelName, layout, style) : drawList(panelName, layout, style);
}

std::string drawRouter(const device_model& device, int first, int last, picture_style style)
{
    painter paint(style);
    std::ostringstream out;
    out << paint("router " + std::to_string(device.number()) + " \"" + terminalSafe(device.name()) + "\"", ansi::bold)
        << "  " << device.sources() << " sources, " << device.destinations() << " destinations"
        << (device.online() ? "" : paint("  OFFLINE", ansi::red)) << "\n";
    std::vector<int> rows;
    std::vector<int> changed = device.changedDestinations();
    if (first > last) {
        rows = changed;
        if (rows.empty())
            for (int d = 1; d <= std::min(16, device.destinations()); ++d)
                rows.push_back(d);
    } else {
        for (int d = std::max(1, first); d <= std::min(last, device.destinations()); ++d)
            rows.push_back(d);
    }
    if (rows.empty()) {
        out << "  (no destinations)\n";
        return out.str();
    }
    for (int d : rows) {
        int source = device.crosspoint(d).value_or(0);
        std::string destName = terminalSafe(device.name(1, d).value_or(""));
        std::string sourceName = source == 0 ? std::string("(park)")
                                             : terminalSafe(device.name(0, source).value_or(""));
        bool moved = std::find(changed.begin(), changed.end(), d) != changed.end();
        std::string line = "  " + fitWidth(std::to_string(d), 4, paint.unicode()) + " " +
                           fitWidth(destName, 14, paint.unicode()) + " " + paint.pick("◀─ ", "<- ") +
                           fitWidth(std::to_string(source), 4, paint.unicode()) + " " + sourceName;
        if (moved)
            line = fitWidth(line, 46, paint.unicode());
        out << (moved ? paint(line, ansi::yellow) + paint("  changed", ansi::yellow) : line) << "\n";
    }
    return out.str();
}
