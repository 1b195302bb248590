#include "replay.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

replay* current = nullptr;  // the replay the host link serves

}  // namespace

const char* replay_link::reserved(const char* text, std::int32_t kind) { return current->onReservedEntry(text, kind); }

const char* replay_link::send(const char* text, std::int32_t kind) { return current->onSend(text, kind); }

void replay::difference(const char* expected, const char* actual)
{
    std::printf("replay_host: %s: event %d differs (record line %d)\n  expected: %s\n  actual:   %s\n", record_.path,
                events_, record_.next + 1, expected == nullptr ? "(end of record)" : expected, actual);
    std::fflush(stdout);
    std::exit(1);
}

void replay::expect(const text_buffer& actual)
{
    const char* expected = peek();
    if (expected == nullptr || std::strcmp(expected, actual.text()) != 0)
        difference(expected, actual.text());
    ++record_.next;
    ++compared_;
}

const char* replay::onReservedEntry(const char* text, std::int32_t kind)
{
    text_buffer actual;
    actual.add("(the component called the host link's first entry, not send) ");
    char number[16];
    std::snprintf(number, sizeof number, "%d ", static_cast<int>(kind));
    actual.add(number);
    addRecordText(actual, text);
    difference(peek(), actual.text());
}

const char* replay::onSend(const char* text, std::int32_t kind)
{
    text_buffer actual;
    if (kind == 5) {
        actual.add("give-back ");
        if (text == nullptr) {
            actual.add("null");
        } else {
            int command = 0;
            for (int i = 0; i < answerCount_; ++i)
                if (answers_[i].text == text)
                    command = answers_[i].command;
            char number[16];
            std::snprintf(number, sizeof number, "%d", command);
            actual.add(command == 0 ? "foreign" : number);
        }
        expect(actual);
        return nullptr;
    }
    if (kind != 0) {
        char number[16];
        std::snprintf(number, sizeof number, "send %d ", static_cast<int>(kind));
        actual.add(number);
        addRecordText(actual, text);
        expect(actual);
        return nullptr;
    }
    ++commands_;
    actual.add("sent ");
    addRecordText(actual, text);
    expect(actual);
    return answerFor(commands_);
}

// The recorded answer to command `command`, handed out and kept to the end
// of the record, so that give-backs are told apart.
const char* replay::answerFor(int command)
{
    const char* line = peek();
    const char* at = line;
    char* answer = nullptr;
    if (line == nullptr || !readWord(at, "answer") || !readText(at, answer) || *at != '\0')
        badRecord(record_, record_.next, "an \"answer\" line must follow each \"sent\" line");
    ++record_.next;
    if (answer == nullptr)
        return nullptr;
    if (answerCount_ == answerCapacity_) {
        answerCapacity_ = answerCapacity_ == 0 ? 64 : answerCapacity_ * 2;
        auto* grown = static_cast<handed_out*>(
            std::realloc(answers_, sizeof(handed_out) * static_cast<std::size_t>(answerCapacity_)));
        if (grown == nullptr)
            outOfMemory();
        answers_ = grown;
    }
    answers_[answerCount_++] = handed_out{answer, command};
    return answer;
}

void replay::deliver(std::intptr_t data, std::int32_t code)
{
    char* result = component_->hostEvent(data, code);
    text_buffer actual;
    actual.add("returned ");
    // Where the record has no text, a non-null result is not read: from a
    // module whose slots moved it need not point at a text at all.
    const char* expected = peek();
    if (result != nullptr && expected != nullptr && std::strcmp(expected, "returned null") == 0)
        actual.add("(not null)");
    else
        addRecordText(actual, result);
    expect(actual);
    if (events_ >= returnedCapacity_) {
        const int wanted = events_ * 2 + 64;
        auto* grown = static_cast<char**>(std::realloc(returned_, sizeof(char*) * static_cast<std::size_t>(wanted)));
        if (grown == nullptr)
            outOfMemory();
        for (int i = returnedCapacity_; i < wanted; ++i)
            grown[i] = nullptr;
        returned_ = grown;
        returnedCapacity_ = wanted;
    }
    returned_[events_] = result;
}

void replay::run(load_function load)
{
    load_ = load;
    current = this;
    const char* first = peek();
    if (first == nullptr || std::strcmp(first, "zelm-event-record 1") != 0)
        badRecord(record_, 0, "not an event record (first line \"zelm-event-record 1\" expected)");
    ++record_.next;
    while (const char* line = peek()) {
        const int lineIndex = record_.next;
        const char* at = line;
        long long number = 0;
        if (*line == '\0' || *line == '#') {
            ++record_.next;
            continue;
        }
        if (!readWord(at, "event") || !readNumber(at, number))
            difference(line, "(the component did nothing more for this event)");
        if (number != events_ + 1)
            badRecord(record_, lineIndex, "events must be numbered 1, 2, 3 ... in order");
        ++events_;
        ++record_.next;
        deliverEvent(at, lineIndex);
    }
    // A record cut short leaves the component to be deleted here; what it
    // sends then differs from the end of the record.
    if (component_ != nullptr) {
        delete component_;
        component_ = nullptr;
    }
    for (int i = 0; i < answerCount_; ++i)
        std::free(answers_[i].text);
    std::free(answers_);
    std::free(returned_);
    current = nullptr;
    if (!quiet_)
        std::printf("replay_host: %s: %d events, %d lines compared, 0 differences\n", record_.path, events_, compared_);
}
