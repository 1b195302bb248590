// The connection on its own against a bare listener on loopback: the
// retries while no one listens, the bytes both ways, a loss, a drop by the
// link, and the count of retries starting afresh after each connection.
#include <gtest/gtest.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "loop/event_loop.h"
#include "routers/tcp_connection.h"

namespace {

using namespace std::chrono_literals;
namespace asio = boost::asio;

struct connection_log : connection_events {
    std::vector<std::string> lines;
    std::string bytes;
    void connectionOpened() override { lines.emplace_back("opened"); }
    void bytesReceived(const std::uint8_t* data, std::size_t size) override { bytes.append(data, data + size); }
    void connectionBroken(const std::string& why, bool wasConnected, std::chrono::milliseconds next) override
    {
        // Why a connection was refused is the system's wording; what the
        // link itself gives is kept.
        lines.push_back(std::string(wasConnected ? "lost: " + why : "failed") + "; next in " + secondsText(next));
    }
};

class TcpConnection : public ::testing::Test {
protected:
    TcpConnection() : acceptor(loop.context())
    {
        // A port no one listens on, for now.
        listen(0);
        port = acceptor.local_endpoint().port();
        acceptor.close();
    }
    void listen(std::uint16_t on)
    {
        asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), on);
        acceptor.open(endpoint.protocol());
        acceptor.set_option(asio::socket_base::reuse_address(true));
        acceptor.bind(endpoint);
        acceptor.listen();
    }
    // The next client, accepted on the loop.
    std::unique_ptr<asio::ip::tcp::socket> accept()
    {
        std::unique_ptr<asio::ip::tcp::socket> server;
        acceptor.async_accept([&](const boost::system::error_code& error, asio::ip::tcp::socket socket) {
            if (!error)
                server = std::make_unique<asio::ip::tcp::socket>(std::move(socket));
        });
        EXPECT_TRUE(loop.runUntil([&] { return server && log.lines.size() > seen; }, 10000ms));
        return server;
    }
    bool runUntilLines(std::size_t count)
    {
        bool reached = loop.runUntil([&] { return log.lines.size() >= count; }, 10000ms);
        seen = log.lines.size();
        return reached;
    }
    link_timing timing() const
    {
        link_timing quick;
        quick.firstRetry = 20ms;
        quick.longestRetry = 80ms;
        return quick;
    }

    event_loop loop;
    asio::ip::tcp::acceptor acceptor;
    std::uint16_t port = 0;
    connection_log log;
    std::size_t seen = 0;
};

TEST_F(TcpConnection, RetriesConnectsCarriesBytesAndIsLostAndDropped)
{
    tcp_connection connection(loop.context(), link_address{"127.0.0.1", port}, timing(), log);
    connection.open();
    ASSERT_TRUE(runUntilLines(4)) << ::testing::PrintToString(log.lines);
    EXPECT_TRUE(connection.firstAttemptOver());
    connection.send({'l', 'o', 's', 't'});  // not connected: goes nowhere

    listen(port);
    auto server = accept();
    ASSERT_TRUE(server);
    ASSERT_TRUE(runUntilLines(5)) << ::testing::PrintToString(log.lines);
    ASSERT_TRUE(connection.connected());
    connection.send({'R', 'C', ' '});
    connection.send({'1', '\n'});
    std::string heard(5, '\0');
    std::size_t got = 0;
    asio::async_read(*server, asio::buffer(&heard[0], heard.size()),
                     [&](const boost::system::error_code&, std::size_t size) { got = size; });
    asio::write(*server, asio::buffer(std::string("tally")));
    ASSERT_TRUE(loop.runUntil([&] { return got == 5 && log.bytes == "tally"; }, 10000ms));
    EXPECT_EQ(heard, "RC 1\n");

    server->close();
    ASSERT_TRUE(runUntilLines(6)) << ::testing::PrintToString(log.lines);
    EXPECT_FALSE(connection.connected());
    server = accept();
    ASSERT_TRUE(runUntilLines(7)) << ::testing::PrintToString(log.lines);
    connection.drop("no ACK to 6 requests");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"failed; next in 0.02 s", "failed; next in 0.04 s",
                                                   "failed; next in 0.08 s", "failed; next in 0.08 s", "opened",
                                                   "lost: the router closed the connection; next in 0.02 s", "opened",
                                                   "lost: no ACK to 6 requests; next in 0.02 s"}));
}

// A peer that reads nothing: what waits to be sent stays within the bound,
// and past it the connection is dropped with the reason and tried again.
TEST_F(TcpConnection, KeepsWhatWaitsToBeSentWithinItsBound)
{
    link_timing bounded = timing();
    bounded.maxOutgoing = 64 * 1024;
    bounded.sendBuffer = 4096;
    tcp_connection connection(loop.context(), link_address{"127.0.0.1", port}, bounded, log);
    listen(port);
    connection.open();
    auto server = accept();
    ASSERT_TRUE(server);
    ASSERT_TRUE(connection.connected());
    asio::socket_base::receive_buffer_size tinyWindow(2048);
    server->set_option(tinyWindow);
    std::vector<std::uint8_t> chunk(1000, 'x');
    for (int i = 0; i < 100000 && connection.connected(); ++i) {
        connection.send(chunk);
        loop.poll();
    }
    ASSERT_TRUE(runUntilLines(2)) << ::testing::PrintToString(log.lines);
    EXPECT_EQ(log.lines[1], "lost: more than 64 KiB waiting to be sent: the router reads too slowly; next in 0.02 s");
    EXPECT_LE(connection.mostOutgoing(), 64u * 1024u);
    EXPECT_GT(connection.mostOutgoing(), 60u * 1024u);
    EXPECT_EQ(connection.outgoingBytes(), 0u);
}

}  // namespace
