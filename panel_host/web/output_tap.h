// output_tap: reads what the simulator prints. Put in front of an ostream's
// buffer, it passes every character on unchanged (the terminal still shows
// the transcript in its colours) and keeps a copy without the ANSI colour
// sequences, which the web view takes after each step and sends to the
// page. The transcript itself needs no change for the browser.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

class output_tap final : public std::streambuf {
public:
    // Taps `stream` until destroyed, when its own buffer is put back.
    explicit output_tap(std::ostream& stream);
    ~output_tap() override;
    output_tap(const output_tap&) = delete;
    output_tap& operator=(const output_tap&) = delete;

    // What was printed since the last take(), colours removed.
    std::string take();
    bool empty() const { return copy_.empty(); }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void keep(char c);
    std::ostream& stream_;
    std::streambuf* original_;
    std::string copy_;
    enum class escape { none, seen_escape, in_sequence } escape_ = escape::none;
};
