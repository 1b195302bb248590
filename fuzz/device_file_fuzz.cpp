// The simulator's device-file reader on arbitrary file contents: the ini
// reading, the device it makes and the faults it reports. The first byte
// chooses whether the text goes through a file, so that the database sizes
// are read by the module's own reader as in a run; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "facility/ini_file.h"
#include "facility/router_model.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "temp_installation.h"
#include "text/file_faults.h"

namespace {

const temp_installation& installation()
{
    static const std::unique_ptr<temp_installation> made = std::make_unique<temp_installation>();
    return *made;
}

void checkFaults(const fault_list& faults, int lines)
{
    check(static_cast<int>(faults.kept().size()) <= faults.errors() + faults.warnings());
    for (const file_fault& fault : faults.kept()) {
        check(fault.line >= 0 && fault.line <= lines + 1);
        for (char c : fault.message)  // texts from the file are shown escaped
            check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
}

void checkDevice(const device_model& device)
{
    check(device.sources() >= 0 && device.sources() <= simulatorSizeLimit);
    check(device.destinations() >= 0 && device.destinations() <= simulatorSizeLimit);
    check(device.changedDestinations().empty());  // nothing routed since the start
    const int probes[] = {0, 1, device.destinations(), device.destinations() + 1, -1};
    for (int destination : probes) {
        const auto source = device.crosspoint(destination);
        check(source.has_value() == (device.isRouter() && destination >= 1 && destination <= device.destinations()));
        if (source)
            check(*source >= 0 && (device.sources() == 0 || *source <= device.sources()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input input(data, size);
    const bool throughFile = input.flag();
    const std::string text = input.rest();
    int lines = 1;
    for (char c : text)
        lines += c == '\n' ? 1 : 0;

    if (throughFile) {
        const temp_installation& install = installation();
        install.writeDeviceIni(31, text);
        router_model routers;
        fault_list faults;
        check(routers.load(install.systemDir(), faults));
        checkFaults(faults, lines);
        if (const device_model* device = routers.device(31))
            checkDevice(*device);
        return 0;
    }
    fault_list faults;
    ini_file ini;
    ini.parse(text, &faults, "dev_031.ini");
    device_model device = device_model::fromIni(31, ini, &faults);
    checkFaults(faults, lines);
    checkDevice(device);
    return 0;
}
