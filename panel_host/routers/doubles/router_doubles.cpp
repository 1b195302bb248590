#include "routers/doubles/router_doubles.h"

#include <algorithm>

#include <boost/asio/write.hpp>

#include "facility/host_command.h"
#include "facility/ini_file.h"
#include "facility/router_model.h"
#include "routers/swp08_codec.h"
#include "routers/videohub_codec.h"

namespace asio = boost::asio;
using boost::system::error_code;

double_state double_state::ofSize(int inputs, int outputs)
{
    double_state state;
    state.inputs = inputs;
    state.outputs = outputs;
    state.routes.assign(static_cast<std::size_t>(outputs), 0);
    state.inputLabels.resize(static_cast<std::size_t>(inputs));
    state.outputLabels.resize(static_cast<std::size_t>(outputs));
    for (int i = 0; i < inputs; ++i)
        state.inputLabels[static_cast<std::size_t>(i)] = "Input " + std::to_string(i + 1);
    for (int o = 0; o < outputs; ++o)
        state.outputLabels[static_cast<std::size_t>(o)] = "Output " + std::to_string(o + 1);
    return state;
}

bool double_state::fromDeviceFile(const std::string& path, int offset, double_state& state, std::string& error)
{
    ini_file ini;
    if (!ini.load(path)) {
        error = "cannot read device file " + path;
        return false;
    }
    device_model device = device_model::fromIni(0, ini);
    if (!device.isRouter() || device.destinations() <= 0) {
        error = path + ": not a router with a destination count";
        return false;
    }
    int inputs = std::max(device.sources() + 1 - offset, 1);
    int outputs = device.destinations() + 1 - offset;
    state = ofSize(inputs, outputs);
    for (int o = 0; o < outputs; ++o) {
        auto source = device.crosspoint(o + offset);
        int input = source ? *source - offset : 0;
        state.routes[static_cast<std::size_t>(o)] = input >= 0 && input < inputs ? input : 0;
        auto name = device.name(1, o + offset);
        state.outputLabels[static_cast<std::size_t>(o)] = name ? *name : std::string();
    }
    for (int i = 0; i < inputs; ++i) {
        auto name = device.name(0, i + offset);
        state.inputLabels[static_cast<std::size_t>(i)] = name ? *name : std::string();
    }
    return true;
}

// ---------------------------------------------------------------- sessions

double_session::double_session(router_double& owner, asio::ip::tcp::socket socket, int id)
    : owner_(owner), socket_(std::move(socket)), id_(id), buffer_(4096)
{
}

void double_session::start()
{
    owner_.opened(*this);
    readMore();
}

void double_session::readMore()
{
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(buffer_), [this, self](const error_code& error, std::size_t size) {
        if (closed_)
            return;
        if (error) {
            close();
            return;
        }
        owner_.received(*this, buffer_.data(), size);
        if (!closed_)
            readMore();
    });
}

void double_session::write(const std::string& bytes)
{
    if (closed_ || bytes.empty())
        return;
    outgoing_.push_back(bytes);
    if (!writing_)
        writeNext();
}

void double_session::writeNext()
{
    if (outgoing_.empty() || closed_) {
        writing_ = false;
        return;
    }
    writing_ = true;
    auto self = shared_from_this();
    auto text = std::make_shared<std::string>(std::move(outgoing_.front()));
    outgoing_.erase(outgoing_.begin());
    asio::async_write(socket_, asio::buffer(*text), [this, self, text](const error_code& error, std::size_t) {
        if (error) {
            close();
            return;
        }
        writeNext();
    });
}

void double_session::close()
{
    if (closed_)
        return;
    closed_ = true;
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    owner_.forget(this);
}

// ---------------------------------------------------------------- the server

router_double::router_double(asio::io_context& context, double_state state)
    : context_(context), state_(std::move(state)), alive_(std::make_shared<bool>(true))
{
}

router_double::~router_double()
{
    alive_.reset();
    if (acceptor_) {
        error_code ignored;
        acceptor_->close(ignored);
    }
    auto sessions = sessions_;
    for (const auto& session : sessions)
        session->close();
}

bool router_double::listen(std::uint16_t port, std::string& error)
{
    try {
        asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
        acceptor_ = std::make_unique<asio::ip::tcp::acceptor>(context_);
        acceptor_->open(endpoint.protocol());
        acceptor_->set_option(asio::socket_base::reuse_address(true));
        acceptor_->bind(endpoint);
        acceptor_->listen();
        port_ = acceptor_->local_endpoint().port();
    } catch (const boost::system::system_error& failure) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + failure.what();
        acceptor_.reset();
        return false;
    }
    accept();
    return true;
}

void router_double::accept()
{
    std::weak_ptr<bool> alive = alive_;
    acceptor_->async_accept([this, alive](const error_code& error, asio::ip::tcp::socket socket) {
        if (alive.expired() || error || !acceptor_)
            return;
        static int nextId = 0;
        auto session = std::make_shared<double_session>(*this, std::move(socket), ++nextId);
        sessions_.insert(session);
        session->start();
        accept();
    });
}

std::size_t router_double::clients() const
{
    return sessions_.size();
}

void router_double::forget(double_session* session)
{
    for (auto at = sessions_.begin(); at != sessions_.end(); ++at)
        if (at->get() == session) {
            // Keep the session alive until its handlers have run.
            asio::post(context_, [keep = *at] { (void)keep; });
            sessions_.erase(at);
            return;
        }
}

void router_double::dropClients()
{
    auto sessions = sessions_;
    for (const auto& session : sessions)
        session->close();
}

void router_double::refuse(bool refusing)
{
    if (refusing) {
        if (acceptor_) {
            error_code ignored;
            acceptor_->close(ignored);
            acceptor_.reset();
        }
        return;
    }
    if (!acceptor_) {
        std::string error;
        listen(port_, error);
    }
}

void router_double::sendRaw(const std::string& bytes)
{
    broadcast(bytes);
}

void router_double::broadcast(const std::string& bytes)
{
    auto sessions = sessions_;
    for (const auto& session : sessions)
        session->write(bytes);
}

// ---------------------------------------------------------------- SW-P-08

swp08_double::swp08_double(asio::io_context& context, double_state state, int matrix, int level)
    : router_double(context, std::move(state)), matrix_(matrix), level_(level)
{
}

std::string swp08_double::framed(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes = swp08::frame(data);
    if (corruptNext_) {
        corruptNext_ = false;
        // The checksum is the byte before DLE ETX (never a doubled DLE here
        // for the messages we send, which is checked).
        std::uint8_t& checksum = bytes[bytes.size() - 3];
        checksum = static_cast<std::uint8_t>(checksum == 0x0F ? 0x0E : checksum ^ 0x01);
        if (checksum == swp08::dle)
            checksum = 0x11;
    }
    return std::string(bytes.begin(), bytes.end());
}

void swp08_double::opened(double_session& session)
{
    session.state = std::make_shared<swp08::reader>();
}

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
            requests_.push_back("bad frame: " + found.problem);
            if (!silent_)
                session.write(std::string{char(swp08::dle), char(swp08::nak)});
            continue;
        }
        if (found.what != swp08::item::kind::message)
            continue;  // the client's ACKs, NAKs and junk
        requests_.push_back(swp08::hex(found.data));
        if (silent_)
            continue;
        if (nakNext_ > 0) {
            --nakNext_;
            session.write(std::string{char(swp08::dle), char(swp08::nak)});
            continue;
        }
        // The ACK and the reply leave in one write: the client must take
        // them apart.
        std::string reply{char(swp08::dle), char(swp08::ack)};
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
        (data[1] & 0x0F) == level_) {
        bool small = state_.outputs <= 192 && state_.inputs <= 192;
        std::size_t chunk = small ? 128 : 64;
        for (std::size_t first = 0; first < state_.routes.size(); first += chunk) {
            std::size_t end = std::min(state_.routes.size(), first + chunk);
            std::vector<int> sources(state_.routes.begin() + static_cast<std::ptrdiff_t>(first),
                                     state_.routes.begin() + static_cast<std::ptrdiff_t>(end));
            reply += framed(small ? swp08::tallyDumpByte(matrix_, level_, static_cast<int>(first), sources)
                                  : swp08::tallyDumpWord(matrix_, level_, static_cast<int>(first), sources));
        }
    }
}

// ---------------------------------------------------------------- Videohub

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
                                   "Video inputs: " + std::to_string(state_.inputs),
                                   "Video processing units: 0",
                                   "Video outputs: " + std::to_string(state_.outputs),
                                   "Video monitoring outputs: 0", "Serial ports: 0"});
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
            requests_.push_back("bad block");
            if (!silent_)
                session.write("NAK\n\n");
            continue;
        }
        requests_.push_back(found.header + (found.lines.empty() ? "" : ": " + found.lines.front()));
        if (!silent_)
            block(session, found.header, found.lines);
    }
}

void videohub_double::block(double_session& session, const std::string& header, const std::vector<std::string>& lines)
{
    auto numbered = [](const std::string& line, int& a, std::string& rest) {
        return videohub::splitNumbered(line, a, rest);
    };
    if (header == "PING") {
        session.write("ACK\n\n");
        return;
    }
    if (header == "VIDEO OUTPUT ROUTING") {
        if (lines.empty()) {
            session.write("ACK\n\n" + routingBlock(everyOutput()));
            return;
        }
        std::vector<std::pair<int, int>> routes;
        for (const auto& line : lines) {
            int output = 0, input = 0;
            std::string rest;
            if (!numbered(line, output, rest) || !numbered(rest, input, rest) || !rest.empty() ||
                !validRoute(output, input)) {
                session.write("NAK\n\n");
                return;
            }
            int holder = locks_[static_cast<std::size_t>(output)];
            if (holder != 0 && holder != session.id()) {
                session.write("NAK\n\n");
                return;
            }
            routes.emplace_back(output, input);
        }
        session.write("ACK\n\n");
        std::vector<int> outputs;
        for (const auto& route : routes) {
            state_.routes[static_cast<std::size_t>(route.first)] = route.second;
            outputs.push_back(route.first);
        }
        broadcast(routingBlock(outputs));
        return;
    }
    if (header == "INPUT LABELS" || header == "OUTPUT LABELS") {
        int database = header == "INPUT LABELS" ? 0 : 1;
        auto& labels = database == 0 ? state_.inputLabels : state_.outputLabels;
        if (lines.empty()) {
            std::vector<int> all(labels.size());
            for (std::size_t i = 0; i < all.size(); ++i)
                all[i] = static_cast<int>(i);
            session.write("ACK\n\n" + labelBlock(database, all));
            return;
        }
        std::vector<int> changed;
        for (const auto& line : lines) {
            int index = 0;
            std::string label;
            if (!numbered(line, index, label) || index < 0 || index >= static_cast<int>(labels.size())) {
                session.write("NAK\n\n");
                return;
            }
            labels[static_cast<std::size_t>(index)] = label;
            changed.push_back(index);
        }
        session.write("ACK\n\n");
        broadcast(labelBlock(database, changed));
        return;
    }
    if (header == "VIDEO OUTPUT LOCKS") {
        if (lines.empty()) {
            session.write("ACK\n\n" + lockBlock(session, everyOutput()));
            return;
        }
        std::vector<int> changed;
        for (const auto& line : lines) {
            int output = 0;
            std::string how;
            if (!numbered(line, output, how) || output < 0 || output >= state_.outputs ||
                (how != "O" && how != "U" && how != "F")) {
                session.write("NAK\n\n");
                return;
            }
            int& holder = locks_[static_cast<std::size_t>(output)];
            if (how == "O" && holder != 0 && holder != session.id()) {
                session.write("NAK\n\n");
                return;
            }
            holder = how == "O" ? session.id() : (how == "U" && holder != session.id() && holder != 0) ? holder : 0;
            changed.push_back(output);
        }
        session.write("ACK\n\n");
        for (const auto& other : sessions_)
            other->write(lockBlock(*other, changed));
        return;
    }
    session.write("NAK\n\n");
}
