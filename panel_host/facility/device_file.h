// device_file: reads one of the installation's device files,
// config/system/dev_NNN.ini, into a device_model and reports what is wrong
// in it. The reading is device_model::fromIni (device_model.h); this header
// holds what the folder's loader (router_model) shares with it.
//
// Besides the "Database" section that the module itself reads, a device
// file holds the simulator's own sections:
//
//   [Device]          Name=Video router   Type=Router|Names
//                     Sources=N  Destinations=N   (override the sizes below)
//   [Database]        DatabaseSize_0=N (sources)  DatabaseSize_1=N (destinations)
//   [Names_0]         index=name lines of database 0 (source names)
//   [Names_1]         index=name lines of database 1 (destination names)
//   [Names_K]         any other names database K
//   [Crosspoints]     destination=source lines: the routes at start
//
// A router's size is Destinations=, else DatabaseSize_1, else the highest
// destination named or routed; its source count likewise from Sources= and
// DatabaseSize_0. DatabaseSize_K counts as the module reads it: with the
// module's own profile reader and number rules, so "32abc" is 32 for both
// (and a warning). Destinations not listed under [Crosspoints] carry
// source 0, the router's park source. A device without "Type" is a router
// when it has a destination count.
//
// Sizes and name indices are bounded by simulatorSizeLimit (65536); the
// crosspoints are kept sparse, so a large router costs what it routes.
#pragma once

class ini_file;

// Told of a file that has none of a device file's sections, by the reader
// and by the folder's loader (which then reads nothing of it line by line).
extern const char* const notADeviceFile;

bool hasDeviceSection(const ini_file& ini);
