// commandText: an event text cut into its parts. The host builds one for a
// button's event text; the frame builds one for each parameter text.
//
//   "a.b.c=x.y=z"  ->  command "a", subs "b" "c", value "x.y=z"
//
// command is the text before the first '.' or '='; subs are the texts after
// each '.' (at most 32: after the 32nd the rest, any '=' included, stays in
// the last one); value is everything after the first '='. Unused parts point
// at one shared empty text. The record owns `buffer`, its own copy of the
// text, in which every other pointer points.
#pragma once

#include <cstdint>

struct commandText {
    static constexpr int maxSubs = 32;

    const char* command;
    const char* subs[maxSubs];
    const char* value;
    std::int32_t subCount;
    bool hasValue;
    char* buffer;  // null for a null or empty text

    // Parses `text` (null allowed). A failed allocation reads as a null text.
    explicit commandText(const char* text) noexcept;
    ~commandText();
    commandText(const commandText&) = delete;
    commandText& operator=(const commandText&) = delete;
};
