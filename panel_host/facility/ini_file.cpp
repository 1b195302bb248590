#include "facility/ini_file.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/file_faults.h"

namespace {

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

const char utf8Mark[] = "\xEF\xBB\xBF";

std::string lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool ini_file::load(const std::string& path, fault_list* faults)
{
    std::error_code failure;
    if (std::filesystem::is_directory(path, failure))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    parse(text.str(), faults, path);
    path_ = path;
    return true;
}

void ini_file::parse(const std::string& text, fault_list* faults, const std::string& file)
{
    sections_.clear();
    sectionAt_.clear();
    path_.clear();
    auto warn = [&](int line, const std::string& message) {
        if (faults != nullptr)
            faults->warning(file, line, message);
    };
    std::size_t start = 0;
    if (text.compare(0, 3, utf8Mark) == 0) {
        // Some profile readers skip the mark, others take it for part of the
        // first line and lose a section header there. The simulator skips it.
        start = 3;
        std::size_t end = text.find('\n');
        std::string first = trimmed(text.substr(3, end == std::string::npos ? std::string::npos : end - 3));
        warn(1, "a UTF-8 byte-order mark" +
                    (first.compare(0, 1, "[") == 0 ? " before " + shownText(first) : std::string()) +
                    ": profile readers differ on it (the module's may take it for part of the line); save the file "
                    "without it");
    } else if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
        warn(1, "UTF-16 text: device files are read as single bytes; save the file as ASCII or UTF-8");
    }
    section_entries* current = nullptr;
    std::istringstream in(text.substr(start));
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string content = trimmed(line);
        if (content.empty() || content[0] == ';' || content[0] == '#')
            continue;
        if (content.find('\0') != std::string::npos)
            warn(number, "a NUL byte: the module's profile reader ends the line there");
        if (content[0] == '[') {
            std::size_t close = content.find(']');
            if (close == std::string::npos)
                warn(number, "section header " + shownText(content) + " has no ']'");
            std::string name = trimmed(content.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            auto known = sectionAt_.emplace(lowered(name), sections_.size());
            if (known.second) {
                sections_.push_back(section_entries{name, number, entries(), {}});
            } else {
                warn(number, "[" + shownText(name) + "] again (first at line " +
                                 std::to_string(sections_[known.first->second].line) +
                                 "): the simulator joins them, the module's profile reader reads only the first");
            }
            current = &sections_[known.first->second];
            continue;
        }
        std::size_t equals = content.find('=');
        if (equals == std::string::npos) {
            warn(number, "neither [Section] nor key=value: " + shownText(content) + "; ignored");
            continue;
        }
        if (current == nullptr) {
            warn(number, shownText(content) + " comes before any section; ignored");
            continue;
        }
        ini_entry entry{trimmed(content.substr(0, equals)), trimmed(content.substr(equals + 1)), number};
        if (entry.key.empty()) {
            warn(number, "a value without a key: " + shownText(content) + "; ignored");
            continue;
        }
        auto first = current->firstLineOfKey.emplace(lowered(entry.key), number);
        if (!first.second)
            warn(number, shownText(entry.key) + " again in [" + shownText(current->name) + "] (first at line " +
                             std::to_string(first.first->second) + "): the first counts");
        current->lines.push_back(std::move(entry));
    }
}

const ini_file::entries* ini_file::section(const std::string& name) const
{
    auto found = sectionAt_.find(lowered(name));
    return found == sectionAt_.end() ? nullptr : &sections_[found->second].lines;
}

std::vector<std::pair<std::string, int>> ini_file::sectionNames() const
{
    std::vector<std::pair<std::string, int>> names;
    for (const auto& existing : sections_)
        names.emplace_back(existing.name, existing.line);
    return names;
}

const ini_entry* ini_file::entry(const std::string& sectionName, const std::string& key) const
{
    const entries* found = section(sectionName);
    if (found != nullptr)
        for (const auto& existing : *found)
            if (sameNameIgnoringCase(existing.key, key))
                return &existing;
    return nullptr;
}

std::string ini_file::value(const std::string& sectionName, const std::string& key, const std::string& fallback) const
{
    const ini_entry* found = entry(sectionName, key);
    return found == nullptr ? fallback : found->value;
}

bool ini_file::has(const std::string& sectionName, const std::string& key) const
{
    return entry(sectionName, key) != nullptr;
}
