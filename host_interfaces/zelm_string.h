// zelm_string: the host system's text value (library "zelm_string").
//
// A byte string that always ends in NUL. Every operation is total: it never
// throws, never reads or writes outside its own storage, and a failed
// allocation leaves the empty text. Short texts live inside the object, so
// building command words and control names allocates nothing.
// Not thread-safe per object; distinct objects may be used on any thread.
#pragma once

#include "zelm_host_api.h"

class ZELM_STRING_API zelm_string {
public:
    zelm_string() noexcept;
    zelm_string(const char* text) noexcept;              // null reads as the empty text
    zelm_string(const char* text, int length) noexcept;  // first `length` bytes
    zelm_string(const zelm_string& other) noexcept;
    zelm_string(zelm_string&& other) noexcept;
    // Decimal (or other base, 2..36) text of `value`, left-padded with `fill`
    // to `width` characters. Callers pass fill 0, width 0, base 10.
    explicit zelm_string(long long value, char fill = 0, int width = 0, int base = 10) noexcept;
    explicit zelm_string(int value, char fill = 0, int width = 0, int base = 10) noexcept;
    ~zelm_string();

    zelm_string& operator=(const zelm_string& other) noexcept;
    zelm_string& operator=(zelm_string&& other) noexcept;
    zelm_string& operator=(const char* text) noexcept;
    zelm_string& operator+=(const zelm_string& other) noexcept;
    zelm_string& operator+=(const char* text) noexcept;
    zelm_string& operator+=(char c) noexcept;

    // Copy with the lowest-numbered remaining placeholder (%1 .. %99)
    // replaced; a text without placeholders comes back unchanged.
    zelm_string arg(const zelm_string& value) const noexcept;
    zelm_string arg(int value, char fill = 0, int width = 0, int base = 10) const noexcept;

    // Leading blanks, optional sign, decimal digits up to the first other
    // character; no digits gives 0; saturates at the 32-bit limits.
    int toInt() const noexcept;
    explicit operator int() const noexcept { return toInt(); }

    int length() const noexcept { return length_; }
    bool isEmpty() const noexcept { return length_ == 0; }
    const char* c_str() const noexcept { return data_; }
    operator const char*() const noexcept { return data_; }

    // `before` gets the text up to the first `separator`, `after` the rest
    // behind it. Without the separator: `before` is the whole text, `after`
    // is empty. Returns whether the separator was found.
    bool split(char separator, zelm_string& before, zelm_string& after) const noexcept;
    // Every `from` becomes `to`, in place.
    void replace(char from, char to) noexcept;

    bool operator==(const zelm_string& other) const noexcept;
    bool operator==(const char* text) const noexcept;
    bool operator==(int value) const noexcept;  // against the decimal value
    bool operator!=(const zelm_string& other) const noexcept { return !(*this == other); }
    bool operator!=(const char* text) const noexcept { return !(*this == text); }

private:
    static constexpr int inlineCapacity = 24;  // bytes, terminator included
    void assign(const char* text, int length) noexcept;
    bool append(const char* text, int length) noexcept;
    bool reserve(int length) noexcept;
    bool isInline() const noexcept { return data_ == inline_; }

    char* data_;
    int length_;
    int capacity_;  // bytes available at data_, terminator included
    char inline_[inlineCapacity];
};

ZELM_STRING_API zelm_string operator+(const zelm_string& a, const zelm_string& b) noexcept;
ZELM_STRING_API zelm_string operator+(const zelm_string& a, const char* b) noexcept;
ZELM_STRING_API zelm_string operator+(const char* a, const zelm_string& b) noexcept;
// Text on the left compares by content too, never by address.
inline bool operator==(const char* a, const zelm_string& b) noexcept { return b == a; }
inline bool operator!=(const char* a, const zelm_string& b) noexcept { return !(b == a); }
