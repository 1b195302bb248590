// page_queue: what waits to be sent to one page, bounded in bytes. A page
// that does not read its stream (a tab in the background of a stuck
// browser, a client that never reads) must not make the server hold the
// state again and again for it: beyond the budget, or when the message
// being written has not gone for a while, the page is dropped; it opens its
// stream again and starts from the whole state.
//
// No Beast here: the transport writes what the queue holds; the tests fill
// it without sockets.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace web {

// One message to a page: pieces sent back to back as one WebSocket message,
// so that the whole state, built once, is shared by every page.
using live_message = std::vector<std::shared_ptr<const std::string>>;
std::size_t sizeOf(const live_message& message);

class page_queue {
public:
    using clock = std::chrono::steady_clock;
    static constexpr std::size_t defaultBudget = std::size_t{8} * 1024 * 1024;
    // A message of the whole state to a distant page may take a while; one
    // that has not gone after this is not going.
    static constexpr std::chrono::seconds stallLimit{30};

    explicit page_queue(std::size_t budget = defaultBudget) : budget_(budget) {}

    // Queues a message. False when the page is to be dropped instead: the
    // bytes waiting would pass the budget (a first message goes whatever
    // its size, as the whole state may be larger than the budget), or the
    // message being written has been on its way for stallLimit.
    bool push(live_message message, clock::time_point now);
    bool empty() const { return queue_.empty(); }
    const live_message& front() const { return queue_.front(); }
    // The front message is being written from `now`.
    void started(clock::time_point now) { started_ = now; }
    void pop();
    void clear();
    std::size_t bytes() const { return bytes_; }

private:
    std::size_t budget_;
    std::deque<live_message> queue_;
    std::size_t bytes_ = 0;
    clock::time_point started_;
};

}  // namespace web
