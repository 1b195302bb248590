#include "facility/answer_ledger.h"

#include <cstring>

const char* answer_ledger::handOut(const std::string& text, const std::string& command)
{
    answer copy{std::make_unique<char[]>(text.size() + 1), command};
    std::memcpy(copy.text.get(), text.c_str(), text.size() + 1);
    const char* handed = copy.text.get();
    book_.handOut(handed, std::move(copy));
    return handed;
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
