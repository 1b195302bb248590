#include "web/page_transcript.h"

namespace web {

std::size_t cutToLines(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return 0;
    std::size_t end = limit == 0 ? std::string::npos : text.rfind('\n', limit - 1);
    end = end == std::string::npos ? limit : end + 1;
    std::size_t cut = text.size() - end;
    text.erase(end);
    return cut;
}

std::string leftOutLine(std::size_t bytes)
{
    return "[\xE2\x80\xA6 " + std::to_string(bytes) + " bytes of transcript left out \xE2\x80\xA6]\n";
}

void page_transcript::write(std::string_view text)
{
    plain_.write(text);
    std::string plain = plain_.take();
    if (leftOut_ > 0) {
        leftOut_ += plain.size();
        return;
    }
    kept_ += plain;
    leftOut_ += cutToLines(kept_, limit_);
}

std::string page_transcript::take()
{
    std::string taken;
    taken.swap(kept_);
    if (leftOut_ > 0)
        taken += leftOutLine(leftOut_);
    leftOut_ = 0;
    return taken;
}

}  // namespace web
