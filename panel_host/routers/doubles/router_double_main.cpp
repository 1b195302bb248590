// router_double: an SW-P-08 or Videohub router double on 127.0.0.1, for
// trying panel_host by hand or from a script:
//
//   router_double --swp08 --port 0 --device examples/installation/SYS/config/system/dev_031.ini
//
// prints "port N" once it listens, then serves until interrupted.
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include "routers/doubles/router_doubles.h"

namespace {

int run(int argc, char** argv)
{
    CLI::App app("An SW-P-08 or Videohub router double, listening on 127.0.0.1.");
    bool swp08 = false, videohub = false;
    int port = 0, offset = 1, inputs = 16, outputs = 16, matrix = 0, level = 0;
    std::string device;
    auto* s = app.add_flag("--swp08", swp08, "Speak SW-P-08.");
    app.add_flag("--videohub", videohub, "Speak the Videohub protocol.")->excludes(s);
    app.add_option("--port", port, "Port to listen on; 0 picks a free one.")->check(CLI::Range(0, 65535));
    app.add_option("--device", device, "A panel_host device file to take the size, routes and names from.");
    app.add_option("--offset", offset, "Panel number = wire number + offset, for --device.");
    app.add_option("--inputs", inputs, "Inputs without --device.")->check(CLI::Range(1, 1024));
    app.add_option("--outputs", outputs, "Outputs without --device.")->check(CLI::Range(1, 1024));
    app.add_option("--matrix", matrix, "SW-P-08 matrix.")->check(CLI::Range(0, 15));
    app.add_option("--level", level, "SW-P-08 level.")->check(CLI::Range(0, 15));
    CLI11_PARSE(app, argc, argv);
    if (!swp08 && !videohub) {
        std::cerr << "router_double: give --swp08 or --videohub\n";
        return 2;
    }
    double_state state = double_state::ofSize(inputs, outputs);
    std::string error;
    if (!device.empty() && !double_state::fromDeviceFile(device, offset, state, error)) {
        std::cerr << "router_double: " << error << '\n';
        return 2;
    }
    boost::asio::io_context context;
    std::unique_ptr<router_double> router;
    if (swp08)
        router = std::make_unique<swp08_double>(context, state, matrix, level);
    else
        router = std::make_unique<videohub_double>(context, state);
    if (!router->listen(static_cast<std::uint16_t>(port), error)) {
        std::cerr << "router_double: " << error << '\n';
        return 2;
    }
    std::cout << "port " << router->port() << std::endl;
    boost::asio::signal_set signals(context, SIGINT, SIGTERM);
    signals.async_wait([&context](const boost::system::error_code&, int) { context.stop(); });
    context.run();
    return 0;
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
