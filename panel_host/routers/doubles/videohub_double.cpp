#include "routers/doubles/videohub_double.h"

#include "routers/videohub_codec.h"

namespace asio = boost::asio;

videohub_double::videohub_double(asio::io_context& context, double_state state)
    : router_double(context, std::move(state)), locks_(static_cast<std::size_t>(state_.outputs), 0)
{
}

std::vector<int> videohub_double::everyOutput() const
{
    std::vector<int> all(static_cast<std::size_t>(state_.outputs));
    for (int o = 0; o < state_.outputs; ++o)
        all[static_cast<std::size_t>(o)] = o;
    return all;
}

std::string videohub_double::routingBlock(const std::vector<int>& outputs) const
{
    std::vector<std::string> lines;
    lines.reserve(outputs.size());
    for (int o : outputs)
        lines.push_back(std::to_string(o) + " " + std::to_string(state_.routes[static_cast<std::size_t>(o)]));
    return videohub::formatBlock("VIDEO OUTPUT ROUTING", lines);
}

std::string videohub_double::labelBlock(int database, const std::vector<int>& indices) const
{
    const auto& labels = database == 0 ? state_.inputLabels : state_.outputLabels;
    std::vector<std::string> lines;
    lines.reserve(indices.size());
    for (int i : indices)
        lines.push_back(std::to_string(i) + " " + labels[static_cast<std::size_t>(i)]);
    return videohub::formatBlock(database == 0 ? "INPUT LABELS" : "OUTPUT LABELS", lines);
}

std::string videohub_double::lockBlock(const double_session& session, const std::vector<int>& outputs) const
{
    std::vector<std::string> lines;
    for (int o : outputs) {
        int holder = locks_[static_cast<std::size_t>(o)];
        lines.push_back(std::to_string(o) + (holder == 0 ? " U" : holder == session.id() ? " O" : " L"));
    }
    return videohub::formatBlock("VIDEO OUTPUT LOCKS", lines);
}

void videohub_double::opened(double_session& session)
{
    session.state = std::make_shared<videohub::reader>();
    std::vector<int> inputs(static_cast<std::size_t>(state_.inputs));
    for (int i = 0; i < state_.inputs; ++i)
        inputs[static_cast<std::size_t>(i)] = i;
    std::string dump = videohub::formatBlock("PROTOCOL PREAMBLE", {"Version: 2.8"});
    dump += videohub::formatBlock("VIDEOHUB DEVICE",
                                  {"Device present: true", "Model name: Router double",
                                   "Video inputs: " + std::to_string(state_.inputs), "Video processing units: 0",
                                   "Video outputs: " + std::to_string(state_.outputs), "Video monitoring outputs: 0",
                                   "Serial ports: 0"});
    dump += labelBlock(0, inputs) + labelBlock(1, everyOutput()) + lockBlock(session, everyOutput()) +
            routingBlock(everyOutput()) + videohub::formatBlock("CONFIGURATION", {"Take Mode: false"}) +
            videohub::formatBlock("END PRELUDE", {});
    session.write(dump);
}

void videohub_double::routeByOther(int output, int input)
{
    if (!validRoute(output, input))
        return;
    state_.routes[static_cast<std::size_t>(output)] = input;
    broadcast(routingBlock({output}));
}

void videohub_double::relabel(int database, int index, const std::string& label)
{
    auto& labels = database == 0 ? state_.inputLabels : state_.outputLabels;
    if (index < 0 || index >= static_cast<int>(labels.size()))
        return;
    labels[static_cast<std::size_t>(index)] = label;
    broadcast(labelBlock(database, {index}));
}

void videohub_double::sendDump() { broadcast(routingBlock(everyOutput())); }

void videohub_double::floodReports(std::size_t count)
{
    if (state_.outputs == 0 || state_.inputs == 0)
        return;
    flood(count, [this](std::size_t i) {
        int input = static_cast<int>(i % static_cast<std::size_t>(state_.inputs));
        state_.routes[0] = input;
        return routingBlock({0});
    });
}

void videohub_double::floodLabels(std::size_t count)
{
    if (state_.inputs == 0)
        return;
    flood(count, [this](std::size_t i) {
        state_.inputLabels[0] = "Flood " + std::to_string(i + 1);
        return labelBlock(0, {0});
    });
}

void videohub_double::sendOutOfRange()
{
    broadcast(videohub::formatBlock("INPUT LABELS", {"70000 Far away", "1 " + std::string(300, 'L')}) +
              videohub::formatBlock("VIDEO OUTPUT ROUTING", {"70000 1"}));
}

void videohub_double::lockByOther(int output)
{
    if (output < 0 || output >= state_.outputs)
        return;
    locks_[static_cast<std::size_t>(output)] = -1;
    for (const auto& session : sessions_)
        session->write(lockBlock(*session, {output}));
}

void videohub_double::received(double_session& session, const std::uint8_t* bytes, std::size_t size)
{
    auto& reader = *std::static_pointer_cast<videohub::reader>(session.state);
    std::vector<videohub::block> blocks;
    reader.feed(reinterpret_cast<const char*>(bytes), size, blocks);
    for (const auto& found : blocks) {
        if (found.what != videohub::block::kind::data) {
            logRequest("bad block");
            if (!silent_)
                session.write("NAK\n\n");
            continue;
        }
        logRequest(found.header + (found.lines.empty() ? "" : ": " + found.lines.front()));
        if (!silent_)
            block(session, found.header, found.lines);
    }
}

namespace {

const char* const ack = "ACK\n\n";
const char* const nak = "NAK\n\n";

}  // namespace

void videohub_double::block(double_session& session, const std::string& header, const std::vector<std::string>& lines)
{
    if (header == "PING")
        session.write(ack);
    else if (header == "VIDEO OUTPUT ROUTING")
        routingRequest(session, lines);
    else if (header == "INPUT LABELS" || header == "OUTPUT LABELS")
        labelsRequest(session, header == "INPUT LABELS" ? 0 : 1, lines);
    else if (header == "VIDEO OUTPUT LOCKS")
        locksRequest(session, lines);
    else
        session.write(nak);
}

// Every route of the block is checked before any is made: a NAK leaves the
// routing as it was.
void videohub_double::routingRequest(double_session& session, const std::vector<std::string>& lines)
{
    if (lines.empty()) {
        session.write(ack + routingBlock(everyOutput()));
        return;
    }
    std::vector<std::pair<int, int>> routes;
    for (const auto& line : lines) {
        int output = 0, input = 0;
        std::string rest;
        if (!videohub::splitNumbered(line, output, rest) || !videohub::splitNumbered(rest, input, rest) ||
            !rest.empty() || !validRoute(output, input) || lockedAgainst(session, output)) {
            session.write(nak);
            return;
        }
        routes.emplace_back(output, input);
    }
    session.write(ack);
    std::vector<int> outputs;
    for (const auto& route : routes) {
        state_.routes[static_cast<std::size_t>(route.first)] = route.second;
        clientRouted(route.first, route.second);
        outputs.push_back(route.first);
    }
    broadcast(routingBlock(outputs));
}

// Labels are taken line by line: the lines before a bad one stay changed,
// though the NAK tells no one of them.
void videohub_double::labelsRequest(double_session& session, int database, const std::vector<std::string>& lines)
{
    auto& labels = database == 0 ? state_.inputLabels : state_.outputLabels;
    if (lines.empty()) {
        std::vector<int> all(labels.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<int>(i);
        session.write(ack + labelBlock(database, all));
        return;
    }
    std::vector<int> changed;
    for (const auto& line : lines) {
        int index = 0;
        std::string label;
        if (!videohub::splitNumbered(line, index, label) || index < 0 || index >= static_cast<int>(labels.size())) {
            session.write(nak);
            return;
        }
        labels[static_cast<std::size_t>(index)] = label;
        changed.push_back(index);
    }
    session.write(ack);
    broadcast(labelBlock(database, changed));
}

// O takes an output, U lets go of one's own, F forces it free. Like
// labels, the lines before a bad one stay taken.
void videohub_double::locksRequest(double_session& session, const std::vector<std::string>& lines)
{
    if (lines.empty()) {
        session.write(ack + lockBlock(session, everyOutput()));
        return;
    }
    std::vector<int> changed;
    for (const auto& line : lines) {
        int output = 0;
        std::string how;
        if (!videohub::splitNumbered(line, output, how) || output < 0 || output >= state_.outputs ||
            (how != "O" && how != "U" && how != "F") || (how == "O" && lockedAgainst(session, output))) {
            session.write(nak);
            return;
        }
        int& holder = locks_[static_cast<std::size_t>(output)];
        holder = how == "O" ? session.id() : (how == "U" && holder != session.id() && holder != 0) ? holder : 0;
        changed.push_back(output);
    }
    session.write(ack);
    for (const auto& other : sessions_)
        other->write(lockBlock(*other, changed));
}

bool videohub_double::lockedAgainst(const double_session& session, int output) const
{
    int holder = locks_[static_cast<std::size_t>(output)];
    return holder != 0 && holder != session.id();
}
