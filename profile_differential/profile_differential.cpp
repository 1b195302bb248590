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
// of the list of known Wine differences (profile_comparison.cpp), which
// names it and says why. Any other difference fails the run and prints the
// file and the query.
//
//   profile_differential [--cases N] [--seed S] [--keep]
//
// The test is spread over files by job: the random source
// (random_source.h), the corpus and its queries (profile_corpus), what the
// corpus held (corpus_features), the comparison of the two readers
// (profile_comparison), and main here, which writes each file and asks it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corpus_features.h"
#include "profile_comparison.h"
#include "profile_corpus.h"
#include "random_source.h"

namespace {

bool writeFile(const std::string& path, const std::string& content)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
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
