#include "scenario/parameter_vocabulary.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "zelm_client_callback.h"
#include "zelm_host_link.h"

namespace {

// The spare component's host link: every command is answered with null,
// as a host with no panels, routers or names would; nothing is kept.
class quiet_link final : public zelm_host_link {
public:
    const char* send(const char*, std::int32_t) override { return nullptr; }
};

bool isNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.';
}

// Adds the name of each line "NAME=..." (or "NAME") of `answer`.
void addNamesOf(const char* answer, std::vector<std::string>& names)
{
    std::size_t length = 0;
    while (length < maxAnswerBytes && answer[length] != '\0')
        ++length;
    std::string_view text(answer, length);
    std::size_t at = 0;
    while (at < text.size() && names.size() < maxNames) {
        std::size_t end = text.find('\n', at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view name = line.substr(0, line.find('='));
        if (name.empty() || name.size() > maxNameLength || !std::all_of(name.begin(), name.end(), isNameCharacter))
            continue;
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.emplace_back(name);
    }
}

std::string folded(const std::string& text)
{
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Edits from a to b: insertions, deletions, changes, and swaps of two
// neighbours ("optimal string alignment").
std::size_t editsBetween(const std::string& a, const std::string& b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// How many edits still read as a slip of the keyboard, for a word this long.
std::size_t editsAllowed(std::size_t length)
{
    if (length <= 4)
        return 1;
    return length <= 8 ? 2 : 3;
}

}  // namespace

const std::vector<std::string>& hostParameterNames()
{
    static const std::vector<std::string> names = {"return", "_events", "_commands", "instance"};
    return names;
}

std::vector<std::string> askParameterNames(zelm_load_function entry, const std::string& loadData)
{
    std::vector<std::string> names;
    if (entry == nullptr)
        return names;
    quiet_link link;
    zelm_client_callback* spare = entry(&link, loadData.c_str());
    if (spare == nullptr)
        return names;
    for (const char* query : {"_commands", "return=all"}) {
        char* answer = spare->hostEvent(reinterpret_cast<std::intptr_t>(query), zelmEventParameter);
        if (answer == nullptr)
            continue;
        addNamesOf(answer, names);
        spare->hostEvent(reinterpret_cast<std::intptr_t>(answer), zelmEventRelease);
    }
    delete spare;
    return names;
}

std::string parameterNameOf(const std::string& text) { return text.substr(0, text.find('=')); }

std::string nearestName(const std::string& word, const std::vector<std::string>& known)
{
    // A word this long is no slip of the keyboard, and would cost much to compare.
    if (word.size() > maxNameLength * 2)
        return std::string();
    const std::string wanted = folded(word);
    for (const auto& name : known)
        if (folded(name) == wanted)
            return name;
    std::size_t best = editsAllowed(word.size()) + 1;
    std::string nearest;
    bool tie = false;
    for (const auto& name : known) {
        // Words far apart in length need not be compared.
        std::size_t apart = name.size() > word.size() ? name.size() - word.size() : word.size() - name.size();
        if (apart > best || name.size() > maxNameLength * 2)
            continue;
        std::size_t edits = editsBetween(wanted, folded(name));
        if (edits < best) {
            best = edits;
            nearest = name;
            tie = false;
        } else if (edits == best) {
            tie = true;
        }
    }
    return tie ? std::string() : nearest;
}
