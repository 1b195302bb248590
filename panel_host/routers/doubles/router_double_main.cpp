// router_double: an SW-P-08 or Videohub router double on 127.0.0.1, for
// trying panel_host by hand or from a script:
//
//   router_double --swp08 --port 0 --device examples/installation/SYS/config/system/dev_031.ini
//
// prints "port N" once it listens, then serves until interrupted. Lines on
// standard input are commands (double_commands.h: "route 2 5", "restart 3",
// "flood 100000", ...); each answer, and each error, is one line on
// standard output, and "quit" ends it. The end of standard input ends
// nothing: the double serves on.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>

#include "routers/doubles/double_commands.h"
#include "routers/doubles/router_doubles.h"

namespace {

struct double_options {
    bool swp08 = false, videohub = false;
    int port = 0, offset = 1, inputs = 16, outputs = 16, matrix = 0, level = 0;
    int startLate = 0, readSlowly = 0;
    std::string device, dumpAnswer;
};

void addOptions(CLI::App& app, double_options& o)
{
    auto* s = app.add_flag("--swp08", o.swp08, "Speak SW-P-08.");
    app.add_flag("--videohub", o.videohub, "Speak the Videohub protocol.")->excludes(s);
    app.add_option("--port", o.port, "Port to listen on; 0 picks a free one.")->check(CLI::Range(0, 65535));
    app.add_option("--device", o.device, "A panel_host device file to take the size, routes and names from.");
    app.add_option("--offset", o.offset, "Panel number = wire number + offset, for --device.");
    app.add_option("--inputs", o.inputs, "Inputs without --device.")->check(CLI::Range(1, 1024));
    app.add_option("--outputs", o.outputs, "Outputs without --device.")->check(CLI::Range(1, 1024));
    app.add_option("--matrix", o.matrix, "SW-P-08 matrix.")->check(CLI::Range(0, 15));
    app.add_option("--level", o.level, "SW-P-08 level.")->check(CLI::Range(0, 15));
    app.add_option("--start-late", o.startLate, "Listen only after this many ms (the port is printed at once).")
        ->check(CLI::Range(0, 3600000));
    app.add_option("--dump-answer", o.dumpAnswer, "SW-P-08: answer a tally dump request with dump, tallies or none.")
        ->check(CLI::IsMember({"dump", "tallies", "none"}));
    app.add_option("--read-slowly", o.readSlowly, "Read at most this many bytes every 10 ms from each client.")
        ->check(CLI::Range(0, 1 << 20));
}

// Standard input on a thread of its own; each line is carried out on the
// double's loop.
void readCommands(boost::asio::io_context& context, router_double& router)
{
    std::thread([&context, &router] {
        for (std::string line; std::getline(std::cin, line);)
            boost::asio::post(context, [&context, &router, line] {
                if (line == "quit") {
                    context.stop();
                    return;
                }
                std::string answer = runDoubleCommand(router, line);
                if (!answer.empty())
                    std::cout << answer << std::endl;
            });
    }).detach();
}

int run(int argc, char** argv)
{
    CLI::App app("An SW-P-08 or Videohub router double, listening on 127.0.0.1.");
    double_options o;
    addOptions(app, o);
    CLI11_PARSE(app, argc, argv);
    if (!o.swp08 && !o.videohub) {
        std::cerr << "router_double: give --swp08 or --videohub\n";
        return 2;
    }
    double_state state = double_state::ofSize(o.inputs, o.outputs);
    std::string error;
    if (!o.device.empty() && !double_state::fromDeviceFile(o.device, o.offset, state, error)) {
        std::cerr << "router_double: " << error << '\n';
        return 2;
    }
    boost::asio::io_context context;
    std::unique_ptr<router_double> router;
    if (o.swp08)
        router = std::make_unique<swp08_double>(context, state, o.matrix, o.level);
    else
        router = std::make_unique<videohub_double>(context, state);
    if (!router->listen(static_cast<std::uint16_t>(o.port), error)) {
        std::cerr << "router_double: " << error << '\n';
        return 2;
    }
    if (o.startLate > 0)
        router->startLate(std::chrono::milliseconds(o.startLate));
    if (!o.dumpAnswer.empty())
        runDoubleCommand(*router, "dump-answer " + o.dumpAnswer);
    router->readSlowly(static_cast<std::size_t>(o.readSlowly));
    std::cout << "port " << router->port() << std::endl;
    boost::asio::signal_set signals(context, SIGINT, SIGTERM);
    signals.async_wait([&context](const boost::system::error_code&, int) { context.stop(); });
    readCommands(context, *router);
    context.run();
    // The reading thread may still wait on standard input: leave without
    // running destructors it could race with.
    std::cout.flush();
    std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "router_double: " << failure.what() << '\n';
        return 2;
    }
}
