// The browser view's bounds: what waits for one page (a byte budget), the
// pages' copy of the transcript (bytes between two publishings, bytes a
// second to the pages), and connections at once (503 beyond). Through the
// real server on 127.0.0.1 where sockets are what is bounded.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "web/page_queue.h"
#include "web/page_transcript.h"
#include "web/web_test_client.h"

namespace {

using namespace web_test;
using web::live_message;

live_message bytes(std::size_t size) { return {std::make_shared<const std::string>(size, 'x')}; }

// The most memory this process has held, in bytes (VmHWM).
// Under AddressSanitizer (its quarantine keeps freed blocks) or valgrind
// the process's peak memory is the tool's as much as ours.
#if defined(__SANITIZE_ADDRESS__)  // GCC
#  define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer)  // clang
#    define UNDER_ADDRESS_SANITIZER 1
#  endif
#endif

bool memoryIsOurs()
{
#if defined(UNDER_ADDRESS_SANITIZER)
    return false;
#else
    return std::getenv("ZELM_UNDER_MEMCHECK") == nullptr;
#endif
}

std::size_t peakMemory()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoul(line.substr(6)) * 1024;
    return 0;
}

TEST(PageQueue, DropsAPageBeyondItsBudgetOrWhenAWriteStalls)
{
    auto now = web::page_queue::clock::now();
    web::page_queue queue(1000);
    // A first message goes whatever its size: the whole state may be larger.
    EXPECT_TRUE(queue.push(bytes(5000), now));
    queue.started(now);
    EXPECT_FALSE(queue.push(bytes(1), now));
    queue.pop();
    EXPECT_EQ(queue.bytes(), 0u);
    EXPECT_TRUE(queue.push(bytes(600), now));
    queue.started(now);
    EXPECT_TRUE(queue.push(bytes(400), now));
    EXPECT_EQ(queue.bytes(), 1000u);
    EXPECT_FALSE(queue.push(bytes(1), now));
    queue.pop();
    EXPECT_TRUE(queue.push(bytes(500), now));
    // The message being written has been on its way too long.
    EXPECT_FALSE(queue.push(bytes(1), now + web::page_queue::stallLimit));
    live_message pieces{std::make_shared<const std::string>("ab"), std::make_shared<const std::string>("cde")};
    EXPECT_EQ(web::sizeOf(pieces), 5u);
}

TEST(PageTranscript, KeepsWholeLinesWithinItsLimitAndSaysWhatWasLeftOut)
{
    web::page_transcript page(30);
    page.write("\x1b[2mfirst line\x1b[0m\n");
    page.write("second line\n");
    page.write("third line, which passes the limit\n");
    page.write("fourth\n");
    EXPECT_EQ(page.take(), "first line\nsecond line\n[\xE2\x80\xA6 42 bytes of transcript left out \xE2\x80\xA6]\n");
    page.write("after\n");
    EXPECT_EQ(page.take(), "after\n");
    EXPECT_EQ(page.take(), "");

    std::string text = "abcdefgh";
    EXPECT_EQ(web::cutToLines(text, 5), 3u);  // no line ends within: cut at the limit
    EXPECT_EQ(text, "abcde");
}

// Beyond the connections allowed at once a connection is answered 503 (not
// left waiting), and served again once others have gone.
TEST_F(Server, ConnectionsBeyondTheCapAreAnswered503)
{
    reply beyond, after;
    serveWhile(
        [&](const served& at) {
            net::io_context io;
            std::vector<tcp::socket> held;
            for (int i = 0; i < 4; ++i) {
                held.emplace_back(io);
                held.back().connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), at.port));
            }
            // The server has taken them when it answers one more request.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            beyond = ask(at.port, makeRequest(http::verb::get, "/api/state", at.port));
            for (auto& socket : held)
                socket.close();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            after = ask(at.port, makeRequest(http::verb::get, "/api/state", at.port));
        },
        [](web_settings& web) { web.maxConnections = 4; });
    EXPECT_EQ(beyond.status, 503) << beyond.body << beyond.error;
    EXPECT_NE(beyond.body.find("too many connections"), std::string::npos) << beyond.body;
    EXPECT_EQ(after.status, 200) << after.body << after.error;
    EXPECT_NE(text.str().find("panel_host: 4 connections to the browser view at once; more are answered 503"),
              std::string::npos)
        << text.str();
}

// With the clock paused, what a router reports still reaches the pages at
// once rather than piling up; a flood of it reaches them rationed, with a
// line for what was left out.
TEST_F(Server, APausedClockStillPublishesAndAFloodIsRationed)
{
    std::string heard, flood;
    std::size_t floodBytes = 0;
    bool leftOut = false;
    serveWhile([&](const served& at) {
        live_client page;
        ASSERT_EQ(page.open(at.port, "/api/live"), 101);
        ask(at.port, makeRequest(http::verb::post, "/api/clock", at.port, "pause"));
        onServer(at, [this] { out.block("router 31: a report while the clock stands"); });
        heard = page.transcriptWith("a report while the clock stands");
        // Ten megabytes of notes in one go.
        onServer(at, [this] {
            for (int i = 0; i < 100000; ++i)
                out.block("router 31: junk " + std::string(90, 'j'));
        });
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < until) {
            std::string message = page.next(std::chrono::milliseconds(500));
            if (message.rfind("{\"type\":\"transcript\"", 0) != 0)
                continue;
            floodBytes += message.size();
            leftOut = leftOut || message.find("bytes of transcript left out") != std::string::npos;
        }
    });
    EXPECT_NE(heard.find("a report while the clock stands"), std::string::npos);
    EXPECT_TRUE(leftOut);
    // Two seconds of rationing: the first second's allowance, then one a second.
    EXPECT_LE(floodBytes, 4 * web::live_feed::transcriptBytesPerSecond) << floodBytes;
    EXPECT_GT(floodBytes, web::live_feed::transcriptBytesPerSecond / 2) << floodBytes;
}

// A page that never reads is dropped once what waits for it passes its
// budget; the server goes on serving the others.
TEST_F(Server, APageThatNeverReadsIsDroppedAtItsBudget)
{
    bool dropped = false;
    std::size_t read = 0;
    reply state;
    std::size_t peakBefore = peakMemory();
    serveWhile([&](const served& at) {
        net::io_context io;
        tcp::socket stuck(io);
        stuck.open(tcp::v4());
        stuck.set_option(net::socket_base::receive_buffer_size(4096));
        stuck.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), at.port));
        std::string upgrade = "GET /api/live HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(at.port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
        net::write(stuck, net::buffer(upgrade));
        // A thousand names of 15,000 characters: the deltas carry them
        // all, far past a page's budget.
        for (int i = 0; i < 1000; ++i) {
            std::string name(15000, static_cast<char>('a' + i % 26));
            ask(at.port, makeRequest(http::verb::post, "/api/step", at.port,
                                     "rename 31 1 " + std::to_string(100 + i) + " " + name));
        }
        // Changes go out at most a second after they are made: by then all
        // of them have reached the page's queue, unread.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        // What it reads now ends where the server dropped it.
        std::vector<char> chunk(1 << 16);
        std::function<void()> readOn = [&] {
            stuck.async_read_some(net::buffer(chunk), [&](beast::error_code ec, std::size_t got) {
                read += got;
                dropped = ec == net::error::eof || ec == net::error::connection_reset;
                if (!ec)
                    readOn();
            });
        };
        readOn();
        io.run_for(std::chrono::seconds(20));
        state = ask(at.port, makeRequest(http::verb::get, "/api/state", at.port));
    });
    EXPECT_TRUE(dropped) << read << " bytes read";
    EXPECT_LT(read, std::size_t{16} * 1024 * 1024);
    EXPECT_EQ(state.status, 200);
    // Neither the page's queue nor the states built grew with the steps.
    if (memoryIsOurs()) {
        EXPECT_LT(peakMemory() - peakBefore, std::size_t{200} * 1024 * 1024);
    }
}

}  // namespace
