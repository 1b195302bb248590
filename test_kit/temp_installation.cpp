#include "temp_installation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

void setEnvironmentVariable(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

void unsetEnvironmentVariable(const char* name)
{
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

namespace {

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace

std::string uniqueTempPath(const std::string& name)
{
    std::random_device seed;
    fs::path path;
    do {
        path = fs::temp_directory_path() / ("zelm-" + std::to_string(seed()) + "-" + name);
    } while (fs::exists(path));
    return path.string();
}

temp_installation::temp_installation(const std::string& system) : system_(system)
{
    std::random_device seed;
    fs::path base = fs::temp_directory_path();
    fs::path dir;
    do {
        dir = base / ("zelm-install-" + std::to_string(seed()));
    } while (fs::exists(dir));
    fs::create_directories(dir / system / "config" / "system");
    root_ = dir.string();

    if (const char* r = std::getenv("QV_ROOT")) {
        hadRoot_ = true;
        savedRoot_ = r;
    }
    if (const char* s = std::getenv("QV_SYSTEM")) {
        hadSystem_ = true;
        savedSystem_ = s;
    }
    setEnvironmentVariable("QV_ROOT", root_);
    setEnvironmentVariable("QV_SYSTEM", system_);
}

temp_installation::~temp_installation()
{
    if (hadRoot_)
        setEnvironmentVariable("QV_ROOT", savedRoot_);
    else
        unsetEnvironmentVariable("QV_ROOT");
    if (hadSystem_)
        setEnvironmentVariable("QV_SYSTEM", savedSystem_);
    else
        unsetEnvironmentVariable("QV_SYSTEM");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string temp_installation::configDir() const { return (fs::path(root_) / system_ / "config").string(); }

std::string temp_installation::systemDir() const { return (fs::path(root_) / system_ / "config" / "system").string(); }

void temp_installation::writeConfig(const std::string& file, const std::string& content) const
{
    writeFile(fs::path(configDir()) / file, content);
}

void temp_installation::writeDeviceIni(int device, const std::string& content) const
{
    char name[32];
    std::snprintf(name, sizeof name, "dev_%03d.ini", device);
    writeFile(fs::path(systemDir()) / name, content);
}

void temp_installation::writeDatabaseSize(int device, int database, int size) const
{
    writeDeviceIni(device, "[Database]\nDatabaseSize_" + std::to_string(database) + "=" + std::to_string(size) + "\n");
}

void temp_installation::writeThreeLevelMatrix(int routerSize) const
{
    writeConfig("object_settings.xml", "<object_settings><object id=\"MTX\">"
                                       "<setting id=\"package_levels\" value=\"3\"/>"
                                       "<setting id=\"driver_type\" value=\"t0,t1,Alpha,Beta,Gamma\"/>"
                                       "<setting id=\"driver_ids\" value=\"7,20,31,32,33\"/>"
                                       "</object></object_settings>");
    for (int router = 31; router <= 33; ++router)
        writeDatabaseSize(router, 1, routerSize);
}
