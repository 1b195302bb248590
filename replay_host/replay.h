// The replaying host: the host link handed to the component, and the
// replay of one record through it, which compares, line by line, everything
// the component does with what the recorded component did. The first line
// that differs ends the program with status 1; a malformed record with
// status 2. The work is spread over two files: the link, the comparison and
// the run (replay.cpp), the events (replay_events.cpp). C runtime only (see
// replay_host.cpp).
#pragma once

#include <cstdint>

#include "record_reader.h"
#include "replay_abi.h"
#include "replay_text.h"

struct handed_out {
    char* text;
    int command;
};

// The host link handed to the component: its second entry is send. The
// first entry is never called by a sound component; it has send's shape so
// that a component calling it by mistake is reported, not crashed.
class replay_link final {
public:
    virtual const char* reserved(const char* text, std::int32_t kind);
    virtual const char* send(const char* text, std::int32_t kind);
};

class replay {
public:
    replay(record_file& record, bool quiet) : record_(record), quiet_(quiet) {}

    // Runs the whole record against `load`. Returns when every line
    // matched; exits otherwise.
    void run(load_function load);
    const char* onSend(const char* text, std::int32_t kind);
    const char* onReservedEntry(const char* text, std::int32_t kind);

    int events() const { return events_; }
    int compared() const { return compared_; }

private:
    const char* peek() const { return record_.next < record_.lineCount ? record_.lines[record_.next] : nullptr; }
    // Compares what the component did with the next line of the record.
    void expect(const text_buffer& actual);
    [[noreturn]] void difference(const char* expected, const char* actual);
    const char* answerFor(int command);
    void deliver(std::intptr_t data, std::int32_t code);

    // replay_events.cpp: one event line, decoded into its record and
    // delivered.
    void deliverEvent(const char* fields, int line);
    void deliverCreate(const char*& at, int line);
    void deliverRevertive(const char*& at, int line);
    void deliverButton(const char*& at, int line);
    void deliverParameter(const char*& at, int line);
    void deliverTimer(const char*& at, int line);
    void deliverRelease(const char*& at, int line);
    void deliverDatabase(const char*& at, int line);
    void deliverCode(const char*& at, int line);

    record_file& record_;
    bool quiet_;
    load_function load_ = nullptr;
    replay_link link_;
    panel_component* component_ = nullptr;
    int events_ = 0;
    int compared_ = 0;
    int commands_ = 0;
    handed_out* answers_ = nullptr;
    int answerCount_ = 0;
    int answerCapacity_ = 0;
    char** returned_ = nullptr;  // per event: the text its hostEvent returned
    int returnedCapacity_ = 0;
};
