// A host link for tests (and for hosts that want a transcript): records every
// send() with its kind, answers commands from a scripted table, and checks
// that every answer it handed out is given back exactly once.
//
// Single-threaded, like a real host's event thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zelm_host_link.h"

class recording_host_link : public zelm_host_link {
public:
    struct sent {
        std::string text;
        std::int32_t kind;
    };

    recording_host_link();
    virtual ~recording_host_link();

    const char* send(const char* text, std::int32_t kind) override;

    // Scripted answers. A command line that equals `command` is answered with
    // `text`; answers queued for the same line are used in order, the last
    // one again and again. answerNull() scripts an explicit null answer.
    void answer(const std::string& command, const std::string& text);
    void answerNull(const std::string& command);
    // Lines starting with `prefix` that have no exact answer get `text`
    // (e.g. answerPrefix("PS ", "ok") so every layout load succeeds).
    void answerPrefix(const std::string& prefix, const std::string& text);
    void clearAnswers();

    // Every command line (kind 0) in order, give-backs left out.
    std::vector<std::string> commands() const;
    // Command lines since the last takeCommands(), and forget them.
    std::vector<std::string> takeCommands();
    const std::vector<sent>& everything() const { return log_; }

    // Answers handed out and not given back yet.
    int outstandingAnswers() const { return static_cast<int>(outstanding_.size()); }
    // Give-backs of a pointer this link never handed out, or handed out and
    // already given back.
    int badGiveBacks() const { return badGiveBacks_; }
    // Give-backs of a null answer (lookupName gives back null answers too).
    int nullGiveBacks() const { return nullGiveBacks_; }

private:
    const std::string* scriptedAnswer(const std::string& line, bool& isNull);

    std::vector<sent> log_;
    std::size_t taken_ = 0;
    std::map<std::string, std::deque<std::unique_ptr<std::string>>> exact_;  // null entry = null answer
    std::vector<std::pair<std::string, std::string>> prefixes_;
    std::vector<std::unique_ptr<std::string>> spent_;
    std::vector<std::unique_ptr<char[]>> outstanding_;
    int badGiveBacks_ = 0;
    int nullGiveBacks_ = 0;
};
