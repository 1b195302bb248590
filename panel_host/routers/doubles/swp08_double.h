// swp08_double: the SW-P-08 router double (see router_doubles.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "routers/doubles/router_double.h"

// SW-P-08 on one matrix and level: interrogate, connect, tally dump; every
// good frame is ACKed, a bad one NAKed; connected messages go to all.
class swp08_double final : public router_double {
public:
    // How a tally dump request (21) is answered: with dumps (22 or 23), with
    // one tally (03) per destination sent before the ACK, as some routers
    // and simulators do, or with the ACK alone.
    enum class dump_answer { dump, tallies, none };

    swp08_double(boost::asio::io_context& context, double_state state, int matrix = 0, int level = 0);
    void routeByOther(int output, int input) override;
    void sendDump() override;
    void floodReports(std::size_t count) override;
    // A connected message whose destination and source bytes carry the top
    // bit (86 and 8A), with a good checksum.
    void sendOutOfRange() override;
    std::string junk() const override;
    // A tally (03) of one output, unasked, to every client.
    void sendTally(int output);
    void answerDumps(dump_answer how) { dumpAnswer_ = how; }
    // The next `count` good frames are answered with NAK as if damaged.
    void nakNext(int count) { nakNext_ = count; }
    // The next frame sent carries a wrong checksum; it is sent again, right,
    // on the first NAK after it, or after 0.2 s without one (a router sends
    // again what was not acknowledged).
    void corruptNext() { corruptNext_ = true; }
    // Off: a damaged frame goes again on a NAK only, as from a router that
    // never repeats what was not acknowledged.
    void repeatUnacknowledged(bool on) { repeatUnacknowledged_ = on; }

private:
    void opened(double_session& session) override;
    void received(double_session& session, const std::uint8_t* bytes, std::size_t size) override;
    std::string framed(const std::vector<std::uint8_t>& data);
    std::string dump();
    std::string tallies();
    void message(double_session& session, const std::vector<std::uint8_t>& data, std::string& reply);
    int matrix_, level_;
    int nakNext_ = 0;
    bool corruptNext_ = false;
    void sendRepaired();
    bool repeatUnacknowledged_ = true;
    std::string repaired_;  // the damaged frame as it should have been, until sent again
    boost::asio::steady_timer repairTimer_;
    dump_answer dumpAnswer_ = dump_answer::dump;
};
