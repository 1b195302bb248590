// Differential test of this system's profile-file reader against Windows'
// GetPrivateProfileStringA, both in one Windows process (under Wine in CI).
//
// From a fixed seed it writes a corpus of device ini files that vary what an
// installer or a hand edit may produce: the case of names, blanks around
// names, values and '=', quotes of both kinds (matched, unmatched, empty),
// ';' comments and keys that start with ';', duplicate sections and keys,
// CRLF, LF, lone CR and a missing last line end, empty values, very long
// lines and values, non-ASCII bytes, keys before any section and files with
// no section at all. Each file is asked for many section/key pairs, with
// several result sizes and defaults, through both readers; every answer
// (count and text) must be the same.
//
// A difference that Wine has and Windows has not is excused only by an entry
// of `knownWineDifferences` below, which names it and says why. Any other
// difference fails the run and prints the file and the query.
//
//   profile_differential [--cases N] [--seed S] [--keep]
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/profile_file.h"

namespace {

// splitmix64: the same sequence on every compiler and library.
class random_source {
public:
    explicit random_source(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    std::uint64_t state_;
};

// Names as the corpus writes them; the queries ask for these (in other
// cases and spellings) and for names no file has.
const char* const sectionNames[] = {"Database", "Data base", "Panel", "S\xE9lection", "\xC4rger", "d"};
const char* const keyNames[] = {
    "DatabaseSize_1", "DatabaseSize_2", "Name", "\xE9t\xE9", "k", "Size 2", ";DatabaseSize_1", "[Size",
};
const char* const missingNames[] = {"Missing", "DatabaseSize_12", "Databas", ""};

const char* const blanks[] = {"", "", "", " ", "  ", "\t", " \t ", "\v", "\f", "\x1A", "\xA0"};

const char* const plainValues[] = {
    "48",
    "0",
    "-3",
    "64 ",
    "12abc",
    " 7 ",
    "1 2",
    "value with  inner  blanks",
    "a=b",
    "x;y",
    "48 ; comment",
    "[x]",
    "\xE9t\xE9",
    "\xFF\x80\x81\x8D",
    "\x93quoted\x94",
    "#",
    "=",
};
const char* const quotedValues[] = {
    "\"48\"", "'48'",  "\"\"",    "''",       "\"",     "'",        "\"48",    "48\"",     "'48",
    "48'",    "\"48'", "'48\"",   "\" 48 \"", "' 48 '", "\"4\"8\"", "'4'8'",   "\"\"\"",   "'''",
    "\"'\"",  "'\"'",  "\"a b\"", "\"48\" ",  " '48'",  "\"48\"x",  "x\"48\"", "\"\xE9\"",
};

class corpus_writer {
public:
    explicit corpus_writer(random_source& random) : random_(random) {}

    // One file's bytes.
    std::string file()
    {
        std::string out;
        lineEnd_ = random_.chance(45) ? "\r\n" : random_.chance(80) ? "\n" : "";
        const bool noSection = random_.chance(8);
        const std::size_t lines = 1 + random_.below(random_.chance(10) ? 60 : 14);
        if (!noSection && random_.chance(20))
            keyLine(out);  // a key before any section
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t kind = random_.below(100);
            if (!noSection && (kind < 18 || i == 0))
                sectionLine(out);
            else if (kind < 75)
                keyLine(out);
            else if (kind < 85)
                commentLine(out);
            else if (kind < 92)
                endLine(out);  // blank line
            else
                oddLine(out);
        }
        // A missing last line end.
        if (random_.chance(25)) {
            while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
                out.pop_back();
        }
        return out;
    }

    // A name as it may stand in a file or a query: case changed at random.
    std::string varied(const char* name)
    {
        std::string s(name);
        const std::size_t how = random_.below(4);
        for (char& c : s) {
            const bool flip = how == 1 || (how == 2 && random_.chance(50));
            if (how == 3)
                c = upper(c);
            else if (flip)
                c = isUpper(c) ? lower(c) : upper(c);
        }
        return s;
    }

    // A name as a query may give it: case changed, now and then with blanks.
    std::string asked(const char* name) { return random_.chance(90) ? varied(name) : blank() + varied(name) + blank(); }

    static bool isUpper(char c)
    {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7);
    }
    static char upper(char c)
    {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
            return static_cast<char>(u - 0x20);
        return c;
    }
    static char lower(char c) { return isUpper(c) ? static_cast<char>(static_cast<unsigned char>(c) + 0x20) : c; }

private:
    void endLine(std::string& out)
    {
        if (lineEnd_.empty())
            out += random_.chance(50) ? "\r\n" : random_.chance(80) ? "\n" : "\r";  // mixed line ends
        else
            out += lineEnd_;
    }
    std::string blank() { return random_.chance(60) ? std::string() : std::string(random_.pick(blanks)); }

    void sectionLine(std::string& out)
    {
        out += blank();
        const std::size_t form = random_.below(100);
        const std::string name = varied(random_.pick(sectionNames));
        if (form < 80)
            out += "[" + blank() + name + blank() + "]";
        else if (form < 85)
            out += "[" + name;  // no closing bracket
        else if (form < 90)
            out += "[" + name + "] trailing";
        else if (form < 94)
            out += "[" + name + "]x]";
        else if (form < 97)
            out += "[]";
        else
            out += ";[" + name + "]";
        out += blank();
        endLine(out);
    }

    std::string value()
    {
        const std::size_t form = random_.below(100);
        if (form < 10)
            return "";
        if (form < 45)
            return random_.pick(plainValues);
        if (form < 85)
            return random_.pick(quotedValues);
        if (form < 93) {
            // A long value, quoted or not, past any result room.
            std::string s(200 + random_.below(4000), 'v');
            for (std::size_t i = 0; i < s.size(); i += 1 + random_.below(60))
                s[i] = static_cast<char>(' ' + random_.below(95));
            if (random_.chance(40)) {
                const char q = random_.chance(50) ? '"' : '\'';
                s = q + s + q;
            }
            return s;
        }
        // Arbitrary bytes other than line ends, NUL among them.
        std::string s;
        const std::size_t n = 1 + random_.below(12);
        for (std::size_t i = 0; i < n; ++i) {
            char c = static_cast<char>(random_.below(256));
            if (c == '\n' || c == '\r')
                c = '?';
            s += c;
        }
        return s;
    }

    void keyLine(std::string& out)
    {
        out += blank();
        const std::size_t form = random_.below(100);
        const std::string name = varied(random_.pick(keyNames));
        if (form < 85)
            out += name + blank() + "=" + blank() + value() + blank();
        else if (form < 90)
            out += name + blank();  // no '='
        else if (form < 94)
            out += blank() + "=" + value();  // no name
        else
            out += name + "==" + value();
        endLine(out);
    }

    void commentLine(std::string& out)
    {
        out += blank() + ";" + blank();
        if (random_.chance(60))
            out += varied(random_.pick(keyNames)) + "=" + value();
        else
            out += "a comment \xE9";
        endLine(out);
    }

    void oddLine(std::string& out)
    {
        const std::size_t form = random_.below(4);
        if (form == 0)
            out += std::string(300 + random_.below(6000), random_.chance(50) ? '#' : ' ') + "x";
        else if (form == 1)
            out += "\xEF\xBB\xBFnot=first";
        else if (form == 2)
            out += "  #hash=1";
        else
            out += "\xE9\xE8\xFF=\xC0";
        endLine(out);
    }

    random_source& random_;
    std::string lineEnd_;
};

// What the corpus held, counted in files, so that the run shows that every
// variation it is meant to have did occur.
enum feature : std::size_t {
    crlf,
    lf,
    loneCr,
    noLastLineEnd,
    noSection,
    keyBeforeSection,
    duplicateSection,
    duplicateKey,
    blanksAroundEquals,
    emptyValue,
    quotes,
    commentLine,
    longLine,
    nonAscii,
    nulByte,
    featureCount
};
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

std::string lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

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

struct query {
    std::string section;
    std::string key;
    bool nullFallback;
    std::string fallback;
    std::uint32_t size;
};

struct answer {
    std::uint32_t count;
    std::string text;  // the bytes before the count's NUL, and that NUL
    bool operator==(const answer& other) const { return count == other.count && text == other.text; }
};

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

// A difference that Wine has and Windows has not. `applies` sees the query
// and both answers; it must hold for exactly the cases the reason explains.
struct wine_difference {
    const char* name;
    const char* reason;
    bool (*applies)(const query&, const answer& ours, const answer& wine, const std::string& path);
    std::size_t seen;
};

const wine_difference knownWineDifferences[] = {
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

bool writeFile(const std::string& path, const std::string& content)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<query> queriesFor(random_source& random, corpus_writer& writer)
{
    static const std::uint32_t sizes[] = {256, 256, 256, 256, 1, 2, 3, 4, 5, 8, 64, 4096};
    static const char* const fallbacks[] = {
        "0",    "0",  "0",    "",    "dflt", "dflt  ", " d ", "\"q\"", "'q'",   "\"q\"  ", " 'q' ",
        "\"q'", "\"", "\"\"", "0\t", "0\v",  "0\f",    "0\r", "0\x1A", "0\xA0", "\"q \" ",
    };
    std::vector<query> queries;
    const auto add = [&](const char* section, const char* key) {
        query q;
        q.section = writer.asked(section);
        q.key = writer.asked(key);
        q.nullFallback = random.chance(5);
        q.fallback = q.nullFallback ? "" : random.pick(fallbacks);
        q.size = random.chance(70) ? 256 : random.pick(sizes);
        queries.push_back(q);
    };
    // Every key of the section a device file is read for, then a few keys of
    // other sections and one section that no file has.
    for (const char* key : keyNames)
        add(sectionNames[0], key);
    add(sectionNames[0], random.pick(missingNames));
    for (int i = 0; i < 2; ++i) {
        const char* section = sectionNames[1 + random.below(std::size(sectionNames) - 1)];
        for (int j = 0; j < 2; ++j)
            add(section, random.pick(keyNames));
    }
    add(random.pick(missingNames), keyNames[0]);
    return queries;
}

std::string temporaryFolder()
{
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::string folder = std::string(base) + "zelm-profile-differential-" + std::to_string(GetCurrentProcessId());
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return folder;
}

}  // namespace

// What the comparison has found so far.
struct comparison {
    std::size_t queries = 0;
    std::size_t agreed = 0;
    std::size_t unexplained = 0;
    std::vector<wine_difference> wineDifferences{std::begin(knownWineDifferences), std::end(knownWineDifferences)};
    std::vector<char> ours = std::vector<char>(8192);
    std::vector<char> theirs = std::vector<char>(8192);
};

void printDifference(const std::string& path, const std::string& content, const query& q, const answer& mine,
                     const answer& wine)
{
    std::printf("DIFFERENCE in file %s, section \"%s\", key \"%s\", default %s%s%s, size %u\n", path.c_str(),
                escaped(q.section).c_str(), escaped(q.key).c_str(), q.nullFallback ? "null" : "\"",
                q.nullFallback ? "" : escaped(q.fallback).c_str(), q.nullFallback ? "" : "\"", q.size);
    std::printf("  ours: %u \"%s\"\n  Windows API: %u \"%s\"\n  file:\n    %s\n", mine.count,
                escaped(mine.text).c_str(), wine.count, escaped(wine.text).c_str(), escaped(content).c_str());
}

// Asks both readers one file's queries and counts what they say.
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

int main(int argc, char** argv)
{
    std::size_t cases = 2500;
    std::uint64_t seed = 20261208;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cases" && i + 1 < argc)
            cases = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: profile_differential [--cases N] [--seed S] [--keep]\n");
            return 2;
        }
    }
    const std::string folder = temporaryFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "profile differential: no temporary folder to write the corpus into\n");
        return 1;
    }
    random_source random(seed);
    corpus_writer writer(random);
    comparison found;
    std::size_t featureFiles[featureCount] = {};
    for (std::size_t n = 0; n < cases; ++n) {
        const std::string content = writer.file();
        countFeatures(content, featureFiles);
        char name[32];
        std::snprintf(name, sizeof name, "\\dev_%05zu.ini", n);
        const std::string path = folder + name;
        if (!writeFile(path, content)) {
            std::fprintf(stderr, "profile differential: cannot write %s\n", path.c_str());
            return 1;
        }
        compareFile(path, content, random, writer, found);
        if (!keep)
            DeleteFileA(path.c_str());
    }
    if (!keep)
        RemoveDirectoryA(folder.c_str());
    printSummary(found, featureFiles, cases, seed, keep, folder);
    return found.unexplained == 0 ? 0 : 1;
}
