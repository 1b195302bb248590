// The corpus of the differential test: device ini files that vary what an
// installer or a hand edit may produce (see profile_differential.cpp), and
// the queries each file is asked, in names the files use (in other cases
// and spellings) and names no file has. Both are drawn from one random
// source, so that a seed names the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "random_source.h"

class corpus_writer {
public:
    explicit corpus_writer(random_source& random) : random_(random) {}

    // One file's bytes.
    std::string file();

    // A name as it may stand in a file or a query: case changed at random.
    std::string varied(const char* name);

    // A name as a query may give it: case changed, now and then with blanks.
    std::string asked(const char* name) { return random_.chance(90) ? varied(name) : blank() + varied(name) + blank(); }

    // Case in the ANSI code page both readers take the bytes in (1252).
    static bool isUpper(char c);
    static char upper(char c);
    static char lower(char c) { return isUpper(c) ? static_cast<char>(static_cast<unsigned char>(c) + 0x20) : c; }

private:
    void endLine(std::string& out);
    std::string blank();
    void sectionLine(std::string& out);
    std::string value();
    void keyLine(std::string& out);
    void commentLine(std::string& out);
    void oddLine(std::string& out);

    random_source& random_;
    std::string lineEnd_;
};

struct query {
    std::string section;
    std::string key;
    bool nullFallback;
    std::string fallback;
    std::uint32_t size;
};

// The queries one file is asked: every key of the section a device file is
// read for, then a few keys of other sections and one section that no file
// has, with defaults and result sizes drawn at random.
std::vector<query> queriesFor(random_source& random, corpus_writer& writer);
