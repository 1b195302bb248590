// ini_file: reads the installation's device files, the profile format the
// module itself reads: "[Section]" lines, "key=value" lines, ';' comments.
// Section and key names match without regard to case, as profile readers
// do; values are kept as written (trailing blanks cut). Every entry keeps
// its line, so that what is wrong with it can be shown where it is.
//
// Given a fault_list, the reading reports what a profile reader would
// quietly pass over: lines that are neither a section nor key=value, keys
// before any section, sections and keys that appear twice (the first key
// counts), NUL bytes and byte-order marks.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class fault_list;

struct ini_entry {
    std::string key;
    std::string value;
    int line = 0;
};

class ini_file {
public:
    using entries = std::vector<ini_entry>;

    // False when the file cannot be read (a folder is no file). The path is
    // kept: the module's own reader is asked about the same file.
    bool load(const std::string& path, fault_list* faults = nullptr);
    // `file` names the text in fault messages.
    void parse(const std::string& text, fault_list* faults = nullptr, const std::string& file = "");

    // The path given to load(), empty after a parse() of text.
    const std::string& path() const { return path_; }

    // The entries of a section in file order, or null when there is none.
    const entries* section(const std::string& name) const;
    // The names of the sections with the line of their first header.
    std::vector<std::pair<std::string, int>> sectionNames() const;
    // The first entry of a key, or null.
    const ini_entry* entry(const std::string& section, const std::string& key) const;
    // The value of a key, or `fallback`.
    std::string value(const std::string& section, const std::string& key, const std::string& fallback = "") const;
    bool has(const std::string& section, const std::string& key) const;

private:
    struct section_entries {
        std::string name;
        int line;
        entries lines;
        std::unordered_map<std::string, int> firstLineOfKey;  // lower-case key
    };
    std::vector<section_entries> sections_;
    std::unordered_map<std::string, std::size_t> sectionAt_;  // lower-case name
    std::string path_;
};

bool sameNameIgnoringCase(const std::string& a, const std::string& b);
