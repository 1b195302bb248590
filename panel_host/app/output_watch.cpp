#include "app/output_watch.h"

#include <utility>

output_watch::output_watch(std::ostream& stream, std::function<void()> closed)
    : stream_(stream), inner_(stream.rdbuf()), closed_(std::move(closed))
{
    stream_.rdbuf(this);
}

output_watch::~output_watch()
{
    // What the stream still holds reaches the output before it goes back.
    inner_->pubsync();
    stream_.rdbuf(inner_);
}

output_watch::int_type output_watch::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    if (before_)
        before_();
    int_type written = inner_->sputc(traits_type::to_char_type(c));
    if (traits_type::eq_int_type(written, traits_type::eof()))
        failed();
    return written;
}

std::streamsize output_watch::xsputn(const char* text, std::streamsize size)
{
    if (size > 0 && before_)
        before_();
    std::streamsize written = inner_->sputn(text, size);
    if (written < size)
        failed();
    return written;
}

int output_watch::sync()
{
    int result = inner_->pubsync();
    if (result != 0)
        failed();
    return result;
}

void output_watch::failed()
{
    if (told_)
        return;
    told_ = true;
    if (closed_)
        closed_();
}
