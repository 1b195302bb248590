// note_limiter: what a router link says about itself reaches the
// transcript at most `perSecond` lines a second (notes and warnings
// together, details apart); the rest of that second are counted, and the
// count is told when the second is over ("… 12345 more notes from router 31
// in the last second"). A router sending junk then costs a few lines a
// second, not a line per frame.
//
// The second starts with the first line after a quiet one; a timer on the
// loop closes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "facility/router_link.h"

class note_limiter {
public:
    note_limiter(boost::asio::io_context& context, const device_model& device, router_reports& reports, int perSecond);
    ~note_limiter();
    note_limiter(const note_limiter&) = delete;
    note_limiter& operator=(const note_limiter&) = delete;

    void tell(const std::string& text, router_reports::level how);
    // Lines left out since the start, for tests.
    std::uint64_t leftOut() const { return leftOutInAll_; }

private:
    struct budget {
        int told = 0;
        std::uint64_t leftOut = 0;
        bool warning = false;  // a warning was among those left out
    };
    void closeSecond();

    const device_model& device_;
    router_reports& reports_;
    int perSecond_;
    budget notes_, details_;
    bool open_ = false;
    std::uint64_t leftOutInAll_ = 0;
    boost::asio::steady_timer timer_;
    std::shared_ptr<bool> alive_;
};
