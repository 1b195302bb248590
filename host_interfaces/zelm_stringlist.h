// zelm_stringlist: the host system's ordered list of texts (library
// "zelm_string"). Total like zelm_string: an index outside the list reads as
// the empty text, a failed allocation leaves the list as it was.
#pragma once

#include "zelm_string.h"

class ZELM_STRING_API zelm_stringlistIterator {
public:
    explicit zelm_stringlistIterator(const zelm_string* at) noexcept : at_(at) {}
    const zelm_string& operator*() const noexcept { return *at_; }
    const zelm_string* operator->() const noexcept { return at_; }
    zelm_stringlistIterator& operator++() noexcept
    {
        ++at_;
        return *this;
    }
    bool operator!=(const zelm_stringlistIterator& other) const noexcept { return at_ != other.at_; }
    bool operator==(const zelm_stringlistIterator& other) const noexcept { return at_ == other.at_; }

private:
    const zelm_string* at_;
};

class ZELM_STRING_API zelm_stringlist {
public:
    zelm_stringlist() noexcept;
    // `text` cut at every `separator`: "1,,3" gives three entries, the middle
    // one empty; the empty text gives no entries at all.
    zelm_stringlist(const zelm_string& text, char separator) noexcept;
    zelm_stringlist(const zelm_stringlist& other) noexcept;
    zelm_stringlist(zelm_stringlist&& other) noexcept;
    ~zelm_stringlist();
    zelm_stringlist& operator=(const zelm_stringlist& other) noexcept;
    zelm_stringlist& operator=(zelm_stringlist&& other) noexcept;

    zelm_stringlist& operator<<(const zelm_string& item) noexcept;
    const zelm_string& operator[](int index) const noexcept;
    int count() const noexcept { return count_; }
    // Entries joined with `separator` between them, none after the last.
    zelm_string toString(char separator) const noexcept;

    zelm_stringlistIterator begin() const noexcept { return zelm_stringlistIterator(items_); }
    zelm_stringlistIterator end() const noexcept { return zelm_stringlistIterator(items_ + count_); }

private:
    bool grow(int needed) noexcept;
    void release() noexcept;

    zelm_string* items_;
    int count_;
    int capacity_;
};
