#include "corpus_features.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

const char* const featureNames[featureCount] = {
    "CRLF",
    "LF",
    "lone CR",
    "no last line end",
    "no section",
    "key before any section",
    "duplicate section",
    "duplicate key",
    "blanks around '='",
    "empty value",
    "quotes",
    "';' line",
    "line over 1000 bytes",
    "non-ASCII bytes",
    "NUL bytes",
};

namespace {

std::string lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

void countFeatures(const std::string& file, std::size_t (&counts)[featureCount])
{
    bool seen[featureCount] = {};
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        const bool crBefore = i > 0 && file[i - 1] == '\r';
        if (c == '\n')
            seen[crBefore ? crlf : lf] = true;
        if (c == '\r' && (i + 1 == file.size() || file[i + 1] != '\n'))
            seen[loneCr] = true;
        if (c == '\0')
            seen[nulByte] = true;
        if (static_cast<unsigned char>(c) >= 0x80)
            seen[nonAscii] = true;
        if (c == '"' || c == '\'')
            seen[quotes] = true;
    }
    seen[noLastLineEnd] = !file.empty() && file.back() != '\n' && file.back() != '\r';

    const char* const trim = " \t\v\f\x1A";
    std::vector<std::string> sections;
    std::vector<std::string> keys;  // of the current section
    bool sectionYet = false;
    std::size_t at = 0;
    while (at < file.size()) {
        std::size_t end = file.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = file.size();
        const std::string line = file.substr(at, end - at);
        at = end + 1;
        seen[longLine] = seen[longLine] || line.size() > 1000;
        const std::size_t first = line.find_first_not_of(trim);
        if (first == std::string::npos)
            continue;
        const std::size_t close = line.rfind(']');
        if (line[first] == '[' && close != std::string::npos && close > first) {
            const std::string name = lowered(line.substr(first + 1, close - first - 1));
            for (const std::string& earlier : sections)
                seen[duplicateSection] = seen[duplicateSection] || earlier == name;
            sections.push_back(name);
            keys.clear();
            sectionYet = true;
            continue;
        }
        if (line[first] == ';') {
            seen[commentLine] = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        seen[keyBeforeSection] = seen[keyBeforeSection] || !sectionYet;
        const std::string key = lowered(line.substr(first, equals - first));
        for (const std::string& earlier : keys)
            seen[duplicateKey] = seen[duplicateKey] || earlier == key;
        keys.push_back(key);
        seen[blanksAroundEquals] =
            seen[blanksAroundEquals] ||
            (equals > 0 && std::strchr(trim, line[equals - 1]) != nullptr && line[equals - 1] != '\0') ||
            (equals + 1 < line.size() && std::strchr(trim, line[equals + 1]) != nullptr && line[equals + 1] != '\0');
        seen[emptyValue] = seen[emptyValue] || line.find_first_not_of(trim, equals + 1) == std::string::npos;
    }
    seen[noSection] = !sectionYet;
    for (std::size_t f = 0; f < featureCount; ++f)
        counts[f] += seen[f] ? 1 : 0;
}
