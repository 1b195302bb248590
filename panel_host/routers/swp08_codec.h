// swp08_codec: the SW-P-08 router control protocol's framing and the
// general crosspoint messages, with no I/O.
//
// A frame on the wire is  DLE STX | DATA | BTC | CHK | DLE ETX  where DATA
// is the command byte and its message, BTC the number of DATA bytes and CHK
// the 8-bit two's complement of the sum of DATA and BTC. A DLE (0x10) inside
// DATA, BTC or CHK is sent twice. DLE ACK and DLE NAK acknowledge a frame;
// they may also arrive in the middle of a frame being received.
//
// Router numbers on the wire count from 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swp08 {

constexpr std::uint8_t dle = 0x10;
constexpr std::uint8_t stx = 0x02;
constexpr std::uint8_t etx = 0x03;
constexpr std::uint8_t ack = 0x06;
constexpr std::uint8_t nak = 0x15;

// Command bytes used here.
constexpr std::uint8_t cmdInterrogate = 1;
constexpr std::uint8_t cmdConnect = 2;
constexpr std::uint8_t cmdTally = 3;
constexpr std::uint8_t cmdConnected = 4;
constexpr std::uint8_t cmdTallyDumpRequest = 21;
constexpr std::uint8_t cmdTallyDumpByte = 22;
constexpr std::uint8_t cmdTallyDumpWord = 23;

// The plain addressing reaches sources and destinations 0..1023; matrix and
// level take four bits each.
constexpr int maxPort = 1023;
constexpr int maxMatrix = 15;
constexpr int maxLevel = 15;
// DATA is at most 255 bytes (BTC is one byte).
constexpr std::size_t maxData = 255;

// DATA packaged into a whole frame, DLEs doubled.
std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& data);
inline std::vector<std::uint8_t> ackBytes() { return {dle, ack}; }
inline std::vector<std::uint8_t> nakBytes() { return {dle, nak}; }

// What the reader found in the byte stream.
struct item {
    enum class kind {
        message,  // a well-packaged frame: `data` holds DATA
        ack_received,
        nak_received,
        bad_frame,  // a frame that must be answered with NAK: `problem` says why
        junk,       // bytes outside any frame, skipped: `problem` says how many
    };
    kind what = kind::message;
    std::vector<std::uint8_t> data;
    std::string problem;
};

// Reads frames from a byte stream cut anywhere: a frame may be split
// across reads or several joined in one.
class reader {
public:
    // Appends what `bytes` completes to `out`.
    void feed(const std::uint8_t* bytes, std::size_t size, std::vector<item>& out);

private:
    void endFrame(std::vector<item>& out);
    void flushJunk(std::vector<item>& out);
    enum class state { idle, idle_dle, body, body_dle } state_ = state::idle;
    std::vector<std::uint8_t> body_;
    bool overlong_ = false;
    std::size_t junk_ = 0;
};

// The crosspoint messages, decoded. Numbers are wire numbers (from 0).
struct crosspoint {
    int matrix = 0;
    int level = 0;
    int destination = 0;
    int source = 0;
    bool badSource = false;  // the router flags the source's signal as bad
};

std::vector<std::uint8_t> interrogate(int matrix, int level, int destination);
std::vector<std::uint8_t> connect(int matrix, int level, int destination, int source);
std::vector<std::uint8_t> tallyDumpRequest(int matrix, int level);
// Tally (3) or connected (4).
std::vector<std::uint8_t> crosspointMessage(std::uint8_t command, const crosspoint& point);
// Tally dump of sources for destinations first.. (byte form: all numbers
// below 192; word form: at most 64 tallies).
std::vector<std::uint8_t> tallyDumpByte(int matrix, int level, int firstDestination, const std::vector<int>& sources);
std::vector<std::uint8_t> tallyDumpWord(int matrix, int level, int firstDestination, const std::vector<int>& sources);

// Reads a connect, interrogate, tally or connected message (DATA with its
// command byte). False, with `problem` saying why, when it is too short or
// a byte is out of its field's range (the top bit of the multiplier, the
// destination or the source byte, which hold 7 bits): such a message is
// refused whole, never read with the bit masked off.
bool readCrosspoint(const std::vector<std::uint8_t>& data, crosspoint& point, std::string* problem = nullptr);
// Reads a tally dump (22 or 23) into one crosspoint per tally. False, with
// `problem`, when the message is shorter than its count says or holds no
// tally.
bool readTallyDump(const std::vector<std::uint8_t>& data, std::vector<crosspoint>& points,
                   std::string* problem = nullptr);

// "10 02 01 ..." for the transcript and test messages.
std::string hex(const std::vector<std::uint8_t>& bytes);

}  // namespace swp08
