// The Videohub reader on arbitrary text: read whole and in pieces (the first
// byte sets the piece size) it must find the same blocks, within its line
// and block limits; a data block written back and read again is itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "routers/videohub_codec.h"

namespace {

std::vector<videohub::block> readIn(const char* text, std::size_t size, std::size_t piece)
{
    videohub::reader reader;
    std::vector<videohub::block> blocks;
    for (std::size_t at = 0; at < size; at += piece)
        reader.feed(text + at, size - at < piece ? size - at : piece, blocks);
    return blocks;
}

bool same(const std::vector<videohub::block>& a, const std::vector<videohub::block>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].what != b[i].what || a[i].header != b[i].header || a[i].lines != b[i].lines ||
            a[i].problem != b[i].problem)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    auto whole = readIn(text, size, size);
    check(same(whole, readIn(text, size, data[0] % 32 + 1)));
    for (const auto& found : whole) {
        check(found.lines.size() <= videohub::maxLines);
        for (const auto& line : found.lines) {
            check(!line.empty() && line.size() <= videohub::maxLine);
            int number = -1;
            std::string rest;
            if (videohub::splitNumbered(line, number, rest))
                check(number >= 0 && rest.size() < line.size());
        }
        if (found.what != videohub::block::kind::data || found.header.find('\n') != std::string::npos)
            continue;
        bool plain = true;
        for (const auto& line : found.lines)
            plain = plain && line.back() != '\r';
        if (!plain || found.header.empty() || found.header.back() == '\r' || found.header == "ACK" ||
            found.header == "NAK")
            continue;
        std::string again = videohub::formatBlock(found.header, found.lines);
        auto reread = readIn(again.data(), again.size(), again.size());
        check(reread.size() == 1 && reread[0].header == found.header && reread[0].lines == found.lines);
    }
    return 0;
}
