// The fuzzers' view of their input: a stream of bytes read front to back.
// Reading past the end gives zeros and empty texts, so every input, however
// short, decodes into some well-formed sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class fuzz_input {
public:
    fuzz_input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    bool flag() { return (byte() & 1) != 0; }

    std::uint32_t u32()
    {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8)
            value |= static_cast<std::uint32_t>(byte()) << shift;
        return value;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // A length byte (cut to `maxLength`), then that many bytes. NULs stay:
    // a C string of it simply ends early.
    std::string text(std::size_t maxLength = 64)
    {
        std::size_t length = byte();
        if (length > maxLength)
            length = maxLength;
        std::string out;
        while (length-- > 0 && !empty())
            out += static_cast<char>(byte());
        return out;
    }

    // Everything not read yet.
    std::string rest()
    {
        std::string out(reinterpret_cast<const char*>(data_ + (at_ < size_ ? at_ : size_)),
                        size_ - (at_ < size_ ? at_ : size_));
        at_ = size_;
        return out;
    }

    template <typename T, std::size_t N>
    const T& pick(const T (&options)[N])
    {
        return options[byte() % N];
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};
