#include "web/page_queue.h"

namespace web {

std::size_t sizeOf(const live_message& message)
{
    std::size_t size = 0;
    for (const auto& piece : message)
        size += piece ? piece->size() : 0;
    return size;
}

bool page_queue::push(live_message message, clock::time_point now)
{
    std::size_t size = sizeOf(message);
    if (!queue_.empty() && (bytes_ + size > budget_ || now - started_ >= stallLimit))
        return false;
    bytes_ += size;
    queue_.push_back(std::move(message));
    return true;
}

void page_queue::pop()
{
    bytes_ -= sizeOf(queue_.front());
    queue_.pop_front();
}

void page_queue::clear()
{
    queue_.clear();
    bytes_ = 0;
}

}  // namespace web
