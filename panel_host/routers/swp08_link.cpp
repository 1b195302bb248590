#include "routers/swp08_link.h"

swp08_link::swp08_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                       int offset, link_timing timing, int matrix, int level)
    : network_link(loop, device, reports, std::move(address), offset, timing), matrix_(matrix), level_(level)
{
    setMaxWire(swp08::maxPort);
}

std::string swp08_link::describe() const
{
    return "SW-P-08 " + address_.host + ":" + std::to_string(address_.port) + " matrix " + std::to_string(matrix_) +
           " level " + std::to_string(level_);
}

std::vector<std::uint8_t> swp08_link::routeRequest(int wireSource, int wireDestination)
{
    return swp08::frame(swp08::connect(matrix_, level_, wireDestination, wireSource));
}

std::vector<std::uint8_t> swp08_link::pollRequest(int, int)
{
    return swp08::frame(swp08::tallyDumpRequest(matrix_, level_));
}

void swp08_link::received(const std::uint8_t* bytes, std::size_t size)
{
    std::vector<swp08::item> items;
    reader_.feed(bytes, size, items);
    for (const auto& found : items) {
        if (!connected())
            return;  // lost while handling an earlier item
        switch (found.what) {
        case swp08::item::kind::ack_received:
            requests().acknowledged();
            break;
        case swp08::item::kind::nak_received:
            requests().resend();
            break;
        case swp08::item::kind::junk:
            tell("SW-P-08: " + found.problem);
            break;
        case swp08::item::kind::bad_frame:
            send(swp08::nakBytes());
            tell("SW-P-08: " + found.problem + "; NAK sent");
            break;
        case swp08::item::kind::message:
            send(swp08::ackBytes());
            message(found.data);
            break;
        }
    }
}

void swp08_link::message(const std::vector<std::uint8_t>& data)
{
    std::uint8_t command = data.empty() ? 0 : data[0];
    if (command == swp08::cmdTally || command == swp08::cmdConnected) {
        swp08::crosspoint point;
        if (!swp08::readCrosspoint(data, point)) {
            tell("SW-P-08: a short message " + swp08::hex(data) + " ignored");
            return;
        }
        if (point.matrix != matrix_ || point.level != level_)
            return;  // another matrix or level of the same router
        reported(point.destination, point.source, command == swp08::cmdConnected);
        return;
    }
    if (command == swp08::cmdTallyDumpByte || command == swp08::cmdTallyDumpWord) {
        std::vector<swp08::crosspoint> points;
        if (!swp08::readTallyDump(data, points)) {
            tell("SW-P-08: a tally dump shorter than its count, ignored");
            return;
        }
        for (const auto& point : points)
            if (point.matrix == matrix_ && point.level == level_)
                reported(point.destination, point.source, false);
        return;
    }
    tell("SW-P-08: message " + std::to_string(command) + " ignored", router_reports::level::detail);
}
