// installation_check: everything a run reads, looked at before the run
// starts: the object settings, every device file and every layout file.
// Each fault is reported as "file:line: message". The files themselves are
// left as they are: the module reads them with its own quiet rules, as it
// would under a real host.
#pragma once

#include <ostream>
#include <string>

#include "facility/router_model.h"
#include "text/file_faults.h"

// Reads the device files of `configDir`/system into `routers` and checks
// `configDir`/object_settings.xml and the *.zelm_ui files of `layoutDir`.
fault_list checkInstallation(const std::string& configDir, const std::string& layoutDir, router_model& routers);

void checkObjectSettings(const std::string& path, fault_list& faults);
void checkLayouts(const std::string& layoutDir, fault_list& faults);

// Prints the faults. False when the run must not start: an error, or under
// `strict` a warning, with a last line that says so.
bool acceptInstallation(const fault_list& faults, bool strict, std::ostream& out);
