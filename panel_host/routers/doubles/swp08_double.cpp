#include "routers/doubles/swp08_double.h"

#include <algorithm>

#include "routers/swp08_codec.h"

namespace asio = boost::asio;

swp08_double::swp08_double(asio::io_context& context, double_state state, int matrix, int level)
    : router_double(context, std::move(state)), matrix_(matrix), level_(level), repairTimer_(context)
{
}

void swp08_double::sendRepaired()
{
    repairTimer_.cancel();
    if (!repaired_.empty())
        broadcast(repaired_);
    repaired_.clear();
}

std::string swp08_double::framed(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes = swp08::frame(data);
    if (corruptNext_) {
        corruptNext_ = false;
        repaired_.assign(bytes.begin(), bytes.end());
        // A router sends again what its peer did not acknowledge: the peer
        // may NAK (below) or, rate-limited, say nothing.
        if (repeatUnacknowledged_) {
            repairTimer_.expires_after(std::chrono::milliseconds(200));
            repairTimer_.async_wait([this](const boost::system::error_code& error) {
                if (!error)
                    sendRepaired();
            });
        }
        // The checksum is the byte before DLE ETX (never a doubled DLE here
        // for the messages we send, which is checked).
        std::uint8_t& checksum = bytes[bytes.size() - 3];
        checksum = static_cast<std::uint8_t>(checksum == 0x0F ? 0x0E : checksum ^ 0x01);
        if (checksum == swp08::dle)
            checksum = 0x11;
    }
    return std::string(bytes.begin(), bytes.end());
}

void swp08_double::opened(double_session& session) { session.state = std::make_shared<swp08::reader>(); }

void swp08_double::routeByOther(int output, int input)
{
    if (!validRoute(output, input))
        return;
    state_.routes[static_cast<std::size_t>(output)] = input;
    broadcast(framed(swp08::crosspointMessage(swp08::cmdConnected, {matrix_, level_, output, input, false})));
}

void swp08_double::received(double_session& session, const std::uint8_t* bytes, std::size_t size)
{
    auto& reader = *std::static_pointer_cast<swp08::reader>(session.state);
    std::vector<swp08::item> items;
    reader.feed(bytes, size, items);
    for (const auto& found : items) {
        if (found.what == swp08::item::kind::bad_frame) {
            logRequest("bad frame: " + found.problem);
            if (!silent_)
                session.write(std::string{char(swp08::dle), char(swp08::nak)});
            continue;
        }
        if (found.what == swp08::item::kind::nak_received) {
            logRequest("NAK");
            // The frame damaged on command goes again, right, as a router
            // sends again what its peer NAKed.
            sendRepaired();
        }
        if (found.what != swp08::item::kind::message)
            continue;  // the client's ACKs, NAKs and junk
        logRequest(swp08::hex(found.data));
        if (silent_)
            continue;
        if (nakNext_ > 0) {
            --nakNext_;
            session.write(std::string{char(swp08::dle), char(swp08::nak)});
            continue;
        }
        // The ACK and the reply leave in one write: the client must take
        // them apart. Tallies for a dump go before the ACK.
        std::string reply{char(swp08::dle), char(swp08::ack)};
        if (found.data[0] == swp08::cmdTallyDumpRequest && dumpAnswer_ == dump_answer::tallies)
            reply.insert(0, tallies());
        else
            message(session, found.data, reply);
        session.write(reply);
    }
}

void swp08_double::message(double_session& session, const std::vector<std::uint8_t>& data, std::string& reply)
{
    std::uint8_t command = data[0];
    if (command == swp08::cmdInterrogate || command == swp08::cmdConnect) {
        swp08::crosspoint point;
        if (!swp08::readCrosspoint(data, point) || point.matrix != matrix_ || point.level != level_ ||
            point.destination >= state_.outputs)
            return;
        if (command == swp08::cmdInterrogate) {
            point.source = state_.routes[static_cast<std::size_t>(point.destination)];
            reply += framed(swp08::crosspointMessage(swp08::cmdTally, point));
            return;
        }
        if (!validRoute(point.destination, point.source))
            return;
        state_.routes[static_cast<std::size_t>(point.destination)] = point.source;
        clientRouted(point.destination, point.source);
        // The connected message goes to every client; to the one that asked
        // right behind its ACK.
        std::string connected = framed(swp08::crosspointMessage(swp08::cmdConnected, point));
        reply += connected;
        for (const auto& other : sessions_)
            if (other.get() != &session)
                other->write(connected);
        return;
    }
    if (command == swp08::cmdTallyDumpRequest && data.size() >= 2 && (data[1] >> 4) == matrix_ &&
        (data[1] & 0x0F) == level_ && dumpAnswer_ == dump_answer::dump)
        reply += dump();
}

std::string swp08_double::dump()
{
    bool compact = state_.outputs <= 192 && state_.inputs <= 192;
    std::size_t chunk = compact ? 128 : 64;
    std::string frames;
    for (std::size_t first = 0; first < state_.routes.size(); first += chunk) {
        std::size_t end = std::min(state_.routes.size(), first + chunk);
        std::vector<int> sources(state_.routes.begin() + static_cast<std::ptrdiff_t>(first),
                                 state_.routes.begin() + static_cast<std::ptrdiff_t>(end));
        frames += framed(compact ? swp08::tallyDumpByte(matrix_, level_, static_cast<int>(first), sources)
                                 : swp08::tallyDumpWord(matrix_, level_, static_cast<int>(first), sources));
    }
    return frames;
}

std::string swp08_double::tallies()
{
    std::string frames;
    for (int output = 0; output < state_.outputs; ++output)
        frames += framed(swp08::crosspointMessage(
            swp08::cmdTally, {matrix_, level_, output, state_.routes[static_cast<std::size_t>(output)], false}));
    return frames;
}

void swp08_double::sendDump() { broadcast(dump()); }

void swp08_double::sendTally(int output)
{
    if (output < 0 || output >= state_.outputs)
        return;
    broadcast(framed(swp08::crosspointMessage(
        swp08::cmdTally, {matrix_, level_, output, state_.routes[static_cast<std::size_t>(output)], false})));
}

void swp08_double::floodReports(std::size_t count)
{
    if (state_.outputs == 0 || state_.inputs == 0)
        return;
    flood(count, [this](std::size_t i) {
        int input = static_cast<int>(i % static_cast<std::size_t>(state_.inputs));
        state_.routes[0] = input;
        std::vector<std::uint8_t> bytes =
            swp08::frame(swp08::crosspointMessage(swp08::cmdConnected, {matrix_, level_, 0, input, false}));
        return std::string(bytes.begin(), bytes.end());
    });
}

void swp08_double::sendOutOfRange()
{
    auto matrixLevel = static_cast<std::uint8_t>((matrix_ << 4) | level_);
    std::vector<std::uint8_t> data{swp08::cmdConnected, matrixLevel, 0x00, 0x86, 0x8A};
    // And a word dump of destinations 65535 and 65536, past any router.
    std::vector<std::uint8_t> beyondLimit{swp08::cmdTallyDumpWord, matrixLevel, 2, 0xFF, 0xFF, 0, 1, 0, 1};
    broadcast(framed(data) + framed(beyondLimit));
}

std::string swp08_double::junk() const
{
    std::vector<std::uint8_t> frame = swp08::frame({swp08::cmdConnected, 0, 0, 0, 0});
    frame[frame.size() - 3] ^= 0x01;  // the checksum (never a DLE here)
    return "junk" + std::string(frame.begin(), frame.end());
}
