// transcript: what panel_host prints while it runs. Each event the host
// delivers is one line, the commands it caused follow indented under it,
// and revertives delivered after it are gathered into compact lines.
// Failures are printed where they happen and kept for the summary. Every
// text from outside (scenario, installation, module) is printed through
// terminalSafe().
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "text/terminal_text.h"

// Where the transcript goes: the terminal, a page of the browser view, a
// test's string. Each piece is what a terminal shows, with ANSI colour
// sequences when colours are on; it arrives as soon as it is printed.
class transcript_sink {
public:
    virtual ~transcript_sink() = default;
    virtual void write(std::string_view text) = 0;
    virtual void flush() {}
};

// Writes to a stream (standard output, a test's ostringstream).
class stream_sink final : public transcript_sink {
public:
    explicit stream_sink(std::ostream& out) : out_(out) {}
    void write(std::string_view text) override { out_ << text; }
    void flush() override { out_.flush(); }

private:
    std::ostream& out_;
};

// Keeps what it is given without the colour sequences, until taken: the
// browser view's copy of the transcript.
class plain_text_sink final : public transcript_sink {
public:
    void write(std::string_view text) override;
    // What was written since the last take(), colours removed.
    std::string take();

private:
    std::string copy_;
    enum class escape { none, seen_escape, in_sequence } escape_ = escape::none;
};

struct transcript_style {
    int verbosity = 1;    // 0 quiet: headings, pictures, failures; 1 normal; 2 every revertive and give-back
    bool color = false;   // ANSI colours
    bool unicode = true;  // arrows, ticks and box lines; ASCII otherwise
    bool strict = false;  // warnings fail the run, so even a quiet run shows them
};

class transcript {
public:
    // Prints to `out`, and to every sink added.
    transcript(std::ostream& out, transcript_style style);
    transcript(const transcript&) = delete;
    transcript& operator=(const transcript&) = delete;

    // Sinks are told of everything printed from now on, until removed; a
    // sink outlives its time here.
    void addSink(transcript_sink& sink);
    void removeSink(transcript_sink& sink);

    const transcript_style& style() const { return style_; }

    void heading(const std::string& text);
    void event(std::int64_t now, const std::string& text, const std::string& where = std::string());
    // A command line the component sent; `answer` describes what the host
    // answered ("" for commands without an answer).
    void command(const std::string& line, const std::string& answer);
    void answer(const std::string& text);  // the component's answer to a parameter request
    // `to` names the component it went to, where several share the routers.
    void revertive(int device, int destination, int source, const std::string& to = std::string());
    void note(const std::string& text);    // shown at verbosity 1 and up
    void detail(const std::string& text);  // shown at verbosity 2 only
    void warning(const std::string& text);
    void failure(const std::string& where, const std::string& text);
    void block(const std::string& text);  // pictures, tables: printed as they are
    void flush();

    // The first `keptFailures` failure messages, for the summary; a run
    // that fails on every line of a huge scenario keeps no more.
    static constexpr std::size_t keptFailures = 20;
    const std::vector<std::string>& failures() const { return failures_; }
    std::size_t failureCount() const { return failureCount_; }
    int warnings() const { return warnings_; }

    // Styling helpers, empty when colours are off.
    std::string paint(const std::string& text, const char* code) const;

private:
    void flushRevertives();
    const char* arrow() const;
    // Hands what was printed into `out_` to every sink.
    void emit();
    // Emits when a printing call returns, whichever way it returns.
    struct emit_after {
        explicit emit_after(transcript& of) : of_(of) {}
        ~emit_after() { of_.emit(); }
        emit_after(const emit_after&) = delete;
        emit_after& operator=(const emit_after&) = delete;
        transcript& of_;
    };

    std::ostringstream out_;
    stream_sink terminal_;
    std::vector<transcript_sink*> sinks_;
    transcript_style style_;
    struct pending {
        int device, destination, source;
        std::string to;
    };
    std::vector<pending> revertives_;
    std::vector<std::string> failures_;
    std::size_t failureCount_ = 0;
    int warnings_ = 0;
};

// A sink told of what `to` prints for as long as this lives (a page's copy
// of the transcript while the server serves): removed on every way out.
class scoped_sink {
public:
    scoped_sink(transcript& to, transcript_sink& sink) : to_(to), sink_(sink) { to_.addSink(sink_); }
    ~scoped_sink() { to_.removeSink(sink_); }
    scoped_sink(const scoped_sink&) = delete;
    scoped_sink& operator=(const scoped_sink&) = delete;

private:
    transcript& to_;
    transcript_sink& sink_;
};

// ANSI colour codes used by the transcript and the pictures.
namespace ansi {
constexpr const char* dim = "2";
constexpr const char* bold = "1";
constexpr const char* red = "31";
constexpr const char* green = "32";
constexpr const char* yellow = "33";
constexpr const char* blue = "34";
constexpr const char* magenta = "35";
constexpr const char* cyan = "36";
constexpr const char* inverse = "7";
}  // namespace ansi

// "12.345s" for milliseconds.
std::string formatTime(std::int64_t milliseconds);
