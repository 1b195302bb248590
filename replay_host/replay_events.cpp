// The events of a record, each decoded into the record the module reads
// (in the layouts of replay_abi.h) and delivered through hostEvent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "replay.h"

namespace {

// The documented parse of an event text into its record: cut at the first
// '.'s (at most 32) and the first '='.
void parseCommandText(const char* text, command_text_record& parsed)
{
    static const char empty[] = "";
    parsed.command = empty;
    for (const char*& sub : parsed.subs)
        sub = empty;
    parsed.value = empty;
    parsed.subCount = 0;
    parsed.hasValue = false;
    parsed.buffer = nullptr;
    if (text == nullptr || *text == '\0')
        return;
    parsed.buffer = copyText(text, std::strlen(text));
    for (char* c = parsed.buffer; *c != '\0' && parsed.subCount < 32; ++c) {
        if (*c == '.') {
            if (parsed.command == empty)
                parsed.command = parsed.buffer;
            *c = '\0';
            parsed.subs[parsed.subCount++] = c + 1;
        } else if (*c == '=') {
            if (parsed.command == empty)
                parsed.command = parsed.buffer;
            *c = '\0';
            parsed.hasValue = true;
            parsed.value = c + 1;
            break;
        }
    }
    if (parsed.command == empty)
        parsed.command = parsed.buffer;
}

}  // namespace

void replay::deliverEvent(const char* fields, int line)
{
    const char* at = fields;
    if (readWord(at, "create"))
        return deliverCreate(at, line);
    if (component_ == nullptr)
        badRecord(record_, line, "an event before \"create\"");
    if (readWord(at, "destroy")) {
        delete component_;  // slot 0, the scalar deleting destructor
        component_ = nullptr;
        return;
    }
    if (readWord(at, "revertive"))
        return deliverRevertive(at, line);
    if (readWord(at, "button"))
        return deliverButton(at, line);
    if (readWord(at, "parameter"))
        return deliverParameter(at, line);
    if (readWord(at, "timer"))
        return deliverTimer(at, line);
    if (readWord(at, "release"))
        return deliverRelease(at, line);
    if (readWord(at, "database"))
        return deliverDatabase(at, line);
    if (readWord(at, "code"))
        return deliverCode(at, line);
    badRecord(record_, line, "unknown event");
}

void replay::deliverCreate(const char*& at, int line)
{
    char* data = nullptr;
    if (!readText(at, data) || *at != '\0')
        badRecord(record_, line, "create: a data text expected");
    if (component_ != nullptr)
        badRecord(record_, line, "create: the component exists already");
    component_ = load_(&link_, data);
    std::free(data);
    text_buffer actual;
    actual.add(component_ == nullptr ? "returned null" : "returned component");
    expect(actual);
}

void replay::deliverRevertive(const char*& at, int line)
{
    long long numbers[4] = {0, 0, 0, 0};
    for (long long& number : numbers)
        if (!readNumber(at, number))
            badRecord(record_, line, "revertive: four numbers expected");
    revertive_record record{static_cast<std::int32_t>(numbers[0]), static_cast<std::int32_t>(numbers[1]),
                            static_cast<std::int32_t>(numbers[2]), static_cast<std::int32_t>(numbers[3])};
    deliver(reinterpret_cast<std::intptr_t>(&record), 1);
}

void replay::deliverButton(const char*& at, int line)
{
    long long numbers[2] = {0, 0};
    char* panel = nullptr;
    char* id = nullptr;
    char* text = nullptr;
    if (!readNumber(at, numbers[0]) || !readNumber(at, numbers[1]) || !readText(at, panel) || !readText(at, id) ||
        !readText(at, text) || *at != '\0')
        badRecord(record_, line, "button: two numbers, panel, id and event text expected");
    command_text_record parsed;
    parseCommandText(text, parsed);
    button_record record{static_cast<std::int32_t>(numbers[0]), static_cast<std::int32_t>(numbers[1]), panel, id,
                         &parsed};
    deliver(reinterpret_cast<std::intptr_t>(&record), 2);
    std::free(parsed.buffer);
    std::free(panel);
    std::free(id);
    std::free(text);
}

void replay::deliverParameter(const char*& at, int line)
{
    char* text = nullptr;
    if (!readText(at, text) || *at != '\0')
        badRecord(record_, line, "parameter: a text expected");
    deliver(reinterpret_cast<std::intptr_t>(text), 3);
    std::free(text);
}

void replay::deliverTimer(const char*& at, int line)
{
    long long id = 0;
    if (!readNumber(at, id) || *at != '\0')
        badRecord(record_, line, "timer: an id expected");
    deliver(static_cast<std::intptr_t>(id), 4);
}

void replay::deliverRelease(const char*& at, int line)
{
    long long event = 0;
    if (!readNumber(at, event) || *at != '\0' || event < 1 || event >= events_ || event >= returnedCapacity_ ||
        returned_[event] == nullptr)
        badRecord(record_, line, "release: the number of an earlier event that returned a text expected");
    char* text = returned_[event];
    returned_[event] = nullptr;
    deliver(reinterpret_cast<std::intptr_t>(text), 5);
}

void replay::deliverDatabase(const char*& at, int line)
{
    long long numbers[4] = {0, 0, 0, 0};
    char* name = nullptr;
    for (long long& number : numbers)
        if (!readNumber(at, number))
            badRecord(record_, line, "database: four numbers and a name expected");
    if (!readText(at, name) || name == nullptr || *at != '\0')
        badRecord(record_, line, "database: four numbers and a name expected");
    const std::size_t nameLength = std::strlen(name);
    auto* storage = static_cast<std::int32_t*>(allocate(databaseNameOffset + nameLength + 1));
    for (int i = 0; i < 4; ++i)
        storage[i] = static_cast<std::int32_t>(numbers[i]);
    std::memcpy(reinterpret_cast<char*>(storage) + databaseNameOffset, name, nameLength + 1);
    deliver(reinterpret_cast<std::intptr_t>(storage), 6);
    std::free(storage);
    std::free(name);
}

void replay::deliverCode(const char*& at, int line)
{
    long long code = 0;
    long long data = 0;
    if (!readNumber(at, code) || !readNumber(at, data) || *at != '\0')
        badRecord(record_, line, "code: a code and a data word expected");
    deliver(static_cast<std::intptr_t>(data), static_cast<std::int32_t>(code));
}
