// file_faults: what reading the installation's files and the layouts found
// wrong, each fault with its file and line, as "file:line: message".
//
// An error makes a run meaningless (a router the simulator cannot hold, a
// file that is no device file at all); a warning is a doubtful point the run
// can go on with (a value the module reads differently from what was
// written, a line that is ignored).
#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct file_fault {
    bool error = false;  // false: a warning
    std::string file;
    int line = 0;  // 0: the file as a whole
    std::string message;

    // "file:line: message", "file:line: warning: message".
    std::string text() const;
};

class fault_list {
public:
    // Only this many faults are kept per file: a file of random bytes must
    // not become millions of messages. The others are counted.
    static constexpr int keptPerFile = 20;

    void error(const std::string& file, int line, const std::string& message);
    void warning(const std::string& file, int line, const std::string& message);

    int errors() const { return errors_; }
    int warnings() const { return warnings_; }
    // The kept faults in the order they were found.
    const std::vector<file_fault>& kept() const { return kept_; }

    // Every kept fault, one per line, file by file in the order the files
    // were read and by line within a file, then a count of those not kept.
    void print(std::ostream& out) const;

    // Takes over the faults of another list.
    void append(const fault_list& other);

private:
    void add(bool error, const std::string& file, int line, const std::string& message);
    std::vector<file_fault> kept_;
    std::map<std::string, int> perFile_;
    std::vector<std::string> fileOrder_;
    int errors_ = 0;
    int warnings_ = 0;
};

// A text from a file as a message shows it: escaped as terminalSafe() does
// (control characters as \t, \x1b or \u009b, bytes that are not UTF-8 as
// \xff) and cut with "..." once `room` bytes are written, so that neither a
// terminal nor a log suffers.
std::string shownText(const std::string& text, std::size_t room = 60);

// The line (from 1) of a byte offset into `text`, as parsers report
// offsets; 0 for a negative offset.
int lineOfOffset(const std::string& text, std::ptrdiff_t offset);

// The simulator's bound on a router's sources and destinations and on the
// indices of names databases: far above any panel's tables, low enough that
// a router costs little and a poll of it stays short.
constexpr int simulatorSizeLimit = 65536;
