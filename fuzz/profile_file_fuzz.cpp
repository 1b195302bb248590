// The profile-file reader on arbitrary file contents, directly and through
// the database-size lookup of the installation. The first bytes choose the
// section, the key and the room for the result; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "platform/profile_file.h"
#include "temp_installation.h"
#include "zelm_script_helper.h"

namespace {

const temp_installation& installation()
{
    static const std::unique_ptr<temp_installation> made = std::make_unique<temp_installation>();
    return *made;
}

const char* const sections[] = {"Database", "database", " Database ", "", "[Database]", "Other"};
const char* const keys[] = {"DatabaseSize_1", "databasesize_1", "DatabaseSize_0", "", "=", ";x"};
const std::uint32_t rooms[] = {0, 1, 2, 3, 8, 16, 256};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const temp_installation& install = installation();
    fuzz_input input(data, size);
    const std::string section = input.flag() ? std::string(input.pick(sections)) : input.text(16);
    const std::string key = input.flag() ? std::string(input.pick(keys)) : input.text(16);
    const std::uint32_t room = input.pick(rooms);
    const std::string contents = input.rest();

    install.writeDeviceIni(1, contents);
    const std::string path = install.systemDir() + "/dev_001.ini";

    char result[256 + 1];
    std::memset(result, 'x', sizeof result);
    const std::uint32_t copied =
        zelm_platform::readProfileString(section.c_str(), key.c_str(), "fallback", result, room, path.c_str());
    check(result[256] == 'x');  // never past the room it was given
    if (room == 0) {
        check(copied == 0);
    } else {
        check(copied < room);
        // A NUL byte of the file ends the value, as it does for the API, so
        // the count is the length of the text copied.
        check(std::strlen(result) == copied);
        // Reading the same bytes from memory gives the same answer.
        char fromMemory[256 + 1];
        check(zelm_platform::readProfileText(section.c_str(), key.c_str(), "fallback", fromMemory, room,
                                             contents.data(), contents.size()) == copied);
        check(std::memcmp(fromMemory, result, copied + 1) == 0);
    }

    // The same file as a device ini, through the installation.
    const std::int32_t databaseSize = lookup_probe::readDatabaseSize(1, 1);
    static_cast<void>(databaseSize);  // any number is a defined outcome
    return 0;
}
