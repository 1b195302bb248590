// A host link that does nothing on the heap: it keeps the last command line
// in a fixed buffer, counts lines per two-letter command word, and answers
// a few scripted commands with texts of its own. Answers handed out and
// given back are counted so a test can see that every one came back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zelm_host_link.h"

class quiet_host_link : public zelm_host_link {
public:
    static constexpr std::size_t lineRoom = 256;
    static constexpr int answerRoom = 16;

    quiet_host_link() = default;
    virtual ~quiet_host_link() = default;
    quiet_host_link(const quiet_host_link&) = delete;
    quiet_host_link& operator=(const quiet_host_link&) = delete;

    const char* send(const char* text, std::int32_t kind) override
    {
        if (kind != zelmSendCommand) {
            if (text != nullptr)
                ++givenBack_;
            return nullptr;
        }
        if (text == nullptr)
            return nullptr;
        ++lines_;
        std::strncpy(last_, text, lineRoom - 1);
        last_[lineRoom - 1] = '\0';
        if (std::strlen(text) >= 2 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'A' && text[1] <= 'Z')
            ++perWord_[text[0] - 'A'][text[1] - 'A'];
        for (int at = 0; at < answerCount_; ++at) {
            if (std::strcmp(answers_[at].command, text) == 0) {
                ++handedOut_;
                return answers_[at].answer;
            }
        }
        return nullptr;
    }

    // `command` and `answer` must outlive the link (string literals do).
    void answer(const char* command, const char* text)
    {
        if (answerCount_ < answerRoom)
            answers_[answerCount_++] = {command, text};
    }

    const char* lastLine() const { return last_; }
    long lines() const { return lines_; }
    long linesOf(const char* word) const { return perWord_[word[0] - 'A'][word[1] - 'A']; }
    long handedOut() const { return handedOut_; }
    long givenBack() const { return givenBack_; }
    void forget()
    {
        lines_ = 0;
        last_[0] = '\0';
        std::memset(perWord_, 0, sizeof perWord_);
    }

private:
    struct scripted {
        const char* command;
        const char* answer;
    };
    scripted answers_[answerRoom] = {};
    int answerCount_ = 0;
    char last_[lineRoom] = {};
    long lines_ = 0;
    long perWord_[26][26] = {};
    long handedOut_ = 0;
    long givenBack_ = 0;
};
