#include "recording_host_link.h"

#include <cstring>

recording_host_link::recording_host_link() = default;
recording_host_link::~recording_host_link() = default;

void recording_host_link::answer(const std::string& command, const std::string& text)
{
    exact_[command].push_back(std::make_unique<std::string>(text));
}

void recording_host_link::answerNull(const std::string& command) { exact_[command].push_back(nullptr); }

void recording_host_link::answerPrefix(const std::string& prefix, const std::string& text)
{
    prefixes_.emplace_back(prefix, text);
}

void recording_host_link::clearAnswers()
{
    exact_.clear();
    prefixes_.clear();
}

const std::string* recording_host_link::scriptedAnswer(const std::string& line, bool& isNull)
{
    isNull = false;
    auto found = exact_.find(line);
    if (found != exact_.end() && !found->second.empty()) {
        auto& queue = found->second;
        const std::string* text = queue.front().get();
        isNull = text == nullptr;
        if (queue.size() > 1) {
            // Used up: keep it alive until the link dies by moving it aside.
            spent_.push_back(std::move(queue.front()));
            queue.pop_front();
        }
        return text;
    }
    for (const auto& prefix : prefixes_)
        if (line.compare(0, prefix.first.size(), prefix.first) == 0)
            return &prefix.second;
    isNull = true;
    return nullptr;
}

const char* recording_host_link::send(const char* text, std::int32_t kind)
{
    if (kind == zelmGiveBack) {
        if (text == nullptr) {
            log_.push_back({std::string(), kind});
            ++nullGiveBacks_;
            return nullptr;
        }
        for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
            if (it->get() == text) {
                log_.push_back({std::string(text), kind});
                outstanding_.erase(it);
                return nullptr;
            }
        }
        // Not a live answer of ours (given back twice, or never handed out):
        // its memory may be gone, so it is not read.
        log_.push_back({std::string(), kind});
        ++badGiveBacks_;
        return nullptr;
    }
    std::string line = text == nullptr ? std::string() : std::string(text);
    log_.push_back({line, kind});
    bool isNull = false;
    const std::string* answerText = scriptedAnswer(line, isNull);
    if (isNull || answerText == nullptr)
        return nullptr;
    // Each answer is a fresh block, so a give-back can be matched to it.
    std::unique_ptr<char[]> block(new char[answerText->size() + 1]);
    std::memcpy(block.get(), answerText->c_str(), answerText->size() + 1);
    outstanding_.push_back(std::move(block));
    return outstanding_.back().get();
}

std::vector<std::string> recording_host_link::commands() const
{
    std::vector<std::string> lines;
    for (const auto& entry : log_)
        if (entry.kind == zelmSendCommand)
            lines.push_back(entry.text);
    return lines;
}

std::vector<std::string> recording_host_link::takeCommands()
{
    std::vector<std::string> lines;
    for (; taken_ < log_.size(); ++taken_)
        if (log_[taken_].kind == zelmSendCommand)
            lines.push_back(log_[taken_].text);
    return lines;
}
