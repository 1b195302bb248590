#include "scenario/scenario_words.h"

#include <charconv>
#include <limits>

#include "text/terminal_text.h"

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

namespace {

// Reads a quoted word from the '"' at `at` into `word`, `at` moved past the
// closing quote. False when the quote is not closed.
bool readQuoted(std::string_view line, std::size_t& at, std::string& word)
{
    ++at;
    while (at < line.size()) {
        char c = line[at++];
        if (c == '"')
            return true;
        if (c == '\\' && at < line.size() && (line[at] == '"' || line[at] == '\\'))
            c = line[at++];
        word += c;
    }
    return false;
}

}  // namespace

bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        if (at >= line.size() || line[at] == '#')
            break;
        std::string word;
        bool quoted = false;
        while (at < line.size() && !isBlank(line[at])) {
            if (line[at] != '"') {
                word += line[at++];
                continue;
            }
            quoted = true;
            if (!readQuoted(line, at, word)) {
                error = "unterminated \"quoted text\"";
                return false;
            }
        }
        if (!word.empty() || quoted)
            words.push_back(std::move(word));
    }
    return true;
}

bool readInteger(std::string_view text, std::int64_t& out)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+')
        ++first;
    std::int64_t value = 0;
    auto [end, failure] = std::from_chars(first, last, value);
    if (failure != std::errc() || end != last)
        return false;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return false;
    out = value;
    return true;
}

bool readTime(std::string_view text, std::int64_t& milliseconds)
{
    std::int64_t scale = 1;
    if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
        text.remove_suffix(2);
    } else if (text.size() > 1 && text.back() == 's') {
        text.remove_suffix(1);
        scale = 1000;
    }
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::int64_t value = 0;
    if (!readInteger(whole, value) || value < 0 || whole.front() == '+' || whole.front() == '-')
        return false;
    std::int64_t fraction = 0;
    if (dot != std::string_view::npos) {
        // Fractions only of seconds, and at most to the millisecond.
        std::string_view digits = text.substr(dot + 1);
        if (scale != 1000 || digits.empty() || digits.size() > 3)
            return false;
        std::int64_t part = 0;
        if (!readInteger(digits, part) || digits.front() == '+' || digits.front() == '-')
            return false;
        for (std::size_t i = digits.size(); i < 3; ++i)
            part *= 10;
        fraction = part;
    }
    milliseconds = value * scale + fraction;
    return true;
}

bool nextLine(std::string_view text, std::size_t& at, std::string_view& line)
{
    if (at >= text.size())
        return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos)
        end = text.size();
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
}

bool isComponentName(std::string_view name)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (name.empty() || !letter(name.front()))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '-')
            return false;
    return true;
}

bool line_reader::number(std::size_t i, const char* what, std::int64_t& out)
{
    if (i >= words_.size())
        return fail(std::string("missing ") + what);
    if (!readInteger(words_[i], out))
        return fail("\"" + shortened(words_[i]) + "\" is not a number: " + what + " expected");
    return true;
}

bool line_reader::nonNegative(std::size_t i, const char* what, std::int64_t& out)
{
    if (!number(i, what, out))
        return false;
    if (out < 0)
        return fail(std::string(what) + " must not be negative");
    return true;
}

bool line_reader::percent(std::size_t i, std::int64_t& out)
{
    std::string text = i < words_.size() ? words_[i] : std::string();
    if (!text.empty() && text.back() == '%')
        text.pop_back();
    if (!readInteger(text, out) || out < 0 || out > 100)
        return fail("\"" + shortened(i < words_.size() ? words_[i] : std::string()) +
                    "\" is not a percentage from 0 to 100");
    return true;
}

bool line_reader::time(std::size_t i, std::int64_t& out)
{
    if (i >= words_.size())
        return fail("missing time");
    if (!readTime(words_[i], out))
        return fail("\"" + shortened(words_[i]) + "\" is not a time such as 500, 500ms or 2s");
    if (out > longestTime)
        return fail("\"" + words_[i] + "\" is longer than a line may wait, schedule or delay: at most " +
                    std::to_string(longestTime / 1000) + "s");
    return true;
}

bool line_reader::text(std::size_t i, const char* what, std::string& out)
{
    if (i >= words_.size())
        return fail(std::string("missing ") + what);
    out = words_[i];
    return true;
}

bool line_reader::atMost(std::size_t n)
{
    if (words_.size() > n)
        return fail("unexpected \"" + shortened(words_[n]) + "\"");
    return true;
}

bool line_reader::panel(std::size_t i, std::string& panel)
{
    if (i >= words_.size())
        return true;
    if (words_[i] != "on")
        return atMost(i);
    return text(i + 1, "panel", panel) && atMost(i + 2);
}

bool line_reader::fail(const std::string& what) { return refuse(what + " (" + usage_ + ")"); }

bool line_reader::refuse(const std::string& message)
{
    message_ = message;
    return false;
}
