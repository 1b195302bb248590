// The settings reader on arbitrary file contents, directly and through the
// object-setting lookup of the installation. The first bytes choose the
// block, the attribute and the key; the rest is the XML file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "temp_installation.h"
#include "zelm_config.h"
#include "zelm_script_helper.h"

namespace {

const temp_installation& installation()
{
    static const std::unique_ptr<temp_installation> made = std::make_unique<temp_installation>();
    return *made;
}

const char* const blocks[] = {"object_settings.MTX",    "object_settings",
                              "object_settings.",       "object_settings.a.b",
                              "object_settings..",      ".MTX",
                              "../object_settings.MTX", ""};
const char* const attributes[] = {"id", "value", "", "x", "id "};
const char* const objects[] = {"MTX", "", "%1", "a.b", "MTX "};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const temp_installation& install = installation();
    fuzz_input input(data, size);
    const std::string block = input.flag() ? std::string(input.pick(blocks)) : input.text(24);
    const std::string attribute = input.flag() ? std::string(input.pick(attributes)) : input.text(8);
    const std::string object = input.flag() ? std::string(input.pick(objects)) : input.text(8);
    const std::string key = input.flag() ? std::string("package_levels") : input.text(8);
    const std::string contents = input.rest();
    install.writeConfig("object_settings.xml", contents);

    zelm_config settings{zelm_string(block.c_str())};
    // Every entry is an element of the file: there cannot be more of them
    // than bytes.
    std::size_t entries = 0;
    while (settings.isChildValid()) {
        const zelm_string id = settings.childAttr(zelm_string("id"));
        const zelm_string chosen = settings.childAttr(zelm_string(attribute.c_str()));
        check(id.length() <= static_cast<int>(contents.size()));
        check(chosen.length() <= static_cast<int>(contents.size()));
        ++entries;
        check(entries <= contents.size());
        if (!settings.nextChild())
            break;
    }
    check(settings.childAttr(zelm_string("id")).isEmpty() || settings.isChildValid());

    const zelm_string value = lookup_probe::readObjectSetting(zelm_string(object.c_str()), zelm_string(key.c_str()));
    check(value.length() <= static_cast<int>(contents.size()));
    return 0;
}
