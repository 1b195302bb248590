// Memory and text for the replay host, on the C runtime alone (see
// replay_host.cpp): allocation that ends the program when memory runs out,
// a growing text buffer, and texts written as panel_host's record writes
// them.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

[[noreturn]] void outOfMemory();
void* allocate(std::size_t size);
char* copyText(const char* text, std::size_t length);

// A growing text buffer; release() hands its block over.
struct text_buffer {
    char* data = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;

    text_buffer() = default;
    ~text_buffer() { std::free(data); }
    text_buffer(const text_buffer&) = delete;
    text_buffer& operator=(const text_buffer&) = delete;
    char* release()
    {
        char* block = data;
        data = nullptr;
        length = capacity = 0;
        return block;
    }

    void add(const char* text, std::size_t count)
    {
        if (length + count + 1 > capacity) {
            std::size_t wanted = capacity == 0 ? 256 : capacity * 2;
            while (wanted < length + count + 1)
                wanted *= 2;
            char* grown = static_cast<char*>(std::realloc(data, wanted));
            if (grown == nullptr)
                outOfMemory();
            data = grown;
            capacity = wanted;
        }
        std::memcpy(data + length, text, count);
        length += count;
        data[length] = '\0';
    }
    void add(const char* text) { add(text, std::strlen(text)); }
    void add(char c) { add(&c, 1); }
    const char* text() const { return data == nullptr ? "" : data; }
};

// A text as panel_host's record writes it: null, or in double quotes with
// \\ \" \n \r \t and \xHH escaped.
void addRecordText(text_buffer& out, const char* text);
