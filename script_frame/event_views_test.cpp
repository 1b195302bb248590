#include "event_views.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(EventViews, HeaderStandsAlone)
{
    const event7 event(42);
    EXPECT_EQ(event.data(), 42);
}

TEST(EventViews, ButtonReadsRecordAndParsedText)
{
    const commandText text("alarm=2");
    const buttonRecord record{0, 0, "1", "ActionAll", &text};
    const buttonEvent event(&record);
    EXPECT_EQ(event.panel(), "1");
    EXPECT_EQ(event.id(), "ActionAll");
    EXPECT_EQ(event.command(), "alarm");
    EXPECT_EQ(event.value(), "2");
}

TEST(EventViews, NullTextsInAButtonReadAsEmpty)
{
    const buttonRecord record{0, 0, nullptr, nullptr, nullptr};
    const buttonEvent event(&record);
    EXPECT_EQ(event.panel().length(), 0);
    EXPECT_EQ(event.id().length(), 0);
    EXPECT_EQ(event.command().length(), 0);
    EXPECT_EQ(event.value().length(), 0);

    const parameterEvent parameter(nullptr);
    EXPECT_EQ(parameter.command().length(), 0);
}

TEST(EventViews, RevertiveSkipsTheUnreadWord)
{
    const revertiveRecord record{5, 777, 12, 34};
    const revertiveEvent event(&record);
    EXPECT_EQ(event.device(), 5);
    EXPECT_EQ(event.index(), 12);
    EXPECT_EQ(event.state(), 34);
}

TEST(EventViews, DatabaseNameRunsPastTheDeclaredRecord)
{
    const char name[] = "a rather long router name";
    std::vector<char> storage(sizeof(databaseRecord) + sizeof name);
    auto* record = reinterpret_cast<databaseRecord*>(storage.data());
    record->device = 3;
    record->database = 1;
    record->index = 17;
    std::memcpy(record->name, name, sizeof name);
    const databaseEvent event(record);
    EXPECT_EQ(event.device(), 3);
    EXPECT_EQ(event.database(), 1);
    EXPECT_EQ(event.index(), 17);
    EXPECT_EQ(event.name(), name);
}
