#include "routers/swp08_link.h"

#include <algorithm>

swp08_link::swp08_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                       int offset, const link_timing& timing, int matrix, int level)
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
            badFrame(found.problem);
            break;
        case swp08::item::kind::message:
            send(swp08::ackBytes());
            message(found.data);
            break;
        }
    }
}

// A peer sending nothing but damaged frames must not get a NAK for each:
// the NAKs would fill the line back to it.
void swp08_link::badFrame(const std::string& problem)
{
    auto now = std::chrono::steady_clock::now();
    if (now - nakSecond_ >= std::chrono::seconds(1)) {
        nakSecond_ = now;
        naksThisSecond_ = 0;
    }
    if (naksThisSecond_ < timing_.naksPerSecond) {
        ++naksThisSecond_;
        send(swp08::nakBytes());
        tell("SW-P-08: " + problem + "; NAK sent");
        return;
    }
    tell("SW-P-08: " + problem + "; no NAK (" + std::to_string(timing_.naksPerSecond) + " sent this second)");
}

void swp08_link::message(const std::vector<std::uint8_t>& data)
{
    std::uint8_t command = data.empty() ? 0 : data[0];
    if (command == swp08::cmdTally || command == swp08::cmdConnected) {
        swp08::crosspoint point;
        std::string problem;
        if (!swp08::readCrosspoint(data, point, &problem)) {
            tell("SW-P-08: message " + std::to_string(command) + " refused: " + problem);
            return;
        }
        if (point.matrix != matrix_ || point.level != level_)
            return;  // another matrix or level of the same router
        reported(point.destination, point.source, command == swp08::cmdConnected);
        return;
    }
    if (command == swp08::cmdTallyDumpByte || command == swp08::cmdTallyDumpWord) {
        tallyDump(data);
        return;
    }
    tell("SW-P-08: message " + std::to_string(command) + " ignored", router_reports::level::detail);
}

void swp08_link::tallyDump(const std::vector<std::uint8_t>& data)
{
    std::vector<swp08::crosspoint> points;
    std::string problem;
    if (!swp08::readTallyDump(data, points, &problem)) {
        tell("SW-P-08: " + problem + ", refused");
        return;
    }
    for (const auto& point : points)
        if (point.matrix == matrix_ && point.level == level_)
            reported(point.destination, point.source, false);
}

void swp08_link::beginRefresh()
{
    toInterrogate_.clear();
    int first = 0, last = 0;
    wireRange(first, last);
    // A router of unknown size: the dump is all there is to ask for.
    requests().addPoll(
        swp08::frame(swp08::tallyDumpRequest(matrix_, level_)), first, std::max(first, last),
        [this](const poll_result& result) { dumpEnded(result); }, true);
}

void swp08_link::dumpEnded(const poll_result& result)
{
    toInterrogate_ = unrefreshed();
    if (toInterrogate_.empty()) {
        refreshed();
        return;
    }
    std::string count = std::to_string(toInterrogate_.size());
    tell(result.refusal.empty() ? "the tally dump left " + count + " destinations out: interrogating each"
                                : "the tally dump was not answered (" + result.refusal + "): interrogating each of " +
                                      count + " destinations",
         router_reports::level::detail);
    std::reverse(toInterrogate_.begin(), toInterrogate_.end());
    interrogateNext();
}

void swp08_link::interrogateNext()
{
    if (toInterrogate_.empty()) {
        refreshed();
        return;
    }
    int destination = toInterrogate_.back();
    toInterrogate_.pop_back();
    requests().addPoll(swp08::frame(swp08::interrogate(matrix_, level_, toWire(destination))), destination, destination,
                       [this](const poll_result& result) {
                           if (result.count() == 1) {
                               interrogateNext();
                               return;
                           }
                           tell("the router answers neither the tally dump nor an interrogation" +
                                    (result.refusal.empty() ? std::string() : " (" + result.refusal + ")") + "; " +
                                    std::to_string(toInterrogate_.size() + 1) + " destinations not refreshed",
                                router_reports::level::warning);
                           toInterrogate_.clear();
                           refreshed();
                       });
}
