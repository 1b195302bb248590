#include "facility/answer_ledger.h"

#include <cstring>

const char* answer_ledger::handOut(const std::string& text, const std::string& command)
{
    std::unique_ptr<char[]> owned = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(owned.get(), text.c_str(), text.size() + 1);
    // The address is the key; the book then owns the copy at that address.
    const char* key = owned.get();
    return book_.handOut(key, answer{std::move(owned), command}).text.get();
}

const char* answer_ledger::show(const std::string& panel)
{
    shown_ = panel;
    return shown_.c_str();
}

answer_ledger::given_back answer_ledger::giveBack(const char* text)
{
    handout_book<answer>::found found = book_.giveBack(text);
    if (found.what != nullptr)
        return {found.kind, found.what->command};
    // Checked after the answers: an answer, owned and alive, is never at
    // the "PS" answer's address.
    if (found.kind == give_back::foreign && text == shown_.c_str())
        return {give_back::shown, std::string()};
    return {found.kind, std::string()};
}

std::vector<std::string> answer_ledger::takeUnreturned()
{
    std::vector<std::string> commands;
    for (const answer* out : book_.takeUnreturned())
        commands.push_back(out->command);
    return commands;
}
