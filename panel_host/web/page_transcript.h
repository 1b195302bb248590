// page_transcript: the pages' copy of the transcript, bounded in bytes.
// What is printed between two publishings (20 ms apart while the server
// runs, whether or not the clock runs) is kept, colours removed, up to
// `limit` bytes; what a flood prints beyond that is counted, not kept, and
// the pages read a line saying how much was left out. The terminal gets
// everything as before.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/transcript.h"

namespace web {

// Cuts `text` after its last whole line within `limit` bytes (or at `limit`
// when no line ends there) and returns the bytes cut.
std::size_t cutToLines(std::string& text, std::size_t limit);
// "[… 12345 bytes of transcript left out …]\n"
std::string leftOutLine(std::size_t bytes);

class page_transcript final : public transcript_sink {
public:
    static constexpr std::size_t defaultLimit = std::size_t{256} * 1024;

    explicit page_transcript(std::size_t limit = defaultLimit) : limit_(limit) {}
    void write(std::string_view text) override;
    // What was written since the last take(), colours removed, with a line
    // for what was left out.
    std::string take();

private:
    plain_text_sink plain_;  // takes the colours out
    std::string kept_;
    std::size_t limit_;
    std::size_t leftOut_ = 0;
};

}  // namespace web
