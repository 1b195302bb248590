#include "text/c_library_utf8.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

constexpr char32_t lastCodePoint = 0x10FFFF;

std::string hexBytes(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += out.empty() ? "" : " ";
        out += text;
    }
    return out;
}

std::string codePoint(char32_t point)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(point));
    return text;
}

std::string describe(const c_reading& theirs)
{
    switch (theirs.what) {
    case c_reading::character:
        return codePoint(theirs.point) + " in " + std::to_string(theirs.length) + " bytes";
    case c_reading::ill_formed:
        return "ill-formed (-1)";
    case c_reading::incomplete:
        return "incomplete (-2)";
    }
    return "?";
}

}  // namespace

c_library_utf8::c_library_utf8() : known_(256 + 65536, -1) {}

c_library_utf8::~c_library_utf8()
{
#if !defined(_WIN32)
    if (locale_ != static_cast<locale_t>(nullptr))
        freelocale(locale_);
#endif
}

bool c_library_utf8::ready() const
{
#if !defined(_WIN32)
    return locale_ != static_cast<locale_t>(nullptr) && sizeof(wchar_t) >= 4;
#else
    return false;
#endif
}

c_reading c_library_utf8::read(std::string_view bytes) const
{
    c_reading reading;
#if !defined(_WIN32)
    if (!ready() || bytes.empty())
        return reading;
    // The locale of this thread only, and only for this call: the
    // process's own locale stays as the program set it.
    const locale_t previous = uselocale(locale_);
    std::mbstate_t state{};
    wchar_t wide = 0;
    const std::size_t length = std::mbrtowc(&wide, bytes.data(), bytes.size(), &state);
    uselocale(previous);
    if (length == static_cast<std::size_t>(-1)) {
        reading.what = c_reading::ill_formed;
    } else if (length == static_cast<std::size_t>(-2)) {
        reading.what = c_reading::incomplete;
    } else {
        reading.what = c_reading::character;
        reading.length = length == 0 ? 1 : length;
        reading.point = static_cast<char32_t>(static_cast<std::uint32_t>(wide));
    }
#endif
    return reading;
}

bool c_library_utf8::beginsSequence(std::string_view bytes) const
{
    const auto byte = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i])); };
    signed char* known = nullptr;
    if (bytes.size() == 1)
        known = &known_[byte(0)];
    else if (bytes.size() == 2)
        known = &known_[256 + byte(0) * 256 + byte(1)];
    if (known != nullptr && *known >= 0)
        return *known == 1;
    std::string work(bytes);
    const bool begins = searchCompletions(work);
    if (known != nullptr)
        *known = begins ? 1 : 0;
    return begins;
}

bool c_library_utf8::searchCompletions(std::string& bytes) const
{
    const c_reading reading = read(bytes);
    if (reading.what == c_reading::character)
        return reading.length == bytes.size() && reading.point <= lastCodePoint;
    if (reading.what == c_reading::ill_formed || bytes.size() >= 4)
        return false;
    // Still incomplete: try what may follow. The byte after the lead is
    // tried in full, since its range is where the lead's limits lie; Unicode
    // gives every later byte the range 80..BF and nothing narrower, so its
    // two ends stand for the rest.
    const bool second = bytes.size() == 1;
    for (unsigned next = 0x80; next <= 0xBF; next += second ? 1 : 0x3F) {
        bytes.push_back(static_cast<char>(next));
        const bool found = searchCompletions(bytes);
        bytes.pop_back();
        if (found)
            return true;
    }
    return false;
}

std::size_t c_library_utf8::maximalSubpart(std::string_view bytes) const
{
    std::size_t longest = 1;
    for (std::size_t length = 1; length <= 3 && length <= bytes.size(); ++length) {
        if (!beginsSequence(bytes.substr(0, length)))
            break;
        longest = length;
    }
    return longest;
}

bool sameReading(const utf8::sequence& ours, const c_reading& theirs, std::size_t subpart)
{
    const bool theirsValid = theirs.what == c_reading::character && theirs.point <= lastCodePoint;
    return ours.valid ? theirsValid && ours.point == theirs.point && ours.length == theirs.length
                      : !theirsValid && ours.point == utf8::replacement && ours.length == subpart;
}

std::string differences(const utf8::sequence& ours, const c_reading& theirs, std::size_t subpart)
{
    if (sameReading(ours, theirs, subpart))
        return std::string();
    const bool theirsValid = theirs.what == c_reading::character && theirs.point <= lastCodePoint;
    if (ours.valid || theirsValid)
        return "ours " +
               (ours.valid ? codePoint(ours.point) + " in " + std::to_string(ours.length) + " bytes"
                           : "ill-formed for " + std::to_string(ours.length) + " bytes") +
               ", the C library's " + describe(theirs);
    if (ours.point != utf8::replacement)
        return "ours ill-formed but " + codePoint(ours.point) + " instead of U+FFFD";
    return "ours ill-formed for " + std::to_string(ours.length) + " bytes, the C library's completions " +
           std::to_string(subpart) + " bytes";
}

std::string firstDifference(const c_library_utf8& library, std::string_view bytes)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const utf8::sequence ours = utf8::decode(bytes, at);
        const std::string_view rest = bytes.substr(at);
        const std::size_t subpart = ours.valid ? 0 : library.maximalSubpart(rest);
        std::string difference = differences(ours, library.read(rest), subpart);
        if (difference.empty() && ours.length == 0)
            difference = "ours took no byte";
        if (!difference.empty())
            return "at byte " + std::to_string(at) + " of " + std::to_string(bytes.size()) + " [" +
                   hexBytes(rest.substr(0, 8)) + (rest.size() > 8 ? " ...]: " : "]: ") + difference;
        at += ours.length;
    }
    return std::string();
}
