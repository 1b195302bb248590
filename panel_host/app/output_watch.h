// output_watch: stands between a standard stream and its buffer to see
// every write, for two things:
//   - a write that fails means the output was closed (the reader of a pipe
//     left, as with `panel_host ... | head`): the owner is told once, and
//     ends the run (app/run_end.h);
//   - before a write, the prompt can take the line being typed off the
//     screen, so that a router's report printed while the operator types
//     never runs into that line (app/interactive.cpp draws it again).
//
// Thread: the program's one thread.
#pragma once

#include <functional>
#include <ostream>
#include <streambuf>

class output_watch final : public std::streambuf {
public:
    // From now on `stream` writes through this; `closed` is called at the
    // first write that fails.
    output_watch(std::ostream& stream, std::function<void()> closed);
    // Gives the stream its own buffer back.
    ~output_watch() override;
    output_watch(const output_watch&) = delete;
    output_watch& operator=(const output_watch&) = delete;

    // Called before every write while set; an empty function stops it.
    void beforeWrite(std::function<void()> hook) { before_ = std::move(hook); }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int sync() override;

private:
    void failed();

    std::ostream& stream_;
    std::streambuf* inner_;
    std::function<void()> closed_;
    std::function<void()> before_;
    bool told_ = false;
};
