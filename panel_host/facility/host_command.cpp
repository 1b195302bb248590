#include "facility/host_command.h"

#include <charconv>

namespace {

struct command_shape {
    const char* word;
    int minArgs;
    int maxArgs;
    int quoted;    // number of quoted arguments the command has at most
    int freeText;  // which quoted argument takes surplus pieces (0-based)
};

// Argument counts include bare and quoted arguments alike.
const command_shape shapes[] = {
    {"PS", 2, 3, 3, 1},                      // panel, file [, extra]: a file name may hold "' '"
    {"HN", 1, 1, 1, 0},                      // notice
    {"TP", 3, 3, 3, 0},                      // text or property=value, panel, control
    {"TG", 3, 3, 3, 2},                      // panel, control, property
    {"CE", 2, 2, 2, 1},                      // panel, control
    {"CD", 2, 2, 2, 1}, {"XI", 2, 2, 2, 1},  // panel, prefix
    {"ET", 1, 2, 0, 0},                      // id [interval]
    {"RC", 5, 5, 1, 0},                      // device source destination ',extra' flag
    {"RN", 3, 3, 0, 0},                      // device database index
    {"RP", 3, 3, 0, 0},                      // device first last
    {"RR", 3, 4, 1, 0},                      // device first last ['ADD']
    {"RU", 1, 1, 0, 0},                      // device
    {"AS", 0, 0, 0, 0},                      // closing notice
};

const command_shape* shapeOf(std::string_view word)
{
    for (const auto& shape : shapes)
        if (word == shape.word)
            return &shape;
    return nullptr;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits bare words at blanks and appends them to `out`.
void appendBareWords(std::string_view text, std::vector<std::string>& out)
{
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at]))
            ++at;
        std::size_t start = at;
        while (at < text.size() && !isBlank(text[at]))
            ++at;
        if (at > start)
            out.emplace_back(text.substr(start, at - start));
    }
}

// The quoted run of a command with a fixed number of texts: those before
// the free text are cut from the left, those after it from the right, and
// the free text keeps whatever lies between, "' '" included.
std::vector<std::string> cutFixedTexts(std::string_view quoted, const command_shape& shape)
{
    std::vector<std::string> before, after;
    std::size_t from = 0, to = quoted.size();
    bool ranOut = false;
    for (int i = 0; i < shape.freeText && !ranOut; ++i) {
        std::size_t cut = quoted.find("' '", from);
        if (cut == std::string_view::npos || cut + 3 > to) {
            ranOut = true;
            break;
        }
        before.emplace_back(quoted.substr(from, cut - from));
        from = cut + 3;
    }
    for (int i = shape.freeText + 1; i < shape.quoted && !ranOut; ++i) {
        std::size_t cut = to >= 3 ? quoted.rfind("' '", to - 3) : std::string_view::npos;
        if (cut == std::string_view::npos || cut < from)
            break;  // the free text keeps what is left
        after.insert(after.begin(), std::string(quoted.substr(cut + 3, to - cut - 3)));
        to = cut;
    }
    std::vector<std::string> pieces = std::move(before);
    pieces.emplace_back(quoted.substr(from, to - from));
    for (auto& piece : after)
        pieces.push_back(std::move(piece));
    return pieces;
}

// The quoted run of a command whose number of texts varies: cut at every
// "' '", then the surplus put back into the free text.
std::vector<std::string> cutTexts(std::string_view quoted, const command_shape& shape)
{
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        std::size_t cut = quoted.find("' '", from);
        if (cut == std::string_view::npos) {
            pieces.emplace_back(quoted.substr(from));
            break;
        }
        pieces.emplace_back(quoted.substr(from, cut - from));
        from = cut + 3;
    }
    // More pieces than the command has texts: the surplus came from
    // "' '" inside the free text, so it goes back there.
    int wanted = shape.quoted;
    while (wanted > 0 && static_cast<int>(pieces.size()) > wanted) {
        auto free = pieces.begin() + shape.freeText;
        *free += "' '";
        *free += *(free + 1);
        pieces.erase(free + 1);
    }
    return pieces;
}

// The arguments after the command word, bare and quoted, into `result`;
// false, with the error there, when the quoted run is not closed.
bool readArgs(std::string_view rest, const command_shape& shape, host_command& result)
{
    std::size_t firstQuote = rest.find('\'');
    if (firstQuote == std::string_view::npos) {
        appendBareWords(rest, result.args);
        return true;
    }
    std::size_t lastQuote = rest.rfind('\'');
    if (lastQuote == firstQuote) {
        result.error = "unterminated quoted argument";
        return false;
    }
    appendBareWords(rest.substr(0, firstQuote), result.args);
    std::string_view quoted = rest.substr(firstQuote + 1, lastQuote - firstQuote - 1);
    std::vector<std::string> pieces = shape.minArgs == shape.maxArgs && shape.quoted > 0 ? cutFixedTexts(quoted, shape)
                                                                                         : cutTexts(quoted, shape);
    for (auto& piece : pieces)
        result.args.push_back(std::move(piece));
    appendBareWords(rest.substr(lastQuote + 1), result.args);
    return true;
}

}  // namespace

bool readInt32(std::string_view text, int& out)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+')
        ++first;
    int value = 0;
    auto [end, failure] = std::from_chars(first, last, value);
    if (failure != std::errc() || end != last)
        return false;
    out = value;
    return true;
}

host_command parseHostCommand(std::string_view line)
{
    host_command result;
    while (!line.empty() && (isBlank(line.back()) || line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    std::size_t wordEnd = at;
    while (wordEnd < line.size() && !isBlank(line[wordEnd]))
        ++wordEnd;
    result.word = std::string(line.substr(at, wordEnd - at));
    if (result.word.empty()) {
        result.error = "empty command line";
        return result;
    }
    const command_shape* shape = shapeOf(result.word);
    if (shape == nullptr) {
        result.error = "unknown command \"" + result.word + "\"";
        return result;
    }
    if (!readArgs(line.substr(wordEnd), *shape, result))
        return result;
    int count = static_cast<int>(result.args.size());
    if (count < shape->minArgs || count > shape->maxArgs) {
        result.error = result.word + " takes ";
        result.error += shape->minArgs == shape->maxArgs
                            ? std::to_string(shape->minArgs)
                            : std::to_string(shape->minArgs) + " to " + std::to_string(shape->maxArgs);
        result.error += " arguments, got " + std::to_string(count);
    }
    return result;
}
