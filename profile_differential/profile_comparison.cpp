#include "profile_comparison.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace {

answer collect(const char* text, std::uint32_t count, std::uint32_t size)
{
    answer a{count, {}};
    if (count < size)
        a.text.assign(text, count + 1);  // includes the terminating NUL
    else
        a.text = "<count past the room>";
    return a;
}

using reader = std::uint32_t (*)(const char*, const char*, const char*, char*, std::uint32_t, const char*);

answer ask(reader read, const query& q, const char* key, std::uint32_t size, const std::string& path)
{
    std::vector<char> buffer(size + 1, 'x');
    const std::uint32_t count =
        read(q.section.c_str(), key, q.nullFallback ? nullptr : q.fallback.c_str(), buffer.data(), size, path.c_str());
    return collect(buffer.data(), count, size);
}

std::uint32_t windowsReader(const char* section, const char* key, const char* fallback, char* result,
                            std::uint32_t size, const char* path)
{
    return GetPrivateProfileStringA(section, key, fallback, result, size, path);
}

const wine_difference wineDifferenceList[] = {
    {"key starting with ';'",
     "Windows reads a line that starts with ';' as a comment, so a key whose name starts with ';' is never "
     "found and the default is copied; Wine keeps such lines as keys and finds them. Our reader answers "
     "with the default, as Windows does.",
     [](const query& q, const answer& ours, const answer&, const std::string& path) {
         const std::size_t first = q.key.find_first_not_of(" \t\n\v\f\r\x1A");
         return first != std::string::npos && q.key[first] == ';' &&
                ours == ask(zelm_platform::readProfileFile, q, "\x01no such key", q.size, path);
     },
     0},
    {"quoted text that exactly fills the room",
     "A value or default in quotes whose text without them is exactly size - 1 bytes: Wine cuts the text "
     "to the room, which already drops the closing quote, and then drops one more byte as if it were the "
     "quote, returning size - 2 bytes. The API discards the quotes and cuts the string to size - 1; our "
     "reader copies the whole unquoted text.",
     [](const query& q, const answer& ours, const answer& wine, const std::string& path) {
         if (q.size < 2 || ours.count != q.size - 1 || wine.count + 1 != ours.count ||
             ours.text.compare(0, wine.count, wine.text, 0, wine.count) != 0)
             return false;
         const std::uint32_t room = 8192;
         const answer fullOurs = ask(zelm_platform::readProfileFile, q, q.key.c_str(), room, path);
         return fullOurs.count == q.size - 1 && fullOurs == ask(windowsReader, q, q.key.c_str(), room, path);
     },
     0},
};

std::string escaped(const std::string& s, std::size_t limit = 2000)
{
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        char buffer[8];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n\n    ";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
    if (s.size() > limit)
        out += "...(" + std::to_string(s.size()) + " bytes)";
    return out;
}

void printDifference(const std::string& path, const std::string& content, const query& q, const answer& mine,
                     const answer& wine)
{
    std::printf("DIFFERENCE in file %s, section \"%s\", key \"%s\", default %s%s%s, size %u\n", path.c_str(),
                escaped(q.section).c_str(), escaped(q.key).c_str(), q.nullFallback ? "null" : "\"",
                q.nullFallback ? "" : escaped(q.fallback).c_str(), q.nullFallback ? "" : "\"", q.size);
    std::printf("  ours: %u \"%s\"\n  Windows API: %u \"%s\"\n  file:\n    %s\n", mine.count,
                escaped(mine.text).c_str(), wine.count, escaped(wine.text).c_str(), escaped(content).c_str());
}

}  // namespace

std::vector<wine_difference> knownWineDifferences()
{
    return {std::begin(wineDifferenceList), std::end(wineDifferenceList)};
}

void compareFile(const std::string& path, const std::string& content, random_source& random, corpus_writer& writer,
                 comparison& found)
{
    const std::size_t printLimit = 25;
    bool firstQuery = true;
    for (const query& q : queriesFor(random, writer)) {
        ++found.queries;
        const char* fallback = q.nullFallback ? nullptr : q.fallback.c_str();
        std::memset(found.ours.data(), 'x', found.ours.size());
        std::memset(found.theirs.data(), 'x', found.theirs.size());
        // Our reader reads the file for the first query and the same bytes
        // from memory for the others, which saves time under Wine.
        const answer mine = collect(
            found.ours.data(),
            firstQuery ? zelm_platform::readProfileFile(q.section.c_str(), q.key.c_str(), fallback, found.ours.data(),
                                                        q.size, path.c_str())
                       : zelm_platform::readProfileText(q.section.c_str(), q.key.c_str(), fallback, found.ours.data(),
                                                        q.size, content.data(), content.size()),
            q.size);
        firstQuery = false;
        const answer wine = collect(found.theirs.data(),
                                    GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), fallback,
                                                             found.theirs.data(), q.size, path.c_str()),
                                    q.size);
        if (mine == wine) {
            ++found.agreed;
            continue;
        }
        bool excused = false;
        for (wine_difference& d : found.wineDifferences)
            if (!excused && d.applies(q, mine, wine, path)) {
                ++d.seen;
                excused = true;
            }
        if (!excused && ++found.unexplained <= printLimit)
            printDifference(path, content, q, mine, wine);
    }
}

void printSummary(const comparison& found, const std::size_t (&featureFiles)[featureCount], std::size_t cases,
                  std::uint64_t seed, bool keep, const std::string& folder)
{
    std::printf("profile differential: files with");
    for (std::size_t f = 0; f < featureCount; ++f)
        std::printf("%s %s: %zu", f == 0 ? "" : ",", featureNames[f], featureFiles[f]);
    std::printf("\n");
    std::size_t excusedTotal = 0;
    for (const wine_difference& d : found.wineDifferences) {
        std::printf("profile differential: listed Wine difference \"%s\": %zu cases\n    (%s)\n", d.name, d.seen,
                    d.reason);
        excusedTotal += d.seen;
    }
    std::printf("profile differential: %zu files, %zu queries: the two readers agreed on %zu, "
                "%zu listed Wine differences, %zu differences beyond them (seed %llu)%s\n",
                cases, found.queries, found.agreed, excusedTotal, found.unexplained,
                static_cast<unsigned long long>(seed), keep ? (", corpus kept in " + folder).c_str() : "");
}
