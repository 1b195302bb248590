#include "app/run_end.h"

#include <cerrno>
#include <csignal>
#include <iostream>
#include <system_error>
#include <utility>

#include <boost/asio/post.hpp>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

#include "loop/event_loop.h"

namespace {

// What the handler leaves for the program's thread.
volatile std::sig_atomic_t pending = 0;

const char* nameOf(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
#if !defined(_WIN32)
    case SIGHUP:
        return "SIGHUP";
#endif
    default:
        return "a signal";
    }
}

#if !defined(_WIN32)

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};
int pipeWrite = -1;

extern "C" void onSignal(int number)
{
    const int saved = errno;
    pending = 1;
    const auto byte = static_cast<unsigned char>(number);
    if (pipeWrite >= 0 && ::write(pipeWrite, &byte, 1) < 0) {
        // A full pipe already holds signals enough to end the run.
    }
    errno = saved;
}

#else

constexpr int endingSignals[] = {SIGINT, SIGTERM};
volatile std::sig_atomic_t lastSignal = 0;

extern "C" void onSignal(int number)
{
    pending = 1;
    lastSignal = number;
    // Windows puts the default back before calling the handler.
    std::signal(number, onSignal);
}

#endif

}  // namespace

#if !defined(_WIN32)

run_end::run_end(event_loop& loop) : loop_(loop), pipe_(loop.context())
{
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot make the signal pipe");
    pipe_.assign(ends[0]);
    pipeWrite = ends[1];
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A read or write cut by a signal goes on: only the loop's wait returns.
    action.sa_flags = SA_RESTART;
    for (int signal : endingSignals)
        sigaction(signal, &action, nullptr);
    watch();
}

run_end::~run_end()
{
    for (int signal : endingSignals)
        std::signal(signal, SIG_DFL);
    ::close(pipeWrite);
    pipeWrite = -1;
}

void run_end::watch()
{
    pipe_.async_read_some(boost::asio::buffer(received_),
                          [this](const boost::system::error_code& error, std::size_t size) {
                              if (error)
                                  return;  // the pipe closed with this run_end
                              for (std::size_t i = 0; i < size; ++i)
                                  handle(received_[i]);
                              watch();
                          });
}

void run_end::check()
{
    if (pending == 0)
        return;
    pending = 0;
    ssize_t size = 0;
    while ((size = ::read(pipe_.native_handle(), received_.data(), received_.size())) > 0)
        for (ssize_t i = 0; i < size; ++i)
            handle(received_[static_cast<std::size_t>(i)]);
    if (outputGone_ && !requested()) {
        std::cerr << "panel_host: the standard output was closed: ending the run\n";
        request("the output was closed");
    }
}

#else

run_end::run_end(event_loop& loop) : loop_(loop)
{
    for (int signal : endingSignals)
        std::signal(signal, onSignal);
}

run_end::~run_end()
{
    for (int signal : endingSignals)
        std::signal(signal, SIG_DFL);
}

void run_end::watch() {}

void run_end::check()
{
    if (pending == 0)
        return;
    pending = 0;
    const int signal = lastSignal;
    lastSignal = 0;
    if (signal != 0)
        handle(signal);
    if (outputGone_ && !requested()) {
        std::cerr << "panel_host: the standard output was closed: ending the run\n";
        request("the output was closed");
    }
}

#endif

void run_end::request(const std::string& why)
{
    if (requested())
        return;
    why_ = why;
    loop_.close(grace);
}

void run_end::outputClosed()
{
    if (outputGone_)
        return;
    outputGone_ = true;
    pending = 1;
    boost::asio::post(loop_.context(), [this] { check(); });
}

void run_end::handle(int signal)
{
    if (signal == SIGINT && interrupt_ && !requested()) {
        interrupt_();
        return;
    }
    if (requested()) {
        // Again while ending: what still waits ends now.
        loop_.close(std::chrono::milliseconds(0));
        return;
    }
    std::cerr << "panel_host: " << nameOf(signal) << ": ending the run\n";
    request(nameOf(signal));
}
