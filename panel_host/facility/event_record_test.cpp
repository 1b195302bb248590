#include "facility/event_record.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "event_records.h"
#include "temp_installation.h"
#include "zelm_client_callback.h"

namespace {

// Answers "RN" with a name and everything else with null; counts give-backs.
class answering_link final : public zelm_host_link {
public:
    const char* send(const char* text, std::int32_t kind) override
    {
        if (kind == zelmGiveBack) {
            ++givenBack;
            return nullptr;
        }
        return std::strncmp(text, "RN", 2) == 0 ? name : nullptr;
    }
    char name[16] = "CAM \"1\"\n";
    int givenBack = 0;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream whole;
    whole << in.rdbuf();
    return whole.str();
}

TEST(EventRecord, WritesEveryEventCommandAnswerAndGiveBack)
{
    const std::string path = uniqueTempPath("event_record_test.rec");
    answering_link host;
    char returnedText[] = "srcpkg=1";
    {
        event_recorder recorder(host, path);
        ASSERT_TRUE(recorder.ok());
        zelm_host_link& link = recorder;

        recorder.create("/layouts");
        link.send("PS '1' '/layouts/TessalyQ.zelm_ui'", zelmSendCommand);
        recorder.created(true);

        revertiveRecord revertive{31, 0, 3, 5};
        recorder.event(reinterpret_cast<std::intptr_t>(&revertive), zelmEventRevertive);
        const char* name = link.send("RN 31 0 5", zelmSendCommand);
        link.send(name, zelmGiveBack);
        link.send(nullptr, zelmGiveBack);
        link.send("stray", zelmGiveBack);
        recorder.returned(nullptr);

        commandText text("alarm.a.b=2.5=x");
        buttonRecord button{0, 7, "1", "ActionAll", &text};
        recorder.event(reinterpret_cast<std::intptr_t>(&button), zelmEventButton);
        recorder.returned(nullptr);
        commandText none(nullptr);
        buttonRecord plain{0, 0, "1", "Take", &none};
        recorder.event(reinterpret_cast<std::intptr_t>(&plain), zelmEventButton);
        link.send("odd", 9);
        recorder.returned(nullptr);

        recorder.event(reinterpret_cast<std::intptr_t>("return=srcpkg"), zelmEventParameter);
        recorder.returned(returnedText);
        recorder.event(reinterpret_cast<std::intptr_t>(returnedText), zelmEventRelease);
        recorder.returned(nullptr);

        recorder.event(-3, zelmEventTimer);
        recorder.returned(nullptr);

        const char newName[] = "VTR\t2";
        std::vector<char> storage(offsetof(databaseRecord, name) + sizeof newName);
        auto* database = reinterpret_cast<databaseRecord*>(storage.data());
        database->device = 31;
        database->database = 0;
        database->index = 2;
        database->reserved = 4;
        std::memcpy(storage.data() + offsetof(databaseRecord, name), newName, sizeof newName);
        recorder.event(reinterpret_cast<std::intptr_t>(database), zelmEventDatabaseChange);
        recorder.returned(nullptr);

        recorder.event(42, 9);
        recorder.returned(nullptr);
        recorder.destroy();
        link.send("AS", zelmSendCommand);
    }
    EXPECT_EQ(host.givenBack, 3);
    EXPECT_EQ(readFile(path), "zelm-event-record 1\n"
                              "event 1 create \"/layouts\"\n"
                              "sent \"PS '1' '/layouts/TessalyQ.zelm_ui'\"\n"
                              "answer null\n"
                              "returned component\n"
                              "event 2 revertive 31 0 3 5\n"
                              "sent \"RN 31 0 5\"\n"
                              "answer \"CAM \\\"1\\\"\\n\"\n"
                              "give-back 2\n"
                              "give-back null\n"
                              "give-back foreign\n"
                              "returned null\n"
                              "event 3 button 0 7 \"1\" \"ActionAll\" \"alarm.a.b=2.5=x\"\n"
                              "returned null\n"
                              "event 4 button 0 0 \"1\" \"Take\" null\n"
                              "send 9 \"odd\"\n"
                              "returned null\n"
                              "event 5 parameter \"return=srcpkg\"\n"
                              "returned \"srcpkg=1\"\n"
                              "event 6 release 5\n"
                              "returned null\n"
                              "event 7 timer -3\n"
                              "returned null\n"
                              "event 8 database 31 0 2 4 \"VTR\\t2\"\n"
                              "returned null\n"
                              "event 9 code 9 42\n"
                              "returned null\n"
                              "event 10 destroy\n"
                              "sent \"AS\"\n"
                              "answer null\n");
    std::remove(path.c_str());
}

// Hands out a text at a new address for every command, as an allocating
// host does, so that nothing is told apart by an address reused.
class allocating_link final : public zelm_host_link {
public:
    explicit allocating_link(std::size_t count) : texts(count * 2, '\0')
    {
        for (std::size_t i = 0; i < count; ++i)
            texts[i * 2] = 'a';
    }
    const char* send(const char*, std::int32_t kind) override
    {
        if (kind == zelmGiveBack)
            return nullptr;
        return &texts[2 * answered++];
    }
    std::vector<char> texts;
    std::size_t answered = 0;
};

TEST(EventRecord, KeepsABoundedWindowOfWhatCameBackAndWritesTheSameLines)
{
    const std::string path = uniqueTempPath("event_record_bounded.rec");
    const int rounds = static_cast<int>(keptGivenBack) + 2000;
    allocating_link host(static_cast<std::size_t>(rounds));
    std::vector<char> returnedTexts(static_cast<std::size_t>(rounds) * 2, 'r');
    for (std::size_t i = 1; i < returnedTexts.size(); i += 2)
        returnedTexts[i] = '\0';
    std::string expected = "zelm-event-record 1\n";
    const char* firstAnswer = nullptr;
    const char* lastAnswer = nullptr;
    {
        event_recorder recorder(host, path);
        ASSERT_TRUE(recorder.ok());
        zelm_host_link& link = recorder;
        for (int round = 0; round < rounds; ++round) {
            const std::string n = std::to_string(round + 1);
            const std::string parameterEvent = std::to_string(2 * round + 1);
            recorder.event(reinterpret_cast<std::intptr_t>("return=srcpkg"), zelmEventParameter);
            const char* answer = link.send("RN 31 0 1", zelmSendCommand);
            link.send(answer, zelmGiveBack);
            char* returnedText = &returnedTexts[2 * static_cast<std::size_t>(round)];
            recorder.returned(returnedText);
            recorder.event(reinterpret_cast<std::intptr_t>(returnedText), zelmEventRelease);
            recorder.returned(nullptr);
            expected += "event " + parameterEvent +
                        " parameter \"return=srcpkg\"\n"
                        "sent \"RN 31 0 1\"\nanswer \"a\"\ngive-back " +
                        n +
                        "\n"
                        "returned \"r\"\n"
                        "event " +
                        std::to_string(2 * round + 2) + " release " + parameterEvent +
                        "\n"
                        "returned null\n";
            if (round == 0)
                firstAnswer = answer;
            lastAnswer = answer;
        }
        // Only the last keptGivenBack answers and released texts are known:
        // the first is forgotten, the last still told apart.
        EXPECT_EQ(recorder.kept(), 2 * keptGivenBack);
        link.send(firstAnswer, zelmGiveBack);
        link.send(lastAnswer, zelmGiveBack);
        recorder.event(reinterpret_cast<std::intptr_t>(returnedTexts.data()), zelmEventRelease);
        expected += "give-back foreign\ngive-back " + std::to_string(rounds) + "\nevent " +
                    std::to_string(2 * rounds + 1) + " release foreign\n";
    }
    EXPECT_EQ(readFile(path), expected);
    std::remove(path.c_str());
}

TEST(EventRecord, EscapesEveryByteAReaderCouldMistake)
{
    EXPECT_EQ(recordText(nullptr), "null");
    EXPECT_EQ(recordText(""), "\"\"");
    EXPECT_EQ(recordText("a\\b\"c\rd\x01\x7f"
                         "e f"),
              "\"a\\\\b\\\"c\\rd\\x01\\x7fe f\"");
}

TEST(EventRecord, ReportsARecordItCannotWrite)
{
    answering_link host;
    event_recorder recorder(host, ::testing::TempDir() + "no_such_folder/x.rec");
    EXPECT_FALSE(recorder.ok());
}

}  // namespace
