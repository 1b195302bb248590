// Stand-in for the host system's string list.
#include "zelm_stringlist.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
const zelm_string& emptyItem() noexcept
{
    static const zelm_string empty;
    return empty;
}
}  // namespace

zelm_stringlist::zelm_stringlist() noexcept : items_(nullptr), count_(0), capacity_(0) {}

zelm_stringlist::zelm_stringlist(const zelm_string& text, char separator) noexcept : zelm_stringlist()
{
    if (text.isEmpty())
        return;
    const char* start = text.c_str();
    const char* end = start + text.length();
    for (const char* p = start;; ++p) {
        if (p == end || *p == separator) {
            *this << zelm_string(start, static_cast<int>(p - start));
            if (p == end)
                break;
            start = p + 1;
        }
    }
}

zelm_stringlist::zelm_stringlist(const zelm_stringlist& other) noexcept : zelm_stringlist() { *this = other; }

zelm_stringlist::zelm_stringlist(zelm_stringlist&& other) noexcept
    : items_(other.items_), count_(other.count_), capacity_(other.capacity_)
{
    other.items_ = nullptr;
    other.count_ = 0;
    other.capacity_ = 0;
}

zelm_stringlist::~zelm_stringlist() { release(); }

void zelm_stringlist::release() noexcept
{
    for (int i = 0; i < count_; ++i)
        items_[i].~zelm_string();
    std::free(items_);
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

zelm_stringlist& zelm_stringlist::operator=(const zelm_stringlist& other) noexcept
{
    if (this == &other)
        return *this;
    release();
    if (grow(other.count_))
        for (int i = 0; i < other.count_; ++i)
            *this << other.items_[i];
    return *this;
}

zelm_stringlist& zelm_stringlist::operator=(zelm_stringlist&& other) noexcept
{
    if (this != &other) {
        release();
        items_ = other.items_;
        count_ = other.count_;
        capacity_ = other.capacity_;
        other.items_ = nullptr;
        other.count_ = 0;
        other.capacity_ = 0;
    }
    return *this;
}

bool zelm_stringlist::grow(int needed) noexcept
{
    if (needed <= capacity_)
        return true;
    if (needed > INT_MAX / 2 / static_cast<int>(sizeof(zelm_string)))
        return false;
    int wanted = capacity_ < 4 ? 4 : capacity_ * 2;
    if (wanted < needed)
        wanted = needed;
    auto* grown = static_cast<zelm_string*>(std::malloc(sizeof(zelm_string) * static_cast<size_t>(wanted)));
    if (grown == nullptr)
        return false;
    // zelm_string may point into itself, so entries are moved, not memcpy'd.
    for (int i = 0; i < count_; ++i) {
        new (&grown[i]) zelm_string(static_cast<zelm_string&&>(items_[i]));
        items_[i].~zelm_string();
    }
    std::free(items_);
    items_ = grown;
    capacity_ = wanted;
    return true;
}

zelm_stringlist& zelm_stringlist::operator<<(const zelm_string& item) noexcept
{
    if (count_ < INT_MAX && grow(count_ + 1)) {
        new (&items_[count_]) zelm_string(item);
        ++count_;
    }
    return *this;
}

const zelm_string& zelm_stringlist::operator[](int index) const noexcept
{
    if (index < 0 || index >= count_)
        return emptyItem();
    return items_[index];
}

zelm_string zelm_stringlist::toString(char separator) const noexcept
{
    zelm_string joined;
    for (int i = 0; i < count_; ++i) {
        if (i > 0)
            joined += separator;
        joined += items_[i];
    }
    return joined;
}
