#include "transcript.h"

#include <cstdio>
#include <sstream>

std::string formatTime(std::int64_t milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03llds", static_cast<long long>(milliseconds / 1000),
                  static_cast<long long>(milliseconds % 1000));
    return text;
}

std::size_t displayWidth(const std::string& text)
{
    std::size_t width = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++width;
    return width;
}

std::string fitWidth(const std::string& text, std::size_t width, bool unicode)
{
    std::size_t have = displayWidth(text);
    if (have <= width)
        return text + std::string(width - have, ' ');
    if (width == 0)
        return std::string();
    // Keep width-1 characters, then the cut mark.
    std::string cut;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) {
            if (kept == width - 1)
                break;
            ++kept;
        }
        cut += text[i];
    }
    cut += unicode ? "…" : "~";
    return cut;
}

transcript::transcript(std::ostream& out, transcript_style style) : out_(out), style_(style) {}

std::string transcript::paint(const std::string& text, const char* code) const
{
    if (!style_.color)
        return text;
    return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
}

const char* transcript::arrow() const { return style_.unicode ? "→" : "->"; }

void transcript::heading(const std::string& text)
{
    flushRevertives();
    std::string rule = style_.unicode ? "──" : "--";
    std::string line = rule + " " + text + " ";
    std::size_t width = displayWidth(line);
    while (width < 78) {
        line += style_.unicode ? "─" : "-";
        ++width;
    }
    out_ << '\n' << paint(line, ansi::bold) << '\n';
}

void transcript::event(std::int64_t now, const std::string& text, const std::string& where)
{
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    std::string time = formatTime(now);
    std::string line = std::string(10 - std::min<std::size_t>(10, time.size()), ' ') + time + " " +
                       (style_.unicode ? "▶ " : "> ") + text;
    out_ << paint(line.substr(0, 11), ansi::dim) << paint(line.substr(11), ansi::bold);
    if (!where.empty() && style_.verbosity >= 2)
        out_ << "   " << paint("(" + where + ")", ansi::dim);
    out_ << '\n';
}

void transcript::command(const std::string& line, const std::string& answer)
{
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    out_ << "            " << paint(arrow(), ansi::cyan) << ' ' << line;
    if (!answer.empty())
        out_ << "   " << paint(std::string(style_.unicode ? "⇐ " : "<= ") + answer, ansi::green);
    out_ << '\n';
}

void transcript::answer(const std::string& text)
{
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        out_ << "            " << paint(first ? (style_.unicode ? "⇐ answer " : "<= answer ") : "          ", ansi::green)
             << paint(line, ansi::green) << '\n';
        first = false;
    }
}

void transcript::revertive(int device, int destination, int source, const std::string& to)
{
    if (style_.verbosity < 1)
        return;
    if (style_.verbosity >= 2) {
        flushRevertives();
        out_ << "            " << paint(std::string(style_.unicode ? "⇠ " : "<- ") + "revertive", ansi::magenta)
             << " device " << device << (to.empty() ? std::string() : " to " + to) << ": destination "
             << destination << " carries source " << source << '\n';
        return;
    }
    if (!revertives_.empty() && (revertives_.back().device != device || revertives_.back().to != to))
        flushRevertives();
    revertives_.push_back({device, destination, source, to});
}

void transcript::flushRevertives()
{
    if (revertives_.empty())
        return;
    // One line per device: "⇠ revertives from 31: 1←4 2←2 …" with at most
    // twelve pairs shown.
    const std::size_t shown = 12;
    std::ostringstream line;
    line << (style_.unicode ? "⇠ " : "<- ") << (revertives_.size() == 1 ? "revertive" : "revertives") << " from "
         << revertives_.front().device
         << (revertives_.front().to.empty() ? std::string() : " to " + revertives_.front().to) << ":";
    std::string pairs;
    for (std::size_t i = 0; i < revertives_.size() && i < shown; ++i)
        pairs += " " + std::to_string(revertives_[i].destination) + (style_.unicode ? "←" : "<") +
                 std::to_string(revertives_[i].source);
    if (revertives_.size() > shown)
        pairs += " … " + std::to_string(revertives_.size() - shown) + " more (" +
                 std::to_string(revertives_.size()) + " in all)";
    out_ << "            " << paint(line.str(), ansi::magenta) << pairs << '\n';
    revertives_.clear();
}

void transcript::note(const std::string& text)
{
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    out_ << "            " << paint(std::string(style_.unicode ? "· " : ". ") + text, ansi::dim) << '\n';
}

void transcript::detail(const std::string& text)
{
    if (style_.verbosity < 2)
        return;
    flushRevertives();
    out_ << "            " << paint(std::string(style_.unicode ? "· " : ". ") + text, ansi::dim) << '\n';
}

void transcript::warning(const std::string& text)
{
    flushRevertives();
    ++warnings_;
    out_ << "            " << paint("warning: " + text, ansi::yellow) << '\n';
}

void transcript::failure(const std::string& where, const std::string& text)
{
    flushRevertives();
    std::string message = where.empty() ? text : where + ": " + text;
    failures_.push_back(message);
    out_ << paint(std::string(style_.unicode ? "✘ " : "FAILED ") + message, ansi::red) << '\n';
}

void transcript::block(const std::string& text)
{
    flushRevertives();
    out_ << text;
    if (!text.empty() && text.back() != '\n')
        out_ << '\n';
}

void transcript::flush()
{
    flushRevertives();
    out_.flush();
}
