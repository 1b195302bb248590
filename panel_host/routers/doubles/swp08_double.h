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
