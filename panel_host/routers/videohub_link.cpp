#include "routers/videohub_link.h"

#include <set>

namespace {

// Blocks of the protocol that a video router control has no use for.
const std::set<std::string>& ignoredBlocks()
{
    static const std::set<std::string> names = {"PROTOCOL PREAMBLE",
                                                "CONFIGURATION",
                                                "VIDEO OUTPUT LOCKS",
                                                "VIDEO INPUT STATUS",
                                                "VIDEO OUTPUT STATUS",
                                                "MONITORING OUTPUT LABELS",
                                                "VIDEO MONITORING OUTPUT ROUTING",
                                                "VIDEO MONITORING OUTPUT LOCKS",
                                                "SERIAL PORT LABELS",
                                                "SERIAL PORT ROUTING",
                                                "SERIAL PORT LOCKS",
                                                "SERIAL PORT DIRECTIONS",
                                                "SERIAL PORT STATUS",
                                                "PROCESSING UNIT ROUTING",
                                                "PROCESSING UNIT LOCKS",
                                                "FRAME LABELS",
                                                "FRAME BUFFER ROUTING",
                                                "FRAME BUFFER LOCKS",
                                                "ALARM STATUS"};
    return names;
}

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace

videohub_link::videohub_link(event_loop& loop, device_model& device, router_reports& reports, link_address address,
                             int offset, const link_timing& timing)
    : network_link(loop, device, reports, std::move(address), offset, timing), preludeTimer_(loop.context())
{
    requests().setMaxAttempts(1);
}

videohub_link::~videohub_link()
{
    alive_.reset();
    // Cancelling can only fail on a broken reactor; the handler sees
    // `alive_` gone anyway.
    try {
        preludeTimer_.cancel();
    } catch (...) {
    }
}

std::string videohub_link::describe() const
{
    return "Videohub " + address_.host + ":" + std::to_string(address_.port);
}

std::vector<std::uint8_t> videohub_link::routeRequest(int wireSource, int wireDestination)
{
    return bytesOf(videohub::formatBlock("VIDEO OUTPUT ROUTING",
                                         {std::to_string(wireDestination) + " " + std::to_string(wireSource)}));
}

std::vector<std::uint8_t> videohub_link::pollRequest(int, int)
{
    return bytesOf(videohub::formatBlock("VIDEO OUTPUT ROUTING", {}));
}

void videohub_link::connectionMade()
{
    reader_ = videohub::reader();
    preludeDone_ = false;
    // A router that never ends its opening dump must not hold the requests
    // back for ever.
    std::weak_ptr<bool> alive = alive_;
    preludeTimer_.expires_after(timing_.ack + timing_.reply);
    preludeTimer_.async_wait([this, alive](const boost::system::error_code& error) {
        if (alive.expired() || error || preludeDone_ || !connected())
            return;
        tell("no end of the opening dump in " + secondsText(timing_.ack + timing_.reply) + "; going on without it");
        endPrelude();
    });
}

void videohub_link::endPrelude()
{
    if (preludeDone_)
        return;
    preludeDone_ = true;
    preludeTimer_.cancel();
    refreshed();
    requests().trySending();
}

void videohub_link::received(const std::uint8_t* bytes, std::size_t size)
{
    std::vector<videohub::block> blocks;
    reader_.feed(reinterpret_cast<const char*>(bytes), size, blocks);
    for (const auto& found : blocks) {
        if (!connected())
            return;  // lost while handling an earlier block
        handle(found);
    }
}

void videohub_link::handle(const videohub::block& found)
{
    switch (found.what) {
    case videohub::block::kind::ack:
        requests().acknowledged();
        return;
    case videohub::block::kind::nak:
        requests().refused("the router answered NAK (the output may be locked by another client)");
        return;
    case videohub::block::kind::problem:
        tell("Videohub: " + found.problem);
        return;
    case videohub::block::kind::data:
        break;
    }
    if (found.header == "INPUT LABELS") {
        labels(found, 0);
    } else if (found.header == "OUTPUT LABELS") {
        labels(found, 1);
    } else if (found.header == "VIDEO OUTPUT ROUTING") {
        routing(found);
    } else if (found.header == "VIDEOHUB DEVICE") {
        deviceInfo(found);
    } else if (found.header == "END PRELUDE") {
        endPrelude();
    } else if (ignoredBlocks().count(found.header) == 0) {
        tell("Videohub: unknown block \"" + found.header.substr(0, 60) + "\" skipped");
    }
}

void videohub_link::labels(const videohub::block& found, int database)
{
    for (const auto& line : found.lines) {
        int index = 0;
        std::string label;
        if (!videohub::splitNumbered(line, index, label)) {
            tell("Videohub: label line \"" + line.substr(0, 60) + "\" skipped");
            continue;
        }
        if (label.size() > videohub::maxLabel) {
            tell("Videohub: label " + std::to_string(index) + " longer than " + std::to_string(videohub::maxLabel) +
                 " bytes; skipped");
            continue;
        }
        nameReported(database, index, label);
    }
}

void videohub_link::routing(const videohub::block& found)
{
    // The answer to our own request for the whole block is a poll's answer;
    // any other routing block reports changes.
    bool change = preludeDone_ && !requests().pollAnswerDue();
    for (const auto& line : found.lines) {
        int output = 0, input = 0;
        std::string rest;
        if (!videohub::splitNumbered(line, output, rest) || !videohub::splitNumbered(rest, input, rest) ||
            !rest.empty()) {
            tell("Videohub: routing line \"" + line.substr(0, 60) + "\" skipped");
            continue;
        }
        reported(output, input, change);
    }
    requests().finishPoll();
    // Older routers end their dump here, without END PRELUDE.
    endPrelude();
}

void videohub_link::deviceInfo(const videohub::block& found)
{
    // A device file without sizes takes the router's.
    int inputs = device_.sources(), outputs = device_.destinations();
    for (const auto& line : found.lines) {
        std::string rest;
        if (line == "Device present: false")
            tell("Videohub: the router says no device is present", router_reports::level::warning);
        else if (line.rfind("Video inputs: ", 0) == 0 && device_.sources() == 0)
            videohub::splitNumbered(line.substr(14), inputs, rest);
        else if (line.rfind("Video outputs: ", 0) == 0 && device_.destinations() == 0)
            videohub::splitNumbered(line.substr(15), outputs, rest);
    }
    if (device_.isRouter() && (inputs != device_.sources() || outputs != device_.destinations()))
        device_.setSize(inputs, outputs);
}
