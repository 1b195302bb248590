// The simulator's reading of the command lines a component sends, on
// arbitrary lines: the parser alone, then the whole simulated host handling
// the line against a small facility and layout, its answers given back as a
// component must. "PS" is left to the layout target: it reads files.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "facility/host_command.h"
#include "facility/simulated_host.h"
#include "fuzz_support.h"

namespace {

const char* const layoutText =
    "<zelm_ui name='F'><control id='Take' kind='button'/><control id='alm_a' kind='label'/></zelm_ui>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const host_command command = parseHostCommand(line);
    check(command.ok() == command.error.empty());
    if (command.ok()) {
        check(!command.word.empty());
        for (const std::string& arg : command.args)
            check(line.find(arg) != std::string::npos);  // every argument is a piece of the line
    }
    int number = 0;
    if (readInt32(line, number))
        check(!line.empty());
    if (command.word == "PS")
        return 0;

    std::ostringstream text;
    transcript out(text, transcript_style{2, false, false});
    panel_model panels;
    router_model routers;
    virtual_clock clock;
    device_model router(31, "Video", true);
    router.setSize(4, 8);
    router.setName(0, 2, "CAM|2");
    routers.add(router);
    routers.add(device_model(20, "Packages", false));
    panel_layout layout;
    std::string error;
    check(parseLayout(layoutText, layout, error));
    panels.show("1", layout);
    simulated_host host(panels, routers, clock, out, std::string());
    const char* answer = host.send(line.c_str(), zelmSendCommand);
    if (answer != nullptr)
        host.send(answer, zelmGiveBack);
    check(host.takeUnreturnedAnswers().empty());
    return 0;
}
