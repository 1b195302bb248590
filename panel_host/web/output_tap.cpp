#include "output_tap.h"

output_tap::output_tap(std::ostream& stream) : stream_(stream), original_(stream.rdbuf())
{
    stream_.flush();
    stream_.rdbuf(this);
}

output_tap::~output_tap()
{
    stream_.rdbuf(original_);
}

std::string output_tap::take()
{
    std::string taken;
    taken.swap(copy_);
    return taken;
}

void output_tap::keep(char c)
{
    // Colour sequences are ESC '[' parameters and one final letter.
    switch (escape_) {
    case escape::none:
        if (c == '\x1b')
            escape_ = escape::seen_escape;
        else
            copy_ += c;
        return;
    case escape::seen_escape:
        escape_ = c == '[' ? escape::in_sequence : escape::none;
        return;
    case escape::in_sequence:
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            escape_ = escape::none;
        return;
    }
}

output_tap::int_type output_tap::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    keep(traits_type::to_char_type(c));
    return original_->sputc(traits_type::to_char_type(c));
}

std::streamsize output_tap::xsputn(const char* text, std::streamsize count)
{
    for (std::streamsize i = 0; i < count; ++i)
        keep(text[i]);
    return original_->sputn(text, count);
}

int output_tap::sync()
{
    return original_->pubsync();
}
