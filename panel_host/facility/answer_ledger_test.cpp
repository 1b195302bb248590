#include "facility/answer_ledger.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* kindName(give_back kind)
{
    switch (kind) {
    case give_back::first:
        return "first";
    case give_back::again:
        return "again";
    case give_back::foreign:
        return "foreign";
    case give_back::null:
        return "null";
    case give_back::shown:
        return "shown";
    }
    return "?";
}

// Plays a script on a ledger and writes down what it tells:
//   out NAME     hands out "text NAME" answering "RN NAME"
//   show         the "PS" answer, named ps
//   back NAME    gives back a text by name (null: a null pointer, stray: a
//                text never handed out)
//   unreturned   lists the answers not given back
//   size         how many answers it knows
std::string play(std::size_t keep, const std::string& script)
{
    answer_ledger ledger(keep);
    std::map<std::string, const char*> texts{{"null", nullptr}};
    char stray[] = "text a";
    texts["stray"] = stray;
    std::ostringstream told;
    std::istringstream steps(script);
    std::string op, name;
    while (steps >> op) {
        if (op == "out") {
            steps >> name;
            texts[name] = ledger.handOut("text " + name, "RN " + name);
            told << "out " << texts[name] << '\n';
        } else if (op == "show") {
            texts["ps"] = ledger.show("1");
            told << "show " << texts["ps"] << '\n';
        } else if (op == "back") {
            steps >> name;
            answer_ledger::given_back back = ledger.giveBack(texts.at(name));
            told << "back " << name << ": " << kindName(back.kind) << (back.command.empty() ? "" : " ") << back.command
                 << '\n';
        } else if (op == "unreturned") {
            told << "unreturned:";
            for (const auto& command : ledger.takeUnreturned())
                told << " [" << command << ']';
            told << '\n';
        } else if (op == "size") {
            told << "size " << ledger.size() << '\n';
        }
    }
    return told.str();
}

TEST(AnswerLedger, TellsEveryKindOfGiveBack)
{
    struct row {
        const char* what;
        std::size_t keep;
        const char* script;
        const char* told;
    };
    const row rows[] = {
        {"once", 10, "out a back a unreturned size", "out text a\nback a: first RN a\nunreturned:\nsize 1\n"},
        {"twice", 10, "out a back a back a", "out text a\nback a: first RN a\nback a: again RN a\n"},
        // The same text at another address is still foreign: texts are
        // told apart by address.
        {"foreign", 10, "out a back stray unreturned", "out text a\nback stray: foreign\nunreturned: [RN a]\n"},
        {"null", 10, "back null size", "back null: null\nsize 0\n"},
        {"PS answer", 10, "show out a back ps show back ps back a",
         "show 1\nout text a\nback ps: shown\nshow 1\nback ps: shown\nback a: first RN a\n"},
        // Two given back stay known: the third give-back forgets the first,
        // whose second give-back then reads as foreign; those out stay.
        {"window", 2, "out a out b out c out d back a back b back c back b back a size",
         "out text a\nout text b\nout text c\nout text d\nback a: first RN a\nback b: first RN b\n"
         "back c: first RN c\nback b: again RN b\nback a: foreign\nsize 3\n"},
        {"unreturned in order, each once", 10, "out c out a out b back a unreturned unreturned out d unreturned back c",
         "out text c\nout text a\nout text b\nback a: first RN a\nunreturned: [RN c] [RN b]\nunreturned:\n"
         "out text d\nunreturned: [RN d]\nback c: first RN c\n"},
    };
    for (const row& each : rows)
        EXPECT_EQ(play(each.keep, each.script), each.told) << each.what;
}

TEST(HandoutBook, AnAddressReusedAfterItsGiveBackIsTheNewText)
{
    // The event recorder sees texts it does not own: a freed answer's
    // address may come back as the next answer.
    handout_book<int> book(1);
    char first[] = "x";
    char second[] = "y";
    book.handOut(first, 1);
    EXPECT_EQ(*book.giveBack(first).what, 1);
    book.handOut(first, 2);  // the same address, answering command 2
    book.handOut(second, 3);
    // This give-back pushes the stale one of command 1 out of the window;
    // the entry of command 2 stays.
    EXPECT_EQ(*book.giveBack(second).what, 3);
    handout_book<int>::found again = book.giveBack(first);
    EXPECT_EQ(again.kind, give_back::first);
    ASSERT_NE(again.what, nullptr);
    EXPECT_EQ(*again.what, 2);
    EXPECT_TRUE(book.takeUnreturned().empty());
    EXPECT_EQ(book.size(), 1u);
}

}  // namespace
