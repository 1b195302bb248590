// ini_file: reads the installation's device files, the profile format the
// module itself reads: "[Section]" lines, "key=value" lines, ';' comments.
// Section and key names match without regard to case, as profile readers
// do; values are kept as written (trailing blanks cut).
#pragma once

#include <string>
#include <utility>
#include <vector>

class ini_file {
public:
    using entries = std::vector<std::pair<std::string, std::string>>;

    // False when the file cannot be read.
    bool load(const std::string& path);
    void parse(const std::string& text);

    // The entries of a section in file order, or null when there is none.
    const entries* section(const std::string& name) const;
    // The value of a key, or `fallback`.
    std::string value(const std::string& section, const std::string& key, const std::string& fallback = "") const;
    bool has(const std::string& section, const std::string& key) const;

private:
    std::vector<std::pair<std::string, entries>> sections_;
};

bool sameNameIgnoringCase(const std::string& a, const std::string& b);
