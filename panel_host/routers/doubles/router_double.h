// router_double: what the SW-P-08 and Videohub doubles share (see
// router_doubles.h): the router's state, the listener with its clients, and
// one session per client with its own outgoing queue. The protocols read
// and answer in swp08_double.h and videohub_double.h.
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
    void dropClients();                              // close every connection
    void refuse(bool refusing);                      // close the listener / listen again on the same port
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
