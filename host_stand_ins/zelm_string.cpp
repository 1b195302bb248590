// Stand-in for the host system's string library.
#include "zelm_string.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char emptyText[1] = {0};

int boundedLength(const char* text) noexcept
{
    if (text == nullptr)
        return 0;
    size_t n = std::strlen(text);
    return n > static_cast<size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(n);
}

// Writes `value` in `base` into `out` (room for 72 bytes), padded with `fill`
// to `width`; returns the length.
int formatNumber(long long value, char fill, int width, int base, char* out) noexcept
{
    if (base < 2 || base > 36)
        base = 10;
    if (width < 0)
        width = 0;
    if (width > 64)
        width = 64;
    char digits[70];
    int n = 0;
    bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                            : static_cast<unsigned long long>(value);
    do {
        digits[n++] = "0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % static_cast<unsigned>(base)];
        magnitude /= static_cast<unsigned>(base);
    } while (magnitude != 0);
    if (negative)
        digits[n++] = '-';
    int length = 0;
    char pad = fill == 0 ? ' ' : fill;
    // A zero fill character means "no padding requested" unless a width asks for it.
    for (int i = n; i < width; ++i)
        out[length++] = pad;
    while (n > 0)
        out[length++] = digits[--n];
    out[length] = 0;
    return length;
}

}  // namespace

zelm_string::zelm_string() noexcept : data_(inline_), length_(0), capacity_(inlineCapacity) { inline_[0] = 0; }

zelm_string::zelm_string(const char* text) noexcept : zelm_string() { assign(text, boundedLength(text)); }

zelm_string::zelm_string(const char* text, int length) noexcept : zelm_string()
{
    if (text != nullptr && length > 0)
        assign(text, length);
}

zelm_string::zelm_string(const zelm_string& other) noexcept : zelm_string() { assign(other.data_, other.length_); }

zelm_string::zelm_string(zelm_string&& other) noexcept : zelm_string() { *this = static_cast<zelm_string&&>(other); }

zelm_string::zelm_string(long long value, char fill, int width, int base) noexcept : zelm_string()
{
    char text[72];
    int n = formatNumber(value, fill, width, base, text);
    assign(text, n);
}

zelm_string::zelm_string(int value, char fill, int width, int base) noexcept
    : zelm_string(static_cast<long long>(value), fill, width, base)
{
}

zelm_string::~zelm_string()
{
    if (!isInline())
        std::free(data_);
}

zelm_string& zelm_string::operator=(const zelm_string& other) noexcept
{
    if (this != &other)
        assign(other.data_, other.length_);
    return *this;
}

zelm_string& zelm_string::operator=(zelm_string&& other) noexcept
{
    if (this == &other)
        return *this;
    if (other.isInline()) {
        assign(other.data_, other.length_);
    } else {
        if (!isInline())
            std::free(data_);
        data_ = other.data_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        other.data_ = other.inline_;
        other.capacity_ = inlineCapacity;
    }
    other.length_ = 0;
    other.inline_[0] = 0;
    return *this;
}

zelm_string& zelm_string::operator=(const char* text) noexcept
{
    // `text` may point into this string's own storage.
    if (text != nullptr && text >= data_ && text < data_ + capacity_) {
        zelm_string copy(text);
        return *this = static_cast<zelm_string&&>(copy);
    }
    assign(text, boundedLength(text));
    return *this;
}

zelm_string& zelm_string::operator+=(const zelm_string& other) noexcept
{
    if (this == &other) {
        zelm_string copy(other);
        append(copy.data_, copy.length_);
    } else {
        append(other.data_, other.length_);
    }
    return *this;
}

zelm_string& zelm_string::operator+=(const char* text) noexcept
{
    if (text != nullptr && text >= data_ && text < data_ + capacity_) {
        zelm_string copy(text);
        append(copy.data_, copy.length_);
    } else {
        append(text, boundedLength(text));
    }
    return *this;
}

zelm_string& zelm_string::operator+=(char c) noexcept
{
    append(&c, 1);
    return *this;
}

bool zelm_string::reserve(int length) noexcept
{
    if (length < 0 || length >= INT_MAX)
        return false;
    if (length < capacity_)
        return true;
    long long wanted = static_cast<long long>(capacity_) * 2;
    if (wanted < length + 1LL)
        wanted = length + 1LL;
    if (wanted > INT_MAX)
        wanted = INT_MAX;
    char* grown = static_cast<char*>(isInline() ? std::malloc(static_cast<size_t>(wanted))
                                                : std::realloc(data_, static_cast<size_t>(wanted)));
    if (grown == nullptr)
        return false;
    if (isInline())
        std::memcpy(grown, inline_, static_cast<size_t>(length_) + 1);
    data_ = grown;
    capacity_ = static_cast<int>(wanted);
    return true;
}

void zelm_string::assign(const char* text, int length) noexcept
{
    length_ = 0;
    data_[0] = 0;
    append(text, length);
}

bool zelm_string::append(const char* text, int length) noexcept
{
    if (text == nullptr || length <= 0)
        return true;
    if (length > INT_MAX - 1 - length_ || !reserve(length_ + length))
        return false;
    std::memmove(data_ + length_, text, static_cast<size_t>(length));
    length_ += length;
    data_[length_] = 0;
    return true;
}

namespace {

// The placeholder number (1..99) written at text[i], or 0 if there is none;
// `width` gets its length in characters.
int placeholderAt(const char* text, int length, int i, int& width) noexcept
{
    if (i + 1 >= length || text[i] != '%' || text[i + 1] < '1' || text[i + 1] > '9')
        return 0;
    int number = text[i + 1] - '0';
    width = 2;
    if (i + 2 < length && text[i + 2] >= '0' && text[i + 2] <= '9') {
        number = number * 10 + (text[i + 2] - '0');
        width = 3;
    }
    return number;
}

}  // namespace

zelm_string zelm_string::arg(const zelm_string& value) const noexcept
{
    int lowest = 0;
    int width = 0;
    for (int i = 0; i < length_; ++i) {
        int n = placeholderAt(data_, length_, i, width);
        if (n != 0 && (lowest == 0 || n < lowest))
            lowest = n;
    }
    if (lowest == 0)
        return *this;
    // Every occurrence of that number is filled; the value itself is not
    // scanned again.
    zelm_string result;
    int copied = 0;
    for (int i = 0; i < length_;) {
        if (placeholderAt(data_, length_, i, width) == lowest) {
            result.append(data_ + copied, i - copied);
            result.append(value.data_, value.length_);
            i += width;
            copied = i;
        } else {
            ++i;
        }
    }
    result.append(data_ + copied, length_ - copied);
    return result;
}

zelm_string zelm_string::arg(int value, char fill, int width, int base) const noexcept
{
    return arg(zelm_string(value, fill, width, base));
}

int zelm_string::toInt() const noexcept
{
    const char* p = data_;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value <= 1LL + INT_MAX)
            value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool zelm_string::split(char separator, zelm_string& before, zelm_string& after) const noexcept
{
    const void* hit = std::memchr(data_, separator, static_cast<size_t>(length_));
    if (hit == nullptr) {
        zelm_string whole(*this);  // `before` or `after` may be *this
        after = zelm_string();
        before = static_cast<zelm_string&&>(whole);
        return false;
    }
    int at = static_cast<int>(static_cast<const char*>(hit) - data_);
    zelm_string head(data_, at);
    zelm_string tail(data_ + at + 1, length_ - at - 1);
    before = static_cast<zelm_string&&>(head);
    after = static_cast<zelm_string&&>(tail);
    return true;
}

void zelm_string::replace(char from, char to) noexcept
{
    for (int i = 0; i < length_; ++i)
        if (data_[i] == from)
            data_[i] = to;
    if (to == 0)
        length_ = boundedLength(data_);
}

bool zelm_string::operator==(const zelm_string& other) const noexcept
{
    return length_ == other.length_ && std::memcmp(data_, other.data_, static_cast<size_t>(length_)) == 0;
}

bool zelm_string::operator==(const char* text) const noexcept
{
    const char* t = text == nullptr ? emptyText : text;
    return std::strcmp(data_, t) == 0 && boundedLength(t) == length_;
}

bool zelm_string::operator==(int value) const noexcept { return toInt() == value; }

zelm_string operator+(const zelm_string& a, const zelm_string& b) noexcept
{
    zelm_string result(a);
    result += b;
    return result;
}

zelm_string operator+(const zelm_string& a, const char* b) noexcept
{
    zelm_string result(a);
    result += b;
    return result;
}

zelm_string operator+(const char* a, const zelm_string& b) noexcept
{
    zelm_string result(a);
    result += b;
    return result;
}
