// replay_host: a host for the MSVC C++ ABI that replays runs recorded by
// panel_host --record-events against a panel module DLL and compares, line by
// line, everything the module does with what the recorded module did.
//
//   replay_host [--quiet] MODULE.dll RECORD...
//
// It loads the DLL with LoadLibraryA, creates the component through the
// export load_zelm_client_script with its own host link, delivers every
// recorded event through slot 1 of the component (hostEvent), answers every
// command with the recorded answer, gives back parameter answers with code
// 5 as the record says, and deletes the component through slot 0 (the
// scalar deleting destructor). The first line that differs is named (event
// number, expected line, actual line) and the program exits with 1; 0 when
// every record matched; 2 for a bad command line, a module that cannot be
// loaded or a malformed record (file:line: message).
//
// Written for the MSVC ABI with the C runtime only. The module's interfaces
// (replay_abi.h) are declared from the host's side of the contract (slot
// order, record layouts), not taken from the module's headers, so that a
// module whose own headers drifted fails the replay.
//
// The program is spread over files by job: the module's interfaces
// (replay_abi.h), memory and texts (replay_text), the record reader
// (record_reader), the replaying host link (replay.cpp, replay_events.cpp),
// and main here.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "record_reader.h"
#include "replay.h"
#include "replay_abi.h"

int main(int argc, char** argv)
{
    bool quiet = false;
    int first = 1;
    if (argc > first && std::strcmp(argv[first], "--quiet") == 0) {
        quiet = true;
        ++first;
    }
    if (argc - first < 2) {
        std::fputs("usage: replay_host [--quiet] MODULE.dll RECORD...\n"
                   "Replays records written by panel_host --record-events against the module; exit status 0 when\n"
                   "everything the module did matched, 1 at the first difference, 2 for bad input.\n",
                   stderr);
        return 2;
    }
    const char* modulePath = argv[first];
    HMODULE module = LoadLibraryA(modulePath);
    if (module == nullptr) {
        std::fprintf(stderr, "replay_host: cannot load %s (error %lu)\n", modulePath, GetLastError());
        return 2;
    }
    auto load =
        reinterpret_cast<load_function>(reinterpret_cast<void*>(GetProcAddress(module, "load_zelm_client_script")));
    if (load == nullptr) {
        std::fprintf(stderr, "replay_host: %s does not export load_zelm_client_script\n", modulePath);
        return 2;
    }
    int events = 0;
    int compared = 0;
    for (int i = first + 1; i < argc; ++i) {
        record_file record;
        if (!readRecord(argv[i], record)) {
            std::fprintf(stderr, "replay_host: cannot read %s\n", argv[i]);
            return 2;
        }
        replay run(record, quiet);
        run.run(load);
        events += run.events();
        compared += run.compared();
        for (int line = 0; line < record.lineCount; ++line)
            std::free(record.lines[line]);
        std::free(record.lines);
    }
    FreeLibrary(module);
    std::printf("replay_host: %d records, %d events, %d lines compared, 0 differences\n", argc - first - 1, events,
                compared);
    return 0;
}
