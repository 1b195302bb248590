#include "routers/swp08_codec.h"

#include <cstdio>

namespace swp08 {

std::vector<std::uint8_t> frame(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> body(data);
    body.push_back(static_cast<std::uint8_t>(data.size()));
    unsigned sum = 0;
    for (std::uint8_t byte : body)
        sum += byte;
    body.push_back(static_cast<std::uint8_t>((0x100u - (sum & 0xFFu)) & 0xFFu));
    std::vector<std::uint8_t> out{dle, stx};
    for (std::uint8_t byte : body) {
        out.push_back(byte);
        if (byte == dle)
            out.push_back(dle);
    }
    out.push_back(dle);
    out.push_back(etx);
    return out;
}

void reader::flushJunk(std::vector<item>& out)
{
    if (junk_ == 0)
        return;
    item skipped;
    skipped.what = item::kind::junk;
    skipped.problem = std::to_string(junk_) + (junk_ == 1 ? " byte" : " bytes") + " outside any frame skipped";
    out.push_back(std::move(skipped));
    junk_ = 0;
}

void reader::endFrame(std::vector<item>& out)
{
    item found;
    found.what = item::kind::bad_frame;
    if (overlong_) {
        found.problem = "a frame longer than " + std::to_string(maxData) + " data bytes";
    } else if (body_.size() < 3) {
        found.problem = "a frame of " + std::to_string(body_.size()) + " bytes, too short";
    } else {
        std::size_t count = body_.size() - 2;
        unsigned btc = body_[count];
        unsigned sum = 0;
        for (std::uint8_t byte : body_)
            sum += byte;
        if (btc != count) {
            found.problem = "byte count " + std::to_string(btc) + " in a frame of " + std::to_string(count) +
                            " data bytes";
        } else if ((sum & 0xFFu) != 0) {
            char text[64];
            unsigned expected = (0x100u - ((sum - body_.back()) & 0xFFu)) & 0xFFu;
            std::snprintf(text, sizeof text, "bad checksum %02X (expected %02X)", body_.back(), expected);
            found.problem = text;
        } else {
            found.what = item::kind::message;
            found.data.assign(body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(count));
        }
    }
    out.push_back(std::move(found));
    body_.clear();
    overlong_ = false;
}

void reader::feed(const std::uint8_t* bytes, std::size_t size, std::vector<item>& out)
{
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t byte = bytes[i];
        switch (state_) {
        case state::idle:
            if (byte == dle)
                state_ = state::idle_dle;
            else
                ++junk_;
            break;
        case state::idle_dle:
            state_ = state::idle;
            if (byte == stx) {
                flushJunk(out);
                body_.clear();
                overlong_ = false;
                state_ = state::body;
            } else if (byte == ack || byte == nak) {
                flushJunk(out);
                out.push_back({byte == ack ? item::kind::ack_received : item::kind::nak_received, {}, {}});
            } else {
                junk_ += 2;
            }
            break;
        case state::body:
            if (byte == dle) {
                state_ = state::body_dle;
            } else if (body_.size() < maxData + 2) {
                body_.push_back(byte);
            } else {
                overlong_ = true;
            }
            break;
        case state::body_dle:
            state_ = state::body;
            if (byte == dle) {
                if (body_.size() < maxData + 2)
                    body_.push_back(dle);
                else
                    overlong_ = true;
            } else if (byte == etx) {
                endFrame(out);
                state_ = state::idle;
            } else if (byte == ack || byte == nak) {
                // An acknowledgement embedded in a frame being received.
                out.push_back({byte == ack ? item::kind::ack_received : item::kind::nak_received, {}, {}});
            } else if (byte == stx) {
                out.push_back({item::kind::bad_frame, {}, "a frame cut short by the start of another"});
                body_.clear();
                overlong_ = false;
            } else {
                char text[64];
                std::snprintf(text, sizeof text, "DLE followed by %02X inside a frame", byte);
                out.push_back({item::kind::bad_frame, {}, text});
                body_.clear();
                overlong_ = false;
                state_ = state::idle;
            }
            break;
        }
    }
    // Junk is told when the next frame or acknowledgement starts, so that
    // junk cut across reads is counted once.
}

namespace {

std::uint8_t matrixLevel(int matrix, int level)
{
    return static_cast<std::uint8_t>(((matrix & 0x0F) << 4) | (level & 0x0F));
}

std::uint8_t multiplier(int destination, int source, bool badSource)
{
    return static_cast<std::uint8_t>((((destination / 128) & 0x07) << 4) | (badSource ? 0x08 : 0) |
                                     ((source / 128) & 0x07));
}

std::uint8_t low7(int number) { return static_cast<std::uint8_t>(number % 128); }

}  // namespace

std::vector<std::uint8_t> interrogate(int matrix, int level, int destination)
{
    return {cmdInterrogate, matrixLevel(matrix, level), multiplier(destination, 0, false), low7(destination)};
}

std::vector<std::uint8_t> connect(int matrix, int level, int destination, int source)
{
    return {cmdConnect, matrixLevel(matrix, level), multiplier(destination, source, false), low7(destination),
            low7(source)};
}

std::vector<std::uint8_t> tallyDumpRequest(int matrix, int level)
{
    return {cmdTallyDumpRequest, matrixLevel(matrix, level)};
}

std::vector<std::uint8_t> crosspointMessage(std::uint8_t command, const crosspoint& point)
{
    return {command, matrixLevel(point.matrix, point.level),
            multiplier(point.destination, point.source, point.badSource), low7(point.destination), low7(point.source)};
}

std::vector<std::uint8_t> tallyDumpByte(int matrix, int level, int firstDestination, const std::vector<int>& sources)
{
    std::vector<std::uint8_t> data{cmdTallyDumpByte, matrixLevel(matrix, level),
                                   static_cast<std::uint8_t>(sources.size()),
                                   static_cast<std::uint8_t>(firstDestination)};
    for (int source : sources)
        data.push_back(static_cast<std::uint8_t>(source));
    return data;
}

std::vector<std::uint8_t> tallyDumpWord(int matrix, int level, int firstDestination, const std::vector<int>& sources)
{
    std::vector<std::uint8_t> data{
        cmdTallyDumpWord, matrixLevel(matrix, level), static_cast<std::uint8_t>(sources.size()),
        static_cast<std::uint8_t>(firstDestination / 256), static_cast<std::uint8_t>(firstDestination % 256)};
    for (int source : sources) {
        data.push_back(static_cast<std::uint8_t>(source / 256));
        data.push_back(static_cast<std::uint8_t>(source % 256));
    }
    return data;
}

namespace {

bool refuse(std::string* problem, const std::string& why)
{
    if (problem != nullptr)
        *problem = why;
    return false;
}

}  // namespace

bool readCrosspoint(const std::vector<std::uint8_t>& data, crosspoint& point, std::string* problem)
{
    bool withSource = !data.empty() && data[0] != cmdInterrogate;
    std::size_t size = withSource ? 5u : 4u;
    if (data.size() < size)
        return refuse(problem, "a short message " + hex(data));
    static const char* const fields[] = {"command", "matrix/level", "multiplier", "destination", "source"};
    for (std::size_t at = 2; at < size; ++at)
        if ((data[at] & 0x80) != 0) {
            char text[96];
            std::snprintf(text, sizeof text, "byte %zu (%02X, the %s) out of its range 00 to 7F", at + 1, data[at],
                          fields[at]);
            return refuse(problem, text);
        }
    point.matrix = data[1] >> 4;
    point.level = data[1] & 0x0F;
    point.destination = ((data[2] >> 4) & 0x07) * 128 + data[3];
    point.badSource = (data[2] & 0x08) != 0;
    point.source = withSource ? (data[2] & 0x07) * 128 + data[4] : 0;
    return true;
}

bool readTallyDump(const std::vector<std::uint8_t>& data, std::vector<crosspoint>& points, std::string* problem)
{
    points.clear();
    if (data.size() < 3)
        return refuse(problem, "a tally dump of " + std::to_string(data.size()) + " bytes");
    bool word = data[0] == cmdTallyDumpWord;
    std::size_t count = data[2];
    std::size_t header = word ? 5 : 4;
    std::size_t each = word ? 2 : 1;
    if (count == 0)
        return refuse(problem, "a tally dump of no tally");
    if (data.size() < header || data.size() < header + count * each)
        return refuse(problem, "a tally dump shorter than its count of " + std::to_string(count));
    int first = word ? data[3] * 256 + data[4] : data[3];
    for (std::size_t i = 0; i < count; ++i) {
        crosspoint point;
        point.matrix = data[1] >> 4;
        point.level = data[1] & 0x0F;
        point.destination = first + static_cast<int>(i);
        point.source = word ? data[header + 2 * i] * 256 + data[header + 2 * i + 1] : data[header + i];
        points.push_back(point);
    }
    return true;
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char two[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(two, sizeof two, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(two);
    }
    return text;
}

}  // namespace swp08
