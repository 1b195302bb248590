#include "loop/event_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/asio/post.hpp>

namespace {

// A handler that waits in a loop of its own (a router link inside the
// panel's "RC") makes every handler run meanwhile see the loop nested, so
// that none of them enters the panel again; the outer loop's handlers do not.
TEST(EventLoop, HandlersRunInsideAWaitSeeItNested)
{
    event_loop loop;
    std::vector<std::string> seen;
    boost::asio::post(loop.context(), [&] {
        seen.push_back(std::string("outer ") + (loop.nested() ? "nested" : "free"));
        bool inner = false;
        boost::asio::post(loop.context(), [&] {
            seen.push_back(std::string("inner ") + (loop.nested() ? "nested" : "free"));
            inner = true;
        });
        EXPECT_TRUE(loop.runUntil([&] { return inner; }, std::chrono::seconds(5)));
    });
    loop.run();
    boost::asio::post(loop.context(),
                      [&] { seen.push_back(std::string("later ") + (loop.nested() ? "nested" : "free")); });
    loop.poll();
    EXPECT_EQ(seen, (std::vector<std::string>{"outer free", "inner nested", "later free"}));
}

}  // namespace
