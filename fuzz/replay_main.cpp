// Runs a fuzz target over saved inputs without libFuzzer, so the seed
// corpora and every past finding run as ordinary tests in every build (and
// under the sanitizers and valgrind with them).
//
//   <target> FILE_OR_FOLDER...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool runFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int files = 0;
    bool ok = true;
    for (int at = 1; at < argc; ++at) {
        const std::filesystem::path path(argv[at]);
        if (std::filesystem::is_directory(path)) {
            std::vector<std::filesystem::path> inside;
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    inside.push_back(entry.path());
            std::sort(inside.begin(), inside.end());
            for (const auto& file : inside) {
                ok = runFile(file) && ok;
                ++files;
            }
        } else {
            ok = runFile(path) && ok;
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    return ok && files > 0 ? 0 : 1;
}
