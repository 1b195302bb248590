// Reading a record written by panel_host --record-events: its lines, and
// the fields of one line. C runtime only (see replay_host.cpp).
#pragma once

struct record_file {
    const char* path = nullptr;
    char** lines = nullptr;
    int lineCount = 0;
    int next = 0;  // index of the next line to read
};

// Reads the whole file, one block per line (a CR before the LF dropped).
// False when it cannot be opened.
bool readRecord(const char* path, record_file& record);
// Ends the program with status 2, naming the file and line (from 0).
[[noreturn]] void badRecord(const record_file& record, int line, const char* message);

// Field readers over one record line; each moves `at` past the field and
// its following blank.
bool readNumber(const char*& at, long long& value);
// The word itself, followed by a blank or the end of the line.
bool readWord(const char*& at, const char* word);
// A text field: null, or a quoted text. `text` becomes a new block (null for null).
bool readText(const char*& at, char*& text);
