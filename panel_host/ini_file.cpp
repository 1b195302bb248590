#include "ini_file.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
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

bool ini_file::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    parse(text.str());
    return true;
}

void ini_file::parse(const std::string& text)
{
    sections_.clear();
    entries* current = nullptr;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::string content = trimmed(line);
        if (content.empty() || content[0] == ';' || content[0] == '#')
            continue;
        if (content[0] == '[') {
            std::size_t close = content.find(']');
            std::string name = trimmed(content.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = nullptr;
            for (auto& existing : sections_)
                if (sameNameIgnoringCase(existing.first, name))
                    current = &existing.second;
            if (current == nullptr) {
                sections_.emplace_back(name, entries());
                current = &sections_.back().second;
            }
            continue;
        }
        std::size_t equals = content.find('=');
        if (current == nullptr || equals == std::string::npos)
            continue;
        current->emplace_back(trimmed(content.substr(0, equals)), trimmed(content.substr(equals + 1)));
    }
}

const ini_file::entries* ini_file::section(const std::string& name) const
{
    for (const auto& existing : sections_)
        if (sameNameIgnoringCase(existing.first, name))
            return &existing.second;
    return nullptr;
}

std::string ini_file::value(const std::string& sectionName, const std::string& key, const std::string& fallback) const
{
    const entries* found = section(sectionName);
    if (found != nullptr)
        for (const auto& entry : *found)
            if (sameNameIgnoringCase(entry.first, key))
                return entry.second;
    return fallback;
}

bool ini_file::has(const std::string& sectionName, const std::string& key) const
{
    const entries* found = section(sectionName);
    if (found != nullptr)
        for (const auto& entry : *found)
            if (sameNameIgnoringCase(entry.first, key))
                return true;
    return false;
}
