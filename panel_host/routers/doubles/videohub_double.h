// videohub_double: the Videohub router double (see router_doubles.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "routers/doubles/router_double.h"

// The Videohub protocol: the opening dump, routing, labels, locks, PING;
// unknown blocks are NAKed.
class videohub_double final : public router_double {
public:
    videohub_double(boost::asio::io_context& context, double_state state);
    void routeByOther(int output, int input) override;
    void sendDump() override;
    void floodReports(std::size_t count) override;
    // A label and a route far beyond 65,536, and a label longer than any
    // router's.
    void sendOutOfRange() override;
    std::string junk() const override { return "junk without a header\n\n"; }
    // A label changes on the router (database 0 inputs, 1 outputs).
    void relabel(int database, int index, const std::string& label);
    // `count` changes of input 1's label ("Flood 1", "Flood 2", ...).
    void floodLabels(std::size_t count);
    // Another client locks an output.
    void lockByOther(int output);

private:
    void opened(double_session& session) override;
    void received(double_session& session, const std::uint8_t* bytes, std::size_t size) override;
    // A block from a client: answered with ACK and carried out, or NAKed.
    void block(double_session& session, const std::string& header, const std::vector<std::string>& lines);
    void routingRequest(double_session& session, const std::vector<std::string>& lines);
    void labelsRequest(double_session& session, int database, const std::vector<std::string>& lines);
    void locksRequest(double_session& session, const std::vector<std::string>& lines);
    // Another client, or another controller, holds the output.
    bool lockedAgainst(const double_session& session, int output) const;
    std::string routingBlock(const std::vector<int>& outputs) const;
    std::string labelBlock(int database, const std::vector<int>& indices) const;
    std::string lockBlock(const double_session& session, const std::vector<int>& outputs) const;
    std::vector<int> everyOutput() const;
    std::vector<int> locks_;  // per output: the client id that holds it, 0 none, -1 another controller
};
