#include "app/readline_prompt.h"

#if defined(ZELM_HAVE_READLINE)

#  include <cerrno>
#  include <chrono>
#  include <cstdio>
#  include <cstdlib>
#  include <iostream>
#  include <system_error>

#  include <poll.h>
#  include <readline/history.h>
#  include <readline/readline.h>
#  include <unistd.h>

#  include <boost/asio/post.hpp>

#  include "app/interactive.h"
#  include "app/output_watch.h"
#  include "app/prompt_lines.h"
#  include "app/run_end.h"
#  include "loop/event_loop.h"

namespace {

std::string historyFile()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return std::string();
    return std::string(home) + "/.panel_host_history";
}

readline_prompt* reading = nullptr;

extern "C" void onLine(char* raw)
{
    if (reading != nullptr)
        reading->lineRead(raw);
    else
        std::free(raw);
}

// How often the routers' reports are looked for while nothing is typed.
constexpr std::chrono::milliseconds idleInterval(50);

}  // namespace

readline_prompt::readline_prompt(prompt_lines& lines, const prompt_hooks& hooks)
    : lines_(lines), hooks_(hooks), loop_(*hooks.loop), history_(historyFile()), input_(loop_.context()),
      idleTimer_(loop_.context())
{
    // Signals are run_end's: readline's own handlers would end the program
    // on Ctrl-C.
    rl_catch_signals = 0;
    using_history();
    if (!history_.empty())
        read_history(history_.c_str());
    // A copy of the terminal's descriptor: the loop's watch closes it.
    const int terminal = ::dup(fileno(rl_instream != nullptr ? rl_instream : stdin));
    if (terminal < 0)
        throw std::system_error(errno, std::generic_category(), "cannot watch the terminal");
    input_.assign(terminal);
    reading = this;
    hooks_.ending->takeInterrupts([this] { interrupted(); });
    auto beforeWrite = [this] {
        if (showing_ && !hidden_)
            hide();
    };
    if (hooks_.output != nullptr)
        hooks_.output->beforeWrite(beforeWrite);
    if (hooks_.errors != nullptr)
        hooks_.errors->beforeWrite(beforeWrite);
}

readline_prompt::~readline_prompt()
{
    if (hooks_.output != nullptr)
        hooks_.output->beforeWrite(nullptr);
    if (hooks_.errors != nullptr)
        hooks_.errors->beforeWrite(nullptr);
    hooks_.ending->takeInterrupts(nullptr);
    reading = nullptr;
    if (!history_.empty()) {
        stifle_history(1000);
        write_history(history_.c_str());
    }
}

void readline_prompt::run()
{
    show();
    waitForKeys();
    if (hooks_.idle)
        waitIdle();
    loop_.run();
    if (showing_) {
        // Ended by a signal while a line was being typed: the terminal gets
        // its settings back and the summary a line of its own.
        rl_callback_handler_remove();
        showing_ = false;
        if (!hidden_)
            std::cout << std::endl;
    }
    boost::system::error_code ignored;
    input_.cancel(ignored);
    idleTimer_.cancel();
}

template <class Work>
void readline_prompt::later(Work work)
{
    std::weak_ptr<bool> alive = alive_;
    boost::asio::post(loop_.context(), [alive, work] {
        if (!alive.expired())
            work();
    });
}

void readline_prompt::lineRead(char* raw)
{
    if (raw == nullptr) {
        inputEnded_ = true;
    } else {
        line_ = raw;
        std::free(raw);
        lineDone_ = true;
    }
    rl_callback_handler_remove();
    showing_ = false;
}

void readline_prompt::show()
{
    rl_callback_handler_install(lines_.prompt(), onLine);
    showing_ = true;
    hidden_ = false;
}

bool readline_prompt::readable()
{
    pollfd terminal = {input_.native_handle(), POLLIN, 0};
    return ::poll(&terminal, 1, 0) > 0 && (terminal.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// Keys already waiting are read at once: the loop is told of keys as they
// arrive, not of keys left over from the last look.
void readline_prompt::waitForKeys()
{
    if (readable()) {
        later([this] { keys(); });
        return;
    }
    input_.async_wait(boost::asio::posix::descriptor_base::wait_read, [this](const boost::system::error_code& error) {
        if (!error)
            keys();
    });
}

void readline_prompt::keys()
{
    // Within a wait of a line's step, or of the routers' reports, the keys
    // wait for it to end.
    if (busy_ || loop_.nested()) {
        keysWaiting_ = true;
        return;
    }
    // The loop's watch may report keys already read: readline would then
    // wait for the next one, and nothing else would run meanwhile.
    if (!readable()) {
        waitForKeys();
        return;
    }
    if (hidden_)
        redraw();
    do
        rl_callback_read_char();
    while (showing_ && !lineDone_ && !inputEnded_ && readable());
    if (inputEnded_) {
        inputEnded_ = false;
        lines_.ended();
        return;
    }
    if (lineDone_) {
        lineDone_ = false;
        afterLine();
    }
    if (loop_.closing())
        return;
    if (!showing_)
        show();
    waitForKeys();
}

void readline_prompt::afterLine()
{
    if (line_.find_first_not_of(" \t") != std::string::npos)
        add_history(line_.c_str());
    busy_ = true;
    lines_.line(line_);
    busy_ = false;
    if (interruptWaiting_) {
        // Ctrl-C while the line ran: the next line starts afresh.
        interruptWaiting_ = false;
        lines_.cancelled();
    }
    keysWaiting_ = false;
}

void readline_prompt::interrupted()
{
    if (busy_ || !showing_) {
        interruptWaiting_ = true;
        return;
    }
    rl_free_line_state();
    rl_callback_sigcleanup();
    rl_cleanup_after_signal();
    rl_callback_handler_remove();
    showing_ = false;
    hidden_ = false;
    lines_.cancelled();
    if (!loop_.closing())
        show();
}

void readline_prompt::waitIdle()
{
    idleTimer_.expires_after(idleInterval);
    idleTimer_.async_wait([this](const boost::system::error_code& error) {
        if (!error)
            idle();
    });
}

void readline_prompt::idle()
{
    if (!busy_ && showing_ && !loop_.nested() && !loop_.closing()) {
        busy_ = true;
        hooks_.idle();
        busy_ = false;
        if (hidden_)
            redraw();
        resume();
    }
    if (!loop_.closing())
        waitIdle();
}

// What came while the prompt was busy.
void readline_prompt::resume()
{
    if (interruptWaiting_) {
        interruptWaiting_ = false;
        interrupted();
    }
    if (keysWaiting_) {
        keysWaiting_ = false;
        later([this] { keys(); });
    }
}

void readline_prompt::hide()
{
    rl_clear_visible_line();
    std::fflush(rl_outstream);
    hidden_ = true;
    // Printed by a link's handler: drawn again once that handler is done.
    if (!busy_)
        later([this] {
            if (hidden_ && showing_ && !busy_)
                redraw();
        });
}

void readline_prompt::redraw()
{
    std::cout.flush();
    std::cerr.flush();
    rl_on_new_line();
    rl_redisplay();
    hidden_ = false;
}

#endif
