#include "panel_soak_installation.h"

#include <cstddef>
#include <string>
#include <vector>

const router_shape soakRouterShapes[3] = {{31, 32, 48}, {32, 64, 240}, {33, 16, 16}};

const matrix_object soakMatrixObjects[3] = {
    {"MTX", "3", "t0,Packages,Video,Audio 1,Audio 2", "7,20,31,32,33"},
    {"MTX_SHARED", "3", "t0,Packages,Video,Video again,Audio 2", "7,20,31,31,33"},
    {"MTX_AV", "2", "t0,Packages,Video,Audio 1", "7,20,31,32"},
};

const char* const soakUseLevelChoices[9] = {"1,2,3", "1,2,3", "1,2,3", "3,2,1",  "1,3",
                                            "2",     "1,1,2", "0,2,3", "1,2,3,4"};

namespace {

const char* const sourcePackages[] = {"1,1,1", "2,-,2", "3,3,-", "-,4,4",    "5,5,5", "40,6,6",
                                      "7,7,7", "8,-,-", "9,9,9", "10,10,10", "11,11", ""};
const char* const destPackages[] = {"1,1,1",   "2,2,2", "3,210,3", "4,-,4",   "5,5,5",    "48,200,16",
                                    "7,201,7", "-,8,-", "9,9,9",   "0,10,10", "11,11,11", "12,12,12"};

}  // namespace

void writeSoakInstallation(const temp_installation& install)
{
    std::string xml = "<object_settings>";
    for (const auto& object : soakMatrixObjects) {
        xml += std::string("<object id=\"") + object.id + "\">";
        xml += std::string("<setting id=\"package_levels\" value=\"") + object.levels + "\"/>";
        xml += std::string("<setting id=\"driver_type\" value=\"") + object.types + "\"/>";
        xml += std::string("<setting id=\"driver_ids\" value=\"") + object.ids + "\"/>";
        xml += "</object>";
    }
    install.writeConfig("object_settings.xml", xml + "</object_settings>");

    std::string packages =
        "[Device]\nName=Package names\nType=Names\n[Database]\nDatabaseSize_0=12\nDatabaseSize_1=12\n";
    packages += "[Names_0]\n";
    for (int package = 1; package <= soakPackageCount; ++package)
        packages += std::to_string(package) + "=" + sourcePackages[package - 1] + "\n";
    packages += "[Names_1]\n";
    for (int package = 1; package <= soakPackageCount; ++package)
        packages += std::to_string(package) + "=" + destPackages[package - 1] + "\n";
    install.writeDeviceIni(20, packages);

    for (const auto& shape : soakRouterShapes) {
        std::string ini = "[Device]\nName=Router " + std::to_string(shape.device) + "\nType=Router\n";
        ini += "[Database]\nDatabaseSize_0=" + std::to_string(shape.sources) +
               "\nDatabaseSize_1=" + std::to_string(shape.destinations) + "\n[Names_0]\n";
        for (int source = 1; source <= shape.sources; ++source)
            ini += std::to_string(source) + "=SRC|" + std::to_string(source) + "\n";
        ini += "[Names_1]\n";
        for (int destination = 1; destination <= shape.destinations; ++destination)
            ini += std::to_string(destination) + "=DST " + std::to_string(destination) + "\n";
        install.writeDeviceIni(shape.device, ini);
    }
}

std::vector<int> levelRouters(const std::string& object, const std::string& useLevels)
{
    const matrix_object* found = nullptr;
    for (const auto& candidate : soakMatrixObjects)
        if (object == candidate.id)
            found = &candidate;
    std::vector<std::string> levels;
    std::string field;
    for (char c : useLevels + ",") {
        if (c == ',') {
            levels.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (useLevels.empty())
        levels.clear();
    std::vector<int> ids;
    if (found != nullptr) {
        field.clear();
        for (char c : std::string(found->ids) + ",") {
            if (c == ',') {
                ids.push_back(std::stoi(field));
                field.clear();
            } else {
                field += c;
            }
        }
    }
    std::vector<int> routers(3, 0);
    if (found == nullptr || levels.size() > 3)
        return routers;
    for (std::size_t entry = 0; entry < levels.size(); ++entry) {
        const int level = levels[entry].empty() ? 0 : std::stoi(levels[entry]);
        const std::size_t position = static_cast<std::size_t>(level) + 1;
        if (level >= 1 && position < ids.size())
            routers[entry] = ids[position];
    }
    return routers;
}
