// router_model: the facility's devices as the simulator plays them, read
// from the installation's device files config/system/dev_NNN.ini. One device
// is a device_model (device_model.h), read from its file as device_file.h
// tells; module_database_size.h reads a size as the module does. All of
// them are declared through this header.
#pragma once

#include <map>
#include <string>

#include "facility/device_model.h"
#include "facility/module_database_size.h"
#include "text/file_faults.h"

class router_model {
public:
    // Reads every dev_NNN.ini in `systemDir`, reporting what is wrong in
    // them to `faults`; what cannot be played (a size beyond the limit, a
    // crosspoint off the router) is left out of the model. False when the
    // folder cannot be read.
    bool load(const std::string& systemDir, fault_list& faults);
    // The same; false, with the first error in `error`, when there is one.
    bool load(const std::string& systemDir, std::string& error);
    void add(device_model device);

    device_model* device(int number);
    const device_model* device(int number) const;
    const std::map<int, device_model>& devices() const { return devices_; }

private:
    std::map<int, device_model> devices_;
};
