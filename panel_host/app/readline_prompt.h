// readline_prompt: the prompt on a terminal, with GNU readline (editing,
// history kept in ~/.panel_host_history), driven by the program's one
// event loop through readline's callback interface: a key is handed to
// readline when the terminal has one, and between keys the loop runs the
// router links. Their reports are delivered while nothing is typed
// (prompt_hooks::idle); what that prints goes above the line being typed,
// which is taken off the screen before the first write (output_watch) and
// drawn again after.
//
// Signals are run_end's; while the prompt reads, Ctrl-C drops the line.
//
// Thread: the program's one thread; one readline_prompt at a time (readline
// itself is one per program).
#pragma once

#if defined(ZELM_HAVE_READLINE)

#  include <memory>
#  include <string>

#  include <boost/asio/posix/stream_descriptor.hpp>
#  include <boost/asio/steady_timer.hpp>

class event_loop;
class prompt_lines;
struct prompt_hooks;

class readline_prompt {
public:
    readline_prompt(prompt_lines& lines, const prompt_hooks& hooks);
    ~readline_prompt();
    readline_prompt(const readline_prompt&) = delete;
    readline_prompt& operator=(const readline_prompt&) = delete;

    // Until the run is to end.
    void run();
    // Readline has a whole line (null: the end of input).
    void lineRead(char* raw);

private:
    void show();
    void waitForKeys();
    void keys();
    void afterLine();
    void interrupted();
    void waitIdle();
    void idle();
    void hide();
    void redraw();
    void resume();
    bool readable();
    template <class Work>
    void later(Work work);

    prompt_lines& lines_;
    const prompt_hooks& hooks_;
    event_loop& loop_;
    std::string history_;
    boost::asio::posix::stream_descriptor input_;
    boost::asio::steady_timer idleTimer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::string line_;
    bool lineDone_ = false;
    bool inputEnded_ = false;
    bool showing_ = false;  // readline holds the terminal's line: the prompt and what is typed
    bool hidden_ = false;   // ... taken off the screen while something prints
    bool busy_ = false;     // a line, or what the routers reported, is being handled
    bool keysWaiting_ = false;
    bool interruptWaiting_ = false;
};

#endif
