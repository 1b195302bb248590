#include "routers/videohub_codec.h"

namespace videohub {

void reader::feed(const char* text, std::size_t size, std::vector<block>& out)
{
    for (std::size_t i = 0; i < size; ++i) {
        char c = text[i];
        if (c == '\n') {
            endLine(out);
            continue;
        }
        if (line_.size() < maxLine)
            line_ += c;
        else
            overlong_ = true;
    }
}

void reader::endLine(std::vector<block>& out)
{
    std::string line;
    line.swap(line_);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (overlong_) {
        overlong_ = false;
        out.push_back({block::kind::problem,
                       {},
                       {},
                       "a line longer than " + std::to_string(maxLine) + " characters; its rest was skipped"});
    }
    if (!inBlock_) {
        if (line.empty())
            return;  // blank lines between blocks
        current_ = block();
        tooManyLines_ = false;
        blockBytes_ = 0;
        inBlock_ = true;
        if (line == "ACK" || line == "NAK") {
            current_.what = line == "ACK" ? block::kind::ack : block::kind::nak;
        } else if (line.back() == ':') {
            current_.header = line.substr(0, line.size() - 1);
        } else {
            // Not a header: the block is read to its blank line and reported.
            current_.what = block::kind::problem;
            current_.problem = "a block starting with \"" + line.substr(0, 60) + "\", which is no header";
        }
        return;
    }
    if (!line.empty()) {
        if (current_.lines.size() < maxLines && blockBytes_ + line.size() <= maxBlockBytes) {
            blockBytes_ += line.size();
            current_.lines.push_back(std::move(line));
        } else {
            tooManyLines_ = true;
        }
        return;
    }
    inBlock_ = false;
    if (tooManyLines_)
        out.push_back({block::kind::problem,
                       {},
                       {},
                       "block " + current_.header + " held more than " + std::to_string(maxLines) + " lines or " +
                           std::to_string(maxBlockBytes) + " bytes; the rest were skipped"});
    out.push_back(std::move(current_));
    current_ = block();
}

std::string formatBlock(const std::string& header, const std::vector<std::string>& lines)
{
    std::string text = header + ":\n";
    for (const auto& line : lines)
        text += line + "\n";
    return text + "\n";
}

bool splitNumbered(const std::string& line, int& number, std::string& rest)
{
    std::size_t digits = 0;
    long value = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
        value = value * 10 + (line[digits] - '0');
        if (value > 1000000)
            return false;
        ++digits;
    }
    if (digits == 0)
        return false;
    if (digits == line.size()) {
        number = static_cast<int>(value);
        rest.clear();
        return true;
    }
    if (line[digits] != ' ')
        return false;
    number = static_cast<int>(value);
    rest = line.substr(digits + 1);
    return true;
}

}  // namespace videohub
