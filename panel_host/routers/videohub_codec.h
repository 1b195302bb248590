// videohub_codec: the Videohub Ethernet protocol's text blocks, with no I/O.
//
// Both sides send blocks: an upper-case header ending in ':' ("VIDEO OUTPUT
// ROUTING:"), one item per line, and a blank line. The server answers each
// block a client sends with a block of its own, "ACK" or "NAK", before any
// data. Lines end with LF (a CR before it is dropped). Numbers count from 0.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace videohub {

// Longest line read; the rest of a longer line is skipped.
constexpr std::size_t maxLine = 4096;
// Most lines one block may hold, and most bytes; further lines are skipped.
constexpr std::size_t maxLines = 4096;
constexpr std::size_t maxBlockBytes = std::size_t(1) << 20;
// Longest label taken as a name.
constexpr std::size_t maxLabel = 255;

struct block {
    enum class kind { data, ack, nak, problem };
    kind what = kind::data;
    std::string header;              // without the ':'
    std::vector<std::string> lines;  // the items
    std::string problem;             // for kind::problem
};

// Reads blocks from a text stream cut anywhere.
class reader {
public:
    void feed(const char* text, std::size_t size, std::vector<block>& out);

private:
    void endLine(std::vector<block>& out);
    std::string line_;
    bool overlong_ = false;
    bool inBlock_ = false;
    bool tooManyLines_ = false;
    std::size_t blockBytes_ = 0;
    block current_;
};

std::string formatBlock(const std::string& header, const std::vector<std::string>& lines);

// "3 Camera 1" into 3 and "Camera 1"; "5 7" into 5 and "7". False when the
// line does not start with a number and a space (a label may be empty).
bool splitNumbered(const std::string& line, int& number, std::string& rest);

}  // namespace videohub
