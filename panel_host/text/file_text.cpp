#include "text/file_text.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

bool readWholeStream(std::istream& in, std::string& text)
{
    std::vector<char> buffer(std::size_t{1} << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error, const std::string& what)
{
    std::error_code failure;
    if (fs::is_directory(path, failure)) {
        error = "cannot read " + what + " " + path + ": it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + what + " " + path;
        return false;
    }
    const auto size = fs::file_size(path, failure);
    if (!failure)
        text.reserve(text.size() + static_cast<std::size_t>(size));
    if (!readWholeStream(in, text)) {
        error = "cannot read " + what + " " + path + ": read error";
        return false;
    }
    return true;
}
