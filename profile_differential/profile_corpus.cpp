#include "profile_corpus.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace {

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

}  // namespace

std::string corpus_writer::file()
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

std::string corpus_writer::varied(const char* name)
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

bool corpus_writer::isUpper(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7);
}

char corpus_writer::upper(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
        return static_cast<char>(u - 0x20);
    return c;
}

void corpus_writer::endLine(std::string& out)
{
    if (lineEnd_.empty())
        out += random_.chance(50) ? "\r\n" : random_.chance(80) ? "\n" : "\r";  // mixed line ends
    else
        out += lineEnd_;
}

std::string corpus_writer::blank() { return random_.chance(60) ? std::string() : std::string(random_.pick(blanks)); }

void corpus_writer::sectionLine(std::string& out)
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

std::string corpus_writer::value()
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

void corpus_writer::keyLine(std::string& out)
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

void corpus_writer::commentLine(std::string& out)
{
    out += blank() + ";" + blank();
    if (random_.chance(60))
        out += varied(random_.pick(keyNames)) + "=" + value();
    else
        out += "a comment \xE9";
    endLine(out);
}

void corpus_writer::oddLine(std::string& out)
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
