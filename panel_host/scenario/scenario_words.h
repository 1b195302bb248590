// scenario_words: the words of a scenario line. Splitting a line into
// words, reading numbers and times, taking lines off a text, and
// line_reader, through which a verb's reader takes the words of its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Blanks between words: space, tab, and the '\r' of a "\r\n" line end.
bool isBlank(char c);
// `text` without blanks at either end.
std::string_view trimBlanks(std::string_view text);

// Splits one scenario line into words: blanks separate, double quotes group
// (with \" and \\), '#' at the start of a word ends the line. False, with
// `error` set, for an unterminated quote.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error);

// A whole number in the 32-bit range, '+' allowed in front. False for
// anything else.
bool readInteger(std::string_view text, std::int64_t& out);

// "250", "250ms", "3s", "1.5s" -> milliseconds. False for anything else or a
// negative time.
bool readTime(std::string_view text, std::int64_t& milliseconds);
// The longest time one line may wait, schedule ("after") or delay
// revertives by: a day. It keeps the virtual clock far from overflowing.
constexpr std::int64_t longestTime = 24LL * 3600 * 1000;

// The line starting at `at` (without its '\n'), with `at` moved past it;
// false at the end of the text.
bool nextLine(std::string_view text, std::size_t& at, std::string_view& line);

// A component name: a letter, then letters, digits, '_' or '-'.
bool isComponentName(std::string_view name);

// The words of one line as a verb's reader takes them. Every read returns
// false, with the message set, when the line is not well formed; messages
// about the line's form end in "(usage: ...)" with the usage its verb's
// table entry gives.
class line_reader {
public:
    // `raw` is the line as written, for a line that takes its rest verbatim.
    line_reader(const std::vector<std::string>& words, std::string_view raw, std::string& message)
        : words_(words), raw_(raw), message_(message)
    {
    }

    std::size_t count() const { return words_.size(); }
    const std::string& word(std::size_t i) const { return words_[i]; }
    const std::vector<std::string>& words() const { return words_; }
    std::string_view raw() const { return raw_; }
    std::string& message() { return message_; }

    // The usage messages end in; null for a line whose messages give none.
    void usage(const char* text) { usage_ = text == nullptr ? std::string() : std::string("usage: ") + text; }

    // The word at i as a number; `what` names it in messages.
    bool number(std::size_t i, const char* what, std::int64_t& out);
    bool nonNegative(std::size_t i, const char* what, std::int64_t& out);
    // "25" or "25%", from 0 to 100.
    bool percent(std::size_t i, std::int64_t& out);
    // A time (see readTime), at most longestTime.
    bool time(std::size_t i, std::int64_t& out);
    bool text(std::size_t i, const char* what, std::string& out);
    // No word past the first n.
    bool atMost(std::size_t n);
    // An optional "on PANEL" at word i, then nothing more.
    bool panel(std::size_t i, std::string& panel);

    // Fails with `what` and the usage.
    bool fail(const std::string& what);
    // Fails with `message` as it is.
    bool refuse(const std::string& message);

    // The line's step waits for a block of lines ended by "end".
    void openBlock() { block_ = true; }
    bool blockOpened() const { return block_; }

private:
    const std::vector<std::string>& words_;
    std::string_view raw_;
    std::string& message_;
    std::string usage_;
    bool block_ = false;
};
