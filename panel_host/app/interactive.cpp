#include "app/interactive.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#if defined(ZELM_HAVE_READLINE)
#  include <cerrno>
#  include <readline/history.h>
#  include <readline/readline.h>
#  include <sys/select.h>
#endif

#include "scenario/scenario_parser.h"
#include "scenario/session_recorder.h"
#include "text/transcript.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

enum class input { line, cancelled, ended };

// The terminal seam: line editing and a kept history through readline where
// it exists; elsewhere (Windows, whose console edits lines itself) plain
// lines from standard input and no history file.
#if defined(ZELM_HAVE_READLINE)

std::string historyFile()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return std::string();
    return std::string(home) + "/.panel_host_history";
}

// Readline's callback interface, so that Ctrl-C can end the wait for a
// line without ending the program: SIGINT is blocked except while waiting
// for a key, and the handler only raises a flag that the loop sees.
std::string* lineRead = nullptr;
bool lineDone = false;
bool inputEnded = false;

extern "C" void onLine(char* raw)
{
    if (raw == nullptr) {
        inputEnded = true;
    } else {
        *lineRead = raw;
        std::free(raw);
        lineDone = true;
    }
    rl_callback_handler_remove();
}

class terminal {
public:
    terminal() : history_(historyFile())
    {
        // Readline's own handlers would end the program on Ctrl-C.
        rl_catch_signals = 0;
        using_history();
        if (!history_.empty())
            read_history(history_.c_str());
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
        sigemptyset(&blocked_);
        sigaddset(&blocked_, SIGINT);
        sigprocmask(SIG_BLOCK, &blocked_, &unblocked_);
        sigdelset(&unblocked_, SIGINT);
    }
    ~terminal()
    {
        if (!history_.empty()) {
            stifle_history(1000);
            write_history(history_.c_str());
        }
        sigprocmask(SIG_UNBLOCK, &blocked_, nullptr);
        sigaction(SIGINT, &previous_, nullptr);
    }
    terminal(const terminal&) = delete;
    terminal& operator=(const terminal&) = delete;

    input read(const char* prompt, std::string& line)
    {
        interrupted = 0;
        lineRead = &line;
        lineDone = false;
        inputEnded = false;
        rl_callback_handler_install(prompt, onLine);
        const int fd = fileno(rl_instream != nullptr ? rl_instream : stdin);
        while (!lineDone && !inputEnded) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(fd, &ready);
            // Ctrl-C is let through only here, where nothing else runs.
            int found = pselect(fd + 1, &ready, nullptr, nullptr, nullptr, &unblocked_);
            if (found < 0 && errno == EINTR && interrupted != 0) {
                rl_free_line_state();
                rl_callback_sigcleanup();
                rl_cleanup_after_signal();
                rl_callback_handler_remove();
                std::cout << "^C" << std::endl;
                return input::cancelled;
            }
            if (found < 0 && errno != EINTR) {
                rl_callback_handler_remove();
                return input::ended;
            }
            if (found > 0)
                rl_callback_read_char();
        }
        if (lineDone && line.find_first_not_of(" \t") != std::string::npos)
            add_history(line.c_str());
        return lineDone ? input::line : input::ended;
    }

private:
    std::string history_;
    struct sigaction previous_ = {};
    sigset_t blocked_ = {};
    sigset_t unblocked_ = {};
};

#else

class terminal {
public:
    terminal() { previous_ = std::signal(SIGINT, onInterrupt); }
    ~terminal() { std::signal(SIGINT, previous_); }
    terminal(const terminal&) = delete;
    terminal& operator=(const terminal&) = delete;

    input read(const char* prompt, std::string& line)
    {
        interrupted = 0;
        std::cout << prompt << std::flush;
        if (std::getline(std::cin, line))
            return interrupted != 0 ? input::cancelled : input::line;
        if (interrupted != 0) {
            // The console ends the read on Ctrl-C; the input goes on.
            std::cin.clear();
            std::signal(SIGINT, onInterrupt);
            std::cout << "^C" << std::endl;
            return input::cancelled;
        }
        return input::ended;
    }

private:
    void (*previous_)(int) = SIG_DFL;
};

#endif

}  // namespace

int runInteractive(session_recorder& session, transcript& out)
{
    terminal console;
    std::cout << "panel_host: type scenario lines; \"create\" loads the component, \"help\" lists the lines,\n"
                 "\"quit\" ends. Ctrl-C drops the line being typed.\n";
    int badLines = 0;
    const auto report = [&](const std::vector<scenario_error>& errors) {
        for (const auto& error : errors) {
            out.failure(error.where(), error.message);
            ++badLines;
        }
        out.flush();
    };
    for (;;) {
        std::string line;
        input got = console.read(session.inBlock() ? "     ...> " : "panel_host> ", line);
        if (got == input::cancelled) {
            if (session.inBlock()) {
                session.dropBlock();
                std::cout << "(the open block is dropped)" << std::endl;
            }
            continue;
        }
        if (got == input::ended) {
            std::cout << '\n';
            // Ctrl-D inside a block: the block is reported as not closed.
            report(session.finish());
            break;
        }
        const std::size_t first = line.find_first_not_of(" \t");
        const std::string bare =
            first == std::string::npos ? std::string() : line.substr(first, line.find_last_not_of(" \t") + 1 - first);
        if (!session.inBlock() && (bare == "quit" || bare == "exit"))
            break;
        report(session.runLine(line).errors);
    }
    return badLines;
}
