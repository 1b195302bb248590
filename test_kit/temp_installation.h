// A throw-away installation folder for tests: <tmp>/<system>/config/ for
// settings XML and <tmp>/<system>/config/system/ for device ini files.
// While it lives, QV_ROOT and QV_SYSTEM point at it; the destructor restores
// them and removes the folder.
#pragma once

#include <string>

// Portable setenv/unsetenv for tests that change the installation variables.
void setEnvironmentVariable(const char* name, const std::string& value);
void unsetEnvironmentVariable(const char* name);

// A path in the temporary folder that no other test process uses:
// <tmp>/zelm-<random>-<name>. Tests of several builds may run at once on
// one machine, so a fixed name there is not the test's own.
std::string uniqueTempPath(const std::string& name);

class temp_installation {
public:
    explicit temp_installation(const std::string& system = "SYS");
    ~temp_installation();
    temp_installation(const temp_installation&) = delete;
    temp_installation& operator=(const temp_installation&) = delete;

    const std::string& root() const { return root_; }
    std::string configDir() const;  // .../<system>/config
    std::string systemDir() const;  // .../<system>/config/system

    // Writes config/<file> (e.g. "object_settings.xml").
    void writeConfig(const std::string& file, const std::string& content) const;
    // Writes config/system/dev_<nnn>.ini with `content` as it is.
    void writeDeviceIni(int device, const std::string& content) const;
    // Shorthand: a device ini with [Database] DatabaseSize_<database>=<size>.
    void writeDatabaseSize(int device, int database, int size) const;
    // The usual test facility: matrix object "MTX" with package levels 1..3
    // on routers 31, 32 and 33 (captions "Alpha", "Beta", "Gamma"), package
    // entries on device 20, and `routerSize` destinations on each router.
    void writeThreeLevelMatrix(int routerSize) const;

private:
    std::string root_;
    std::string system_;
    std::string savedRoot_, savedSystem_;
    bool hadRoot_ = false, hadSystem_ = false;
};
