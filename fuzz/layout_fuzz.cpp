// The simulator's layout reader on arbitrary file contents: a usable layout
// has controls with distinct, non-empty ids, every fault names a line of the
// file, and the layout's controls answer the host's reads.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "facility/panel_model.h"
#include "fuzz_support.h"
#include "text/file_faults.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : text)
        lines += c == '\n' ? 1 : 0;
    fault_list faults;
    panel_layout layout;
    const bool usable = parseLayout(text, "fuzz.zelm_ui", layout, faults);
    check(usable == (faults.errors() == 0));
    for (const file_fault& fault : faults.kept())
        check(fault.line >= 0 && fault.line <= lines + 1);
    if (!usable)
        return 0;
    std::set<std::string> ids;
    for (const panel_control& control : layout.controls) {
        check(!control.id.empty());
        check(ids.insert(control.id).second);
    }
    panel_model panels;
    panels.show("1", layout);
    std::vector<std::string> listed;
    std::string problem, answer;
    check(panels.list("1", "", listed, problem));
    check(listed.size() == layout.controls.size());
    for (const std::string& id : listed)
        check(panels.read("1", id, "all", answer, problem));
    return 0;
}
