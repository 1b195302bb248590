// router_doubles: an SW-P-08 router and a Videohub router of our own,
// written from the protocol documents, for tests and for trying panel_host
// by hand (router_double). They listen on 127.0.0.1 only, serve several
// clients at once, report every change to every client, and fail on command.
//
// Both run on a Boost.Asio io_context; tests run them on the same event loop
// as the links under test. Numbers are wire numbers (from 0).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

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
    // block's first line), for tests to look at.
    const std::vector<std::string>& requests() const { return requests_; }

    // Faults on command.
    void dropClients();              // close every connection
    void refuse(bool refusing);      // close the listener / listen again on the same port
    void silence(bool silent) { silent_ = silent; }  // read requests, answer nothing
    void sendRaw(const std::string& bytes);          // to every client, as it is

    // Another controller routes: every client hears of it.
    virtual void routeByOther(int output, int input) = 0;

protected:
    friend class double_session;
    virtual void opened(double_session& session) = 0;
    virtual void received(double_session& session, const std::uint8_t* bytes, std::size_t size) = 0;
    void broadcast(const std::string& bytes);
    void forget(double_session* session);
    bool validRoute(int output, int input) const
    {
        return output >= 0 && output < state_.outputs && input >= 0 && input < state_.inputs;
    }

    boost::asio::io_context& context_;
    double_state state_;
    bool silent_ = false;
    std::vector<std::string> requests_;
    std::set<std::shared_ptr<double_session>> sessions_;

private:
    void accept();
    std::unique_ptr<boost::asio::ip::tcp::acceptor> acceptor_;
    std::uint16_t port_ = 0;
    std::shared_ptr<bool> alive_;
};

class double_session : public std::enable_shared_from_this<double_session> {
public:
    double_session(router_double& owner, boost::asio::ip::tcp::socket socket, int id);
    void start();
    void write(const std::string& bytes);
    void close();
    int id() const { return id_; }
    // Protocol state kept per client.
    std::shared_ptr<void> state;

private:
    void readMore();
    void writeNext();
    router_double& owner_;
    boost::asio::ip::tcp::socket socket_;
    int id_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::string> outgoing_;
    bool writing_ = false;
    bool closed_ = false;
};

// SW-P-08 on one matrix and level: interrogate, connect, tally dump; every
// good frame is ACKed, a bad one NAKed; connected messages go to all.
class swp08_double final : public router_double {
public:
    swp08_double(boost::asio::io_context& context, double_state state, int matrix = 0, int level = 0);
    void routeByOther(int output, int input) override;
    // The next `count` good frames are answered with NAK as if damaged.
    void nakNext(int count) { nakNext_ = count; }
    // The next frame sent carries a wrong checksum.
    void corruptNext() { corruptNext_ = true; }

private:
    void opened(double_session& session) override;
    void received(double_session& session, const std::uint8_t* bytes, std::size_t size) override;
    std::string framed(const std::vector<std::uint8_t>& data);
    void message(double_session& session, const std::vector<std::uint8_t>& data, std::string& reply);
    int matrix_, level_;
    int nakNext_ = 0;
    bool corruptNext_ = false;
};

// The Videohub protocol: the opening dump, routing, labels, locks, PING;
// unknown blocks are NAKed.
class videohub_double final : public router_double {
public:
    videohub_double(boost::asio::io_context& context, double_state state);
    void routeByOther(int output, int input) override;
    // A label changes on the router (database 0 inputs, 1 outputs).
    void relabel(int database, int index, const std::string& label);
    // Another client locks an output.
    void lockByOther(int output);

private:
    void opened(double_session& session) override;
    void received(double_session& session, const std::uint8_t* bytes, std::size_t size) override;
    void block(double_session& session, const std::string& header, const std::vector<std::string>& lines);
    std::string routingBlock(const std::vector<int>& outputs) const;
    std::string labelBlock(int database, const std::vector<int>& indices) const;
    std::string lockBlock(const double_session& session, const std::vector<int>& outputs) const;
    std::vector<int> everyOutput() const;
    std::vector<int> locks_;  // per output: the client id that holds it, 0 none, -1 another controller
};
