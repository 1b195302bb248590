// answer_ledger: the texts that cross the module boundary by address and
// are to come back exactly once, and what each of them answered.
//
// handout_book keeps the bookkeeping alone: a text handed out (by its
// address) with what it answered, then told apart on its give-back as a
// first give-back, a second one, a null, or a text never handed out. Those
// handed out and not yet given back are listed in the order they went out.
// The event recorder keeps two of them (the host's answers, and the texts
// hostEvent returned until the host releases them) over texts it does not
// own.
//
// answer_ledger is the simulated host's: it hands out owned copies of its
// answers ("TG", "RN", "XI") and keeps the "PS" answer, which components
// only test for null and never give back, apart.
//
// A text stays known after its give-back, so that a second give-back is
// told apart from a stray pointer; the last `keptGivenBack` of them do, so
// that a long run does not keep every answer it ever gave. A give-back of an
// older one reads as a text never handed out. Texts not given back stay:
// the component still holds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// What a give-back turned out to be.
enum class give_back {
    first,    // a text handed out, given back for the first time
    again,    // a text handed out and given back before
    foreign,  // a text never handed out (or given back too long ago to be known)
    null,     // a null pointer
    shown,    // the "PS" answer, which is never to be given back
};

constexpr std::size_t keptGivenBack = 10000;

template <typename What>
class handout_book {
public:
    struct found {
        give_back kind;
        const What* what;  // for first and again; valid until the next change of the book
    };

    // `keep`: how many given-back texts stay known, at least 1.
    explicit handout_book(std::size_t keep = keptGivenBack) : keep_(keep < 1 ? 1 : keep) {}

    // `text` goes out answering `what`. An address known already was freed
    // and reused by its owner: the new text replaces the old one.
    // Returns what the book now keeps for `text`.
    const What& handOut(const char* text, What what)
    {
        auto known = entries_.find(text);
        if (known != entries_.end()) {
            unreturned_.erase(known->second.serial);
            entries_.erase(known);
        }
        const std::uint64_t serial = served_++;
        auto stored = entries_.emplace(text, entry{std::move(what), serial, false}).first;
        unreturned_.emplace(serial, text);
        return stored->second.what;
    }

    found giveBack(const char* text)
    {
        if (text == nullptr)
            return {give_back::null, nullptr};
        auto known = entries_.find(text);
        if (known == entries_.end())
            return {give_back::foreign, nullptr};
        entry& given = known->second;
        if (given.givenBack)
            return {give_back::again, &given.what};
        given.givenBack = true;
        unreturned_.erase(given.serial);
        givenBack_.emplace_back(text, given.serial);
        if (givenBack_.size() > keep_) {
            // The oldest give-back is forgotten, unless its address went out
            // again since (then the entry is the newer text's).
            auto oldest = entries_.find(givenBack_.front().first);
            if (oldest != entries_.end() && oldest->second.serial == givenBack_.front().second)
                entries_.erase(oldest);
            givenBack_.pop_front();
        }
        return {give_back::first, &given.what};
    }

    // What the texts handed out and neither given back nor listed before
    // answered, in the order they went out; each is listed once.
    std::vector<const What*> takeUnreturned()
    {
        std::vector<const What*> unreturned;
        for (const auto& out : unreturned_)
            unreturned.push_back(&entries_.at(out.second).what);
        unreturned_.clear();
        return unreturned;
    }

    // Texts known: those out, and the given-back ones still kept.
    std::size_t size() const { return entries_.size(); }

private:
    struct entry {
        What what;
        std::uint64_t serial;
        bool givenBack;
    };
    std::size_t keep_;
    std::unordered_map<const char*, entry> entries_;
    std::deque<std::pair<const char*, std::uint64_t>> givenBack_;  // oldest first
    std::map<std::uint64_t, const char*> unreturned_;              // neither given back nor listed, in order
    std::uint64_t served_ = 0;
};

class answer_ledger {
public:
    struct given_back {
        give_back kind;
        std::string command;  // the command answered, for first and again
    };

    explicit answer_ledger(std::size_t keep = keptGivenBack) : book_(keep) {}

    // An owned copy of `text`, answering `command`.
    const char* handOut(const std::string& text, const std::string& command);
    // The "PS" answer; stays valid until the next one.
    const char* show(const std::string& panel);
    given_back giveBack(const char* text);
    // The commands whose answers are out and were not listed before, in order.
    std::vector<std::string> takeUnreturned();
    std::size_t size() const { return book_.size(); }

private:
    struct answer {
        std::unique_ptr<char[]> text;
        std::string command;
    };
    handout_book<answer> book_;
    std::string shown_;
};
