#include "routers/videohub_codec.h"

#include <gtest/gtest.h>

namespace {

std::string readAll(const std::string& stream, std::size_t step)
{
    videohub::reader reader;
    std::vector<videohub::block> blocks;
    for (std::size_t at = 0; at < stream.size(); at += step)
        reader.feed(stream.data() + at, std::min(step, stream.size() - at), blocks);
    std::string text;
    for (const auto& found : blocks) {
        switch (found.what) {
        case videohub::block::kind::ack:
            text += "ACK";
            break;
        case videohub::block::kind::nak:
            text += "NAK";
            break;
        case videohub::block::kind::problem:
            text += "problem(" + found.problem + ")";
            break;
        case videohub::block::kind::data:
            text += found.header + "{";
            for (const auto& line : found.lines)
                text += line + ";";
            text += "}";
            break;
        }
        text += " ";
    }
    return text;
}

TEST(VideohubReader, CutsBlocksFromAStreamCutAnywhere)
{
    struct row {
        const char* what;
        std::string stream;
        std::string expected;
    };
    const row rows[] = {
        {"the opening of a dump", "PROTOCOL PREAMBLE:\nVersion: 2.8\n\nINPUT LABELS:\n0 CAM 1\n1 \n\nEND PRELUDE:\n\n",
         "PROTOCOL PREAMBLE{Version: 2.8;} INPUT LABELS{0 CAM 1;1 ;} END PRELUDE{} "},
        {"answers and an empty block", "ACK\n\nNAK\n\nVIDEO OUTPUT ROUTING:\n\n", "ACK NAK VIDEO OUTPUT ROUTING{} "},
        {"CR LF line ends, blank lines between", "\r\n\nACK\r\n\r\nPING:\r\n\r\n", "ACK PING{} "},
        {"not a header", "hello there\nmore\n\nACK\n\n",
         "problem(a block starting with \"hello there\", which is no header) ACK "},
        {"a block not yet ended", "VIDEO OUTPUT ROUTING:\n3 4\n", ""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(readAll(r.stream, r.stream.size()), r.expected) << r.what;
        EXPECT_EQ(readAll(r.stream, 1), r.expected) << r.what << " (character by character)";
        EXPECT_EQ(readAll(r.stream, 5), r.expected) << r.what << " (in fives)";
    }
    std::string overlong = "INPUT LABELS:\n0 " + std::string(10000, 'x') + "\n1 B\n\n";
    EXPECT_EQ(readAll(overlong, 100),
              "problem(a line longer than 4096 characters; its rest was skipped) INPUT LABELS{0 " +
                  std::string(4094, 'x') + ";1 B;} ");
}

TEST(VideohubReader, SplitsNumberedLines)
{
    struct row {
        std::string line;
        bool ok;
        int number;
        std::string rest;
    };
    const row rows[] = {{"3 Camera 1", true, 3, "Camera 1"},
                        {"12 7", true, 12, "7"},
                        {"5 ", true, 5, ""},
                        {"5", true, 5, ""},
                        {"x 1", false, 0, ""},
                        {"5x", false, 0, ""},
                        {"99999999999 1", false, 0, ""},
                        {"", false, 0, ""}};
    for (const auto& r : rows) {
        int number = 0;
        std::string rest;
        EXPECT_EQ(videohub::splitNumbered(r.line, number, rest), r.ok) << r.line;
        if (r.ok) {
            EXPECT_EQ(number, r.number) << r.line;
            EXPECT_EQ(rest, r.rest) << r.line;
        }
    }
    EXPECT_EQ(videohub::formatBlock("VIDEO OUTPUT ROUTING", {"3 4"}), "VIDEO OUTPUT ROUTING:\n3 4\n\n");
}

// A block is read up to 1 MiB however many lines it has: memory stays flat.
TEST(VideohubReader, KeepsABlockWithinItsBytes)
{
    std::string line(1000, 'x');
    std::string stream = "INPUT LABELS:\n";
    for (int i = 0; i < 2000; ++i)
        stream += std::to_string(i) + " " + line + "\n";
    stream += "\n";
    videohub::reader reader;
    std::vector<videohub::block> blocks;
    reader.feed(stream.data(), stream.size(), blocks);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].problem,
              "block INPUT LABELS held more than 4096 lines or 1048576 bytes; the rest were skipped");
    std::size_t kept = 0;
    for (const auto& taken : blocks[1].lines)
        kept += taken.size();
    EXPECT_LE(kept, videohub::maxBlockBytes);
    EXPECT_GT(kept, videohub::maxBlockBytes - 1100);
}

}  // namespace
