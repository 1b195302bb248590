// The SW-P-08 reader on arbitrary bytes: read whole and in pieces (the first
// byte sets the piece size) it must find the same items; every message it
// accepts must frame back into bytes that read as that message; the
// crosspoint and tally dump readers must stay within the protocol's numbers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "routers/swp08_codec.h"

namespace {

std::vector<swp08::item> readIn(const std::uint8_t* data, std::size_t size, std::size_t piece)
{
    swp08::reader reader;
    std::vector<swp08::item> items;
    for (std::size_t at = 0; at < size; at += piece)
        reader.feed(data + at, size - at < piece ? size - at : piece, items);
    return items;
}

bool same(const std::vector<swp08::item>& a, const std::vector<swp08::item>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].what != b[i].what || a[i].data != b[i].data || a[i].problem != b[i].problem)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::size_t piece = data[0] % 16 + 1;
    auto whole = readIn(data, size, size);
    auto pieces = readIn(data, size, piece);
    // Junk is counted per run of bytes; a run cut by a read boundary stays one run.
    check(same(whole, pieces));
    for (const auto& found : whole) {
        if (found.what != swp08::item::kind::message)
            continue;
        check(!found.data.empty() && found.data.size() <= swp08::maxData);
        auto again = readIn(swp08::frame(found.data).data(), swp08::frame(found.data).size(), 1);
        check(again.size() == 1 && again[0].what == swp08::item::kind::message && again[0].data == found.data);
        swp08::crosspoint point;
        if (swp08::readCrosspoint(found.data, point))
            check(point.destination >= 0 && point.destination <= swp08::maxPort && point.source >= 0 &&
                  point.source <= swp08::maxPort && point.matrix <= swp08::maxMatrix && point.level <= swp08::maxLevel);
        std::vector<swp08::crosspoint> points;
        if (swp08::readTallyDump(found.data, points))
            check(points.size() <= 255);
    }
    return 0;
}
