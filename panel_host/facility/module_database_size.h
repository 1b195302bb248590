// module_database_size: a device file's database size as the module reads
// it, so that the simulator plays the router the module will see.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the module makes of DatabaseSize_<database> in the device file at
// `path`: its profile reader, then its number rules. nullopt when the
// reader finds no such key there.
std::optional<std::int32_t> moduleDatabaseSize(const std::string& path, int database);
