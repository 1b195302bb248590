#include "text/transcript.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

std::string formatTime(std::int64_t milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03llds", static_cast<long long>(milliseconds / 1000),
                  static_cast<long long>(milliseconds % 1000));
    return text;
}

void plain_text_sink::write(std::string_view text)
{
    // Colour sequences are ESC '[' parameters and one final letter.
    for (char c : text)
        switch (escape_) {
        case escape::none:
            if (c == '\x1b')
                escape_ = escape::seen_escape;
            else
                copy_ += c;
            break;
        case escape::seen_escape:
            escape_ = c == '[' ? escape::in_sequence : escape::none;
            break;
        case escape::in_sequence:
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                escape_ = escape::none;
            break;
        }
}

std::string plain_text_sink::take()
{
    std::string taken;
    taken.swap(copy_);
    return taken;
}

transcript::transcript(std::ostream& out, transcript_style style) : terminal_(out), style_(style)
{
    sinks_.push_back(&terminal_);
}

void transcript::addSink(transcript_sink& sink) { sinks_.push_back(&sink); }

void transcript::removeSink(transcript_sink& sink)
{
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), &sink), sinks_.end());
}

void transcript::emit()
{
    std::string text = out_.str();
    if (text.empty())
        return;
    out_.str(std::string());
    for (transcript_sink* sink : sinks_)
        sink->write(text);
}

std::string transcript::paint(const std::string& text, const char* code) const
{
    if (!style_.color)
        return text;
    return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
}

const char* transcript::arrow() const { return style_.unicode ? "→" : "->"; }

void transcript::heading(const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    std::string rule = style_.unicode ? "──" : "--";
    std::string line = rule + " " + terminalSafe(text) + " ";
    std::size_t width = displayWidth(line);
    while (width < 78) {
        line += style_.unicode ? "─" : "-";
        ++width;
    }
    out_ << '\n' << paint(line, ansi::bold) << '\n';
}

void transcript::event(std::int64_t now, const std::string& text, const std::string& where)
{
    const emit_after guard(*this);
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    std::string time = formatTime(now);
    std::string line = std::string(10 - std::min<std::size_t>(10, time.size()), ' ') + time + " " +
                       (style_.unicode ? "▶ " : "> ") + terminalSafe(text);
    out_ << paint(line.substr(0, 11), ansi::dim) << paint(line.substr(11), ansi::bold);
    if (!where.empty() && style_.verbosity >= 2)
        out_ << "   " << paint("(" + terminalSafe(where) + ")", ansi::dim);
    out_ << '\n';
}

void transcript::command(const std::string& line, const std::string& answer)
{
    const emit_after guard(*this);
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    out_ << "            " << paint(arrow(), ansi::cyan) << ' ' << terminalSafe(line);
    if (!answer.empty())
        out_ << "   " << paint(std::string(style_.unicode ? "⇐ " : "<= ") + terminalSafe(answer), ansi::green);
    out_ << '\n';
}

void transcript::answer(const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        out_ << "            "
             << paint(first ? (style_.unicode ? "⇐ answer " : "<= answer ") : "          ", ansi::green)
             << paint(terminalSafe(line), ansi::green) << '\n';
        first = false;
    }
}

void transcript::revertive(int device, int destination, int source, const std::string& to)
{
    const emit_after guard(*this);
    if (style_.verbosity < 1)
        return;
    if (style_.verbosity >= 2) {
        flushRevertives();
        out_ << "            " << paint(std::string(style_.unicode ? "⇠ " : "<- ") + "revertive", ansi::magenta)
             << " device " << device << (to.empty() ? std::string() : " to " + to) << ": destination " << destination
             << " carries source " << source << '\n';
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
        pairs += " … " + std::to_string(revertives_.size() - shown) + " more (" + std::to_string(revertives_.size()) +
                 " in all)";
    out_ << "            " << paint(line.str(), ansi::magenta) << pairs << '\n';
    revertives_.clear();
}

void transcript::note(const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    if (style_.verbosity < 1)
        return;
    out_ << "            " << paint(std::string(style_.unicode ? "· " : ". ") + terminalSafe(text), ansi::dim) << '\n';
}

void transcript::detail(const std::string& text)
{
    const emit_after guard(*this);
    if (style_.verbosity < 2)
        return;
    flushRevertives();
    out_ << "            " << paint(std::string(style_.unicode ? "· " : ". ") + terminalSafe(text), ansi::dim) << '\n';
}

void transcript::warning(const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    ++warnings_;
    // Quiet runs hide warnings, unless warnings fail the run.
    if (style_.verbosity < 1 && !style_.strict)
        return;
    out_ << "            " << paint("warning: " + terminalSafe(text), ansi::yellow) << '\n';
}

void transcript::failure(const std::string& where, const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    // A failure may span lines (a difference of command lines).
    std::string message = terminalSafe(where.empty() ? text : where + ": " + text, true);
    ++failureCount_;
    if (failures_.size() < keptFailures)
        failures_.push_back(message);
    out_ << paint(std::string(style_.unicode ? "✘ " : "FAILED ") + message, ansi::red) << '\n';
}

void transcript::block(const std::string& text)
{
    const emit_after guard(*this);
    flushRevertives();
    out_ << text;
    if (!text.empty() && text.back() != '\n')
        out_ << '\n';
}

void transcript::flush()
{
    flushRevertives();
    emit();
    for (transcript_sink* sink : sinks_)
        sink->flush();
}
