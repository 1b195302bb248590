// router_double: what the SW-P-08 and Videohub doubles share (see
// router_doubles.h): the router's state, the listener with its clients, and
// one session per client with its own outgoing queue. The protocols read
// and answer in swp08_double.h and videohub_double.h.
//
// Every misbehaviour is a call here and a line of double_commands.h, so
// that a test in C++ and a script driving router_double can ask for the
// same.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

// What a router holds: its routes and labels.
struct double_state {
    int inputs = 0;
    int outputs = 0;
    std::vector<int> routes;  // per output, the input
    std::vector<std::string> inputLabels, outputLabels;

    static double_state ofSize(int inputs, int outputs);
    // From a panel_host device file: sizes, names and crosspoints, panel
    // number = wire number + offset. A destination the file leaves on the
    // park source (or any source without a wire number) carries input 0.
    static bool fromDeviceFile(const std::string& path, int offset, double_state& state, std::string& error);
};

class double_session;

class router_double {
public:
    router_double(boost::asio::io_context& context, double_state state);
    virtual ~router_double();
    router_double(const router_double&) = delete;
    router_double& operator=(const router_double&) = delete;

    // Listens on 127.0.0.1:port (0: any free port). False with `error`.
    bool listen(std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }

    const double_state& state() const { return state_; }
    std::size_t clients() const;
    // Requests from clients, in order, as text ("02 00 00 02 00" or a
    // block's first line), for tests to look at: the last few thousand.
    const std::deque<std::string>& requests() const { return requests_; }

    // Told of every route a client's request makes (the same source too),
    // as the double makes it: what a measurement of Take -> routed waits for.
    void watchClientRoutes(std::function<void(int output, int input)> watcher) { clientRoutes_ = std::move(watcher); }

    // Faults on command.
    void dropClients();                              // close every connection
    void refuse(bool refusing);                      // close the listener / listen again on the same port
    void silence(bool silent) { silent_ = silent; }  // read requests, answer nothing
    void sendRaw(const std::string& bytes);          // to every client, as it is
    // Not listening now; listening on the same port after `after` (the port
    // is known from listen() before).
    void startLate(std::chrono::milliseconds after);
    // Every client dropped, nobody let in for `down`, then listening again
    // with `routes` (per output, the input) as the routing.
    void restart(std::vector<int> routes, std::chrono::milliseconds down);
    // The routing changes and nobody is told.
    void setRouteQuietly(int output, int input);
    // Reads at most `bytes` every 10 ms from each client, through a small
    // receive buffer, so that what a client sends backs up (0: reads as
    // fast as it comes).
    void readSlowly(std::size_t bytes);
    // Sends `count` pieces to every client as fast as each takes them,
    // never more than 1 MiB waiting for one: a flood that costs the double
    // little. `piece(i)` makes the i-th. A flood ends early when a client
    // leaves: one that connects again is not flooded on.
    void flood(std::size_t count, std::function<std::string(std::size_t)> piece);
    // A flood is still sending.
    bool isFlooding() const { return floodsRunning_ > 0; }
    // `count` pieces of junk, each a thing the client must skip and may
    // tell of (bytes outside any frame and a damaged frame; a block without
    // a header).
    void floodJunk(std::size_t count)
    {
        flood(count, [this](std::size_t) { return junk(); });
    }

    // Another controller routes: every client hears of it.
    virtual void routeByOther(int output, int input) = 0;
    // The whole routing, unasked, to every client.
    virtual void sendDump() = 0;
    // `count` reports of routes being made (output 0 through the inputs).
    virtual void floodReports(std::size_t count) = 0;
    // Messages with numbers out of range: bytes beyond their fields, indices
    // beyond what any router has.
    virtual void sendOutOfRange() = 0;
    virtual std::string junk() const = 0;

protected:
    friend class double_session;
    virtual void opened(double_session& session) = 0;
    virtual void received(double_session& session, const std::uint8_t* bytes, std::size_t size) = 0;
    void broadcast(const std::string& bytes);
    void forget(double_session* session);
    void logRequest(std::string text);
    void clientRouted(int output, int input)
    {
        if (clientRoutes_)
            clientRoutes_(output, input);
    }
    bool validRoute(int output, int input) const
    {
        return output >= 0 && output < state_.outputs && input >= 0 && input < state_.inputs;
    }

    boost::asio::io_context& context_;
    double_state state_;
    bool silent_ = false;
    std::deque<std::string> requests_;
    std::set<std::shared_ptr<double_session>> sessions_;
    std::size_t slowBytes_ = 0;
    std::function<void(int, int)> clientRoutes_;

private:
    struct flooding;
    void floodStep(const std::shared_ptr<flooding>& flood);
    void accept();
    std::unique_ptr<boost::asio::ip::tcp::acceptor> acceptor_;
    boost::asio::steady_timer reopenTimer_;
    std::uint16_t port_ = 0;
    std::shared_ptr<bool> alive_;
    std::uint64_t sessionsLost_ = 0;  // clients gone: a flood started before one left ends
    int floodsRunning_ = 0;
};

class double_session : public std::enable_shared_from_this<double_session> {
public:
    double_session(router_double& owner, boost::asio::ip::tcp::socket socket, int id);
    void start();
    void write(const std::string& bytes);
    void close();
    int id() const { return id_; }
    // Bytes waiting to be written.
    std::size_t waiting() const { return waiting_; }
    void readSlowly(std::size_t bytes);
    // Protocol state kept per client.
    std::shared_ptr<void> state;

    // A client that reads nothing while the double writes to it is dropped
    // at this many bytes waiting.
    static constexpr std::size_t maxWaiting = std::size_t(16) << 20;

private:
    void readMore();
    void writeNext();
    router_double& owner_;
    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer pause_;
    int id_;
    std::vector<std::uint8_t> buffer_;
    std::deque<std::string> outgoing_;
    std::size_t waiting_ = 0;
    bool writing_ = false;
    bool closed_ = false;
};
