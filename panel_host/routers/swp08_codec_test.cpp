#include "routers/swp08_codec.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> out;
    for (int value : values)
        out.push_back(static_cast<std::uint8_t>(value));
    return out;
}

// What the reader makes of a byte stream, fed in pieces of `step` bytes.
std::string readAll(const std::vector<std::uint8_t>& stream, std::size_t step)
{
    swp08::reader reader;
    std::vector<swp08::item> items;
    for (std::size_t at = 0; at < stream.size(); at += step)
        reader.feed(stream.data() + at, std::min(step, stream.size() - at), items);
    std::string text;
    for (const auto& found : items) {
        switch (found.what) {
        case swp08::item::kind::message:
            text += "[" + swp08::hex(found.data) + "]";
            break;
        case swp08::item::kind::ack_received:
            text += "ACK";
            break;
        case swp08::item::kind::nak_received:
            text += "NAK";
            break;
        case swp08::item::kind::bad_frame:
            text += "bad(" + found.problem + ")";
            break;
        case swp08::item::kind::junk:
            text += "junk(" + found.problem + ")";
            break;
        }
        text += " ";
    }
    return text;
}

// The examples of the protocol document's appendix, byte for byte.
TEST(Swp08Framing, MatchesTheDocumentsExamples)
{
    EXPECT_EQ(swp08::hex(swp08::frame(swp08::interrogate(1, 1, 1))), "10 02 01 11 00 01 04 E9 10 03");
    EXPECT_EQ(swp08::hex(swp08::frame(swp08::connect(1, 1, 2, 0))), "10 02 02 11 00 02 00 05 E6 10 03");
    EXPECT_EQ(swp08::hex(swp08::frame(swp08::crosspointMessage(swp08::cmdConnected, {1, 1, 2, 0, false}))),
              "10 02 04 11 00 02 00 05 E4 10 03");
    // The tally reply: source 153 on destination 1.
    swp08::crosspoint point;
    ASSERT_TRUE(swp08::readCrosspoint(bytes({0x03, 0x11, 0x01, 0x01, 0x19}), point));
    EXPECT_EQ(point.matrix, 1);
    EXPECT_EQ(point.level, 1);
    EXPECT_EQ(point.destination, 1);
    EXPECT_EQ(point.source, 153);
    EXPECT_EQ(swp08::hex(swp08::tallyDumpRequest(2, 3)), "15 23");
}

TEST(Swp08Framing, DoublesEveryDleAndReadsItBack)
{
    // Destination 16 is 0x10 in DATA; the byte count 16 and a checksum of
    // 0x10 must be doubled too.
    EXPECT_EQ(swp08::hex(swp08::frame(swp08::connect(0, 0, 16, 1))), "10 02 02 00 00 10 10 01 05 E8 10 03");
    std::vector<std::uint8_t> sixteen(16, 0x01);
    EXPECT_EQ(swp08::hex(swp08::frame(sixteen)),
              "10 02 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 10 10 E0 10 03");
    EXPECT_EQ(swp08::hex(swp08::frame(bytes({0xDE}))), "10 02 DE 01 21 10 03");
    EXPECT_EQ(swp08::hex(swp08::frame(bytes({0xEF}))), "10 02 EF 01 10 10 10 03");  // checksum 0x10
    for (const auto& data : {swp08::connect(0, 0, 16, 16), sixteen, bytes({0xEF}), swp08::connect(15, 15, 1023, 1023)})
        EXPECT_EQ(readAll(swp08::frame(data), 1), "[" + swp08::hex(data) + "] ");
}

TEST(Swp08Framing, AddressesBeyond128UseTheMultiplier)
{
    swp08::crosspoint point;
    ASSERT_TRUE(swp08::readCrosspoint(swp08::connect(3, 4, 900, 300), point));
    EXPECT_EQ(point.matrix, 3);
    EXPECT_EQ(point.level, 4);
    EXPECT_EQ(point.destination, 900);
    EXPECT_EQ(point.source, 300);
    std::vector<swp08::crosspoint> points;
    ASSERT_TRUE(swp08::readTallyDump(swp08::tallyDumpWord(0, 1, 510, {1000, 7}), points));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].destination, 511);
    EXPECT_EQ(points[0].source, 1000);
    EXPECT_FALSE(swp08::readTallyDump(bytes({22, 0x00, 5, 0, 1, 2}), points));  // count says 5, holds 2
    // Bit 3 of the same byte flags the source's signal as bad, between the
    // destination's multiplier (bits 4 to 6) and the source's (bits 0 to 2).
    const std::vector<std::uint8_t> flagged = swp08::crosspointMessage(swp08::cmdConnected, {2, 3, 900, 300, true});
    EXPECT_EQ(swp08::hex(flagged), "04 23 7A 04 2C");
    ASSERT_TRUE(swp08::readCrosspoint(flagged, point));
    EXPECT_TRUE(point.badSource);
    EXPECT_EQ(point.destination, 900);
    EXPECT_EQ(point.source, 300);
}

// A byte with its top bit set in a 7-bit field is refused, never masked:
// 86 and 8A would read as destination 6 and source 10.
TEST(Swp08Framing, BytesBeyondTheirFieldAreRefused)
{
    swp08::crosspoint point;
    std::string problem;
    EXPECT_FALSE(swp08::readCrosspoint(bytes({4, 0x00, 0x00, 0x86, 0x8A}), point, &problem));
    EXPECT_EQ(problem, "byte 4 (86, the destination) out of its range 00 to 7F");
    EXPECT_FALSE(swp08::readCrosspoint(bytes({4, 0x00, 0x00, 0x06, 0x8A}), point, &problem));
    EXPECT_EQ(problem, "byte 5 (8A, the source) out of its range 00 to 7F");
    EXPECT_FALSE(swp08::readCrosspoint(bytes({1, 0x00, 0x80, 0x06}), point, &problem));
    EXPECT_EQ(problem, "byte 3 (80, the multiplier) out of its range 00 to 7F");
    EXPECT_FALSE(swp08::readCrosspoint(bytes({3, 0x00, 0x00, 0x06}), point, &problem));
    EXPECT_EQ(problem, "a short message 03 00 00 06");
    ASSERT_TRUE(swp08::readCrosspoint(bytes({4, 0x00, 0x78, 0x7F, 0x06}), point, &problem));
    EXPECT_EQ(point.destination, 7 * 128 + 127);
    EXPECT_TRUE(point.badSource);
    std::vector<swp08::crosspoint> points;
    EXPECT_FALSE(swp08::readTallyDump(bytes({22, 0x00, 0, 0}), points, &problem));
    EXPECT_EQ(problem, "a tally dump of no tally");
}

// One table of streams: how each is cut into items, whole and byte by byte.
TEST(Swp08Reader, HandlesDamagedSplitAndJoinedStreams)
{
    auto good = swp08::frame(swp08::connect(0, 0, 2, 0));
    auto join = [](std::vector<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct row {
        const char* what;
        std::vector<std::uint8_t> stream;
        std::string expected;
    };
    const row rows[] = {
        {"ACK, frame and NAK joined", join({swp08::ackBytes(), good, swp08::nakBytes()}), "ACK [02 00 00 02 00] NAK "},
        {"junk before a frame", join({bytes({0x41, 0x42, 0x43}), good}),
         "junk(3 bytes outside any frame skipped) [02 00 00 02 00] "},
        {"bad checksum", bytes({0x10, 0x02, 0x02, 0x00, 0x00, 0x02, 0x00, 0x05, 0xF0, 0x10, 0x03}),
         "bad(bad checksum F0 (expected F7)) "},
        {"byte count wrong", bytes({0x10, 0x02, 0x02, 0x00, 0x04, 0xFA, 0x10, 0x03}),
         "bad(byte count 4 in a frame of 2 data bytes) "},
        {"too short", bytes({0x10, 0x02, 0x05, 0x10, 0x03}), "bad(a frame of 1 bytes, too short) "},
        {"ACK embedded in a frame",
         bytes({0x10, 0x02, 0x02, 0x00, 0x10, 0x06, 0x00, 0x02, 0x00, 0x05, 0xF7, 0x10, 0x03}),
         "ACK [02 00 00 02 00] "},
        {"DLE then a stray byte", join({bytes({0x10, 0x02, 0x02, 0x10, 0x41}), good}),
         "bad(DLE followed by 41 inside a frame) [02 00 00 02 00] "},
        {"a frame cut by another", join({bytes({0x10, 0x02, 0x02, 0x00}), good}),
         "bad(a frame cut short by the start of another) [02 00 00 02 00] "},
        {"stray DLE pair outside", join({bytes({0x10, 0x44}), good}),
         "junk(2 bytes outside any frame skipped) [02 00 00 02 00] "},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(readAll(r.stream, r.stream.size()), r.expected) << r.what;
        EXPECT_EQ(readAll(r.stream, 1), r.expected) << r.what << " (byte by byte)";
    }
    // Longer than a byte count can say: refused, and the reader goes on.
    std::vector<std::uint8_t> overlong{0x10, 0x02};
    overlong.insert(overlong.end(), 300, 0x01);
    overlong.insert(overlong.end(), {0x10, 0x03});
    overlong.insert(overlong.end(), good.begin(), good.end());
    EXPECT_EQ(readAll(overlong, 7), "bad(a frame longer than 255 data bytes) [02 00 00 02 00] ");
}

}  // namespace
