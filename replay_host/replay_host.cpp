// replay_host: a host for the MSVC C++ ABI that replays runs recorded by
// panel_host --record-events against a panel module DLL and compares, line by
// line, everything the module does with what the recorded module did.
//
//   replay_host [--quiet] MODULE.dll RECORD...
//
// It loads the DLL with LoadLibraryA, creates the component through the
// export load_zelm_client_script with its own host link, delivers every
// recorded event through slot 1 of the component (hostEvent), answers every
// command with the recorded answer, gives back parameter answers with code
// 5 as the record says, and deletes the component through slot 0 (the
// scalar deleting destructor). The first line that differs is named (event
// number, expected line, actual line) and the program exits with 1; 0 when
// every record matched; 2 for a bad command line, a module that cannot be
// loaded or a malformed record (file:line: message).
//
// Written for the MSVC ABI with the C runtime only. The interfaces below
// are declared here from the host's side of the contract (slot order,
// record layouts), not taken from the module's headers, so that a module
// whose own headers drifted fails the replay.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace {

// ---- The module's interfaces as the host sees them --------------------------

// The component: slot 0 the destructor (under MSVC one slot, the scalar
// deleting destructor, which `delete` calls), slot 1 hostEvent.
class panel_component {
public:
    virtual ~panel_component() {}
    virtual char* hostEvent(std::intptr_t data, std::int32_t code) = 0;
};

using load_function = panel_component* (*)(void* hostLink, const char* data);

struct revertive_record {
    std::int32_t device;
    std::int32_t reserved;
    std::int32_t index;
    std::int32_t state;
};

struct command_text_record {
    const char* command;
    const char* subs[32];
    const char* value;
    std::int32_t subCount;
    bool hasValue;
    char* buffer;
};

struct button_record {
    std::int32_t reserved0;
    std::int32_t reserved1;
    const char* panel;
    const char* id;
    const command_text_record* text;
};

const std::size_t databaseNameOffset = 4 * sizeof(std::int32_t);  // the name follows four int32

// ---- Small helpers ------------------------------------------------------------

[[noreturn]] void outOfMemory()
{
    std::fputs("replay_host: out of memory\n", stderr);
    std::exit(2);
}

void* allocate(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        outOfMemory();
    return block;
}

char* copyText(const char* text, std::size_t length)
{
    char* copy = static_cast<char*>(allocate(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

// A growing text buffer; release() hands its block over.
struct text_buffer {
    char* data = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;

    text_buffer() = default;
    ~text_buffer() { std::free(data); }
    text_buffer(const text_buffer&) = delete;
    text_buffer& operator=(const text_buffer&) = delete;
    char* release()
    {
        char* block = data;
        data = nullptr;
        length = capacity = 0;
        return block;
    }

    void add(const char* text, std::size_t count)
    {
        if (length + count + 1 > capacity) {
            std::size_t wanted = capacity == 0 ? 256 : capacity * 2;
            while (wanted < length + count + 1)
                wanted *= 2;
            char* grown = static_cast<char*>(std::realloc(data, wanted));
            if (grown == nullptr)
                outOfMemory();
            data = grown;
            capacity = wanted;
        }
        std::memcpy(data + length, text, count);
        length += count;
        data[length] = '\0';
    }
    void add(const char* text) { add(text, std::strlen(text)); }
    void add(char c) { add(&c, 1); }
    const char* text() const { return data == nullptr ? "" : data; }
};

// A text as panel_host's record writes it: null, or in double quotes with
// \\ \" \n \r \t and \xHH escaped.
void addRecordText(text_buffer& out, const char* text)
{
    if (text == nullptr) {
        out.add("null");
        return;
    }
    out.add('"');
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        switch (byte) {
        case '\\':
            out.add("\\\\");
            break;
        case '"':
            out.add("\\\"");
            break;
        case '\n':
            out.add("\\n");
            break;
        case '\r':
            out.add("\\r");
            break;
        case '\t':
            out.add("\\t");
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                out.add(escaped);
            } else {
                out.add(*c);
            }
        }
    }
    out.add('"');
}

// ---- The record ------------------------------------------------------------------

struct record_file {
    const char* path = nullptr;
    char** lines = nullptr;
    int lineCount = 0;
    int next = 0;  // index of the next line to read
};

bool readRecord(const char* path, record_file& record)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    text_buffer all;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        all.add(chunk, got);
    std::fclose(file);
    record.path = path;
    int capacity = 0;
    const char* start = all.text();
    while (*start != '\0') {
        const char* end = std::strchr(start, '\n');
        std::size_t length = end == nullptr ? std::strlen(start) : static_cast<std::size_t>(end - start);
        if (length > 0 && start[length - 1] == '\r')
            --length;
        if (record.lineCount == capacity) {
            capacity = capacity == 0 ? 256 : capacity * 2;
            auto** grown =
                static_cast<char**>(std::realloc(record.lines, sizeof(char*) * static_cast<std::size_t>(capacity)));
            if (grown == nullptr)
                outOfMemory();
            record.lines = grown;
        }
        record.lines[record.lineCount++] = copyText(start, length);
        if (end == nullptr)
            break;
        start = end + 1;
    }
    return true;
}

[[noreturn]] void badRecord(const record_file& record, int line, const char* message)
{
    std::fprintf(stderr, "%s:%d: %s\n", record.path, line + 1, message);
    std::exit(2);
}

// Field readers over one record line; each moves `at` past the field and
// its following blank.
bool readNumber(const char*& at, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(at, &end, 10);
    if (end == at || (*end != ' ' && *end != '\0'))
        return false;
    at = *end == ' ' ? end + 1 : end;
    return true;
}

bool readWord(const char*& at, const char* word)
{
    const std::size_t length = std::strlen(word);
    if (std::strncmp(at, word, length) != 0 || (at[length] != ' ' && at[length] != '\0'))
        return false;
    at += at[length] == ' ' ? length + 1 : length;
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A text field: null, or a quoted text. `text` becomes a new block (null for null).
bool readText(const char*& at, char*& text)
{
    text = nullptr;
    if (readWord(at, "null"))
        return true;
    if (*at != '"')
        return false;
    text_buffer out;
    out.add("", 0);
    for (++at; *at != '"'; ++at) {
        if (*at == '\0')
            return false;
        if (*at != '\\') {
            out.add(*at);
            continue;
        }
        ++at;
        switch (*at) {
        case '\\':
            out.add('\\');
            break;
        case '"':
            out.add('"');
            break;
        case 'n':
            out.add('\n');
            break;
        case 'r':
            out.add('\r');
            break;
        case 't':
            out.add('\t');
            break;
        case 'x': {
            const int high = hexDigit(at[1]);
            const int low = high < 0 ? -1 : hexDigit(at[2]);
            if (low < 0)
                return false;
            out.add(static_cast<char>(high * 16 + low));
            at += 2;
            break;
        }
        default:
            return false;
        }
    }
    ++at;
    if (*at == ' ')
        ++at;
    else if (*at != '\0')
        return false;
    text = out.release();
    return true;
}

// ---- The replay ------------------------------------------------------------------

struct handed_out {
    char* text;
    int command;
};

class replay;
replay* current = nullptr;  // the replay the host link serves

// The host link handed to the component: its second entry is send. The
// first entry is never called by a sound component; it has send's shape so
// that a component calling it by mistake is reported, not crashed.
class replay_link final {
public:
    virtual const char* reserved(const char* text, std::int32_t kind);
    virtual const char* send(const char* text, std::int32_t kind);
};

class replay {
public:
    replay(record_file& record, bool quiet) : record_(record), quiet_(quiet) {}

    // Runs the whole record against `load`. Returns 0 or exits.
    void run(load_function load);
    const char* onSend(const char* text, std::int32_t kind);
    const char* onReservedEntry(const char* text, std::int32_t kind);

    int events() const { return events_; }
    int compared() const { return compared_; }

private:
    const char* peek() const { return record_.next < record_.lineCount ? record_.lines[record_.next] : nullptr; }
    // Compares what the component did with the next line of the record.
    void expect(const text_buffer& actual);
    [[noreturn]] void difference(const char* expected, const char* actual);
    const char* answerFor(int command);
    void deliver(std::intptr_t data, std::int32_t code);
    void deliverEvent(const char* fields, int line);

    record_file& record_;
    bool quiet_;
    load_function load_ = nullptr;
    replay_link link_;
    panel_component* component_ = nullptr;
    int events_ = 0;
    int compared_ = 0;
    int commands_ = 0;
    handed_out* answers_ = nullptr;
    int answerCount_ = 0;
    int answerCapacity_ = 0;
    char** returned_ = nullptr;  // per event: the text its hostEvent returned
    int returnedCapacity_ = 0;
};

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

void replay::deliverEvent(const char* fields, int line)
{
    const char* at = fields;
    if (readWord(at, "create")) {
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
        return;
    }
    if (component_ == nullptr)
        badRecord(record_, line, "an event before \"create\"");
    if (readWord(at, "destroy")) {
        delete component_;  // slot 0, the scalar deleting destructor
        component_ = nullptr;
        return;
    }
    long long numbers[4] = {0, 0, 0, 0};
    if (readWord(at, "revertive")) {
        for (long long& number : numbers)
            if (!readNumber(at, number))
                badRecord(record_, line, "revertive: four numbers expected");
        revertive_record record{static_cast<std::int32_t>(numbers[0]), static_cast<std::int32_t>(numbers[1]),
                                static_cast<std::int32_t>(numbers[2]), static_cast<std::int32_t>(numbers[3])};
        deliver(reinterpret_cast<std::intptr_t>(&record), 1);
        return;
    }
    if (readWord(at, "button")) {
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
        return;
    }
    if (readWord(at, "parameter")) {
        char* text = nullptr;
        if (!readText(at, text) || *at != '\0')
            badRecord(record_, line, "parameter: a text expected");
        deliver(reinterpret_cast<std::intptr_t>(text), 3);
        std::free(text);
        return;
    }
    if (readWord(at, "timer")) {
        if (!readNumber(at, numbers[0]) || *at != '\0')
            badRecord(record_, line, "timer: an id expected");
        deliver(static_cast<std::intptr_t>(numbers[0]), 4);
        return;
    }
    if (readWord(at, "release")) {
        if (!readNumber(at, numbers[0]) || *at != '\0' || numbers[0] < 1 || numbers[0] >= events_ ||
            numbers[0] >= returnedCapacity_ || returned_[numbers[0]] == nullptr)
            badRecord(record_, line, "release: the number of an earlier event that returned a text expected");
        char* text = returned_[numbers[0]];
        returned_[numbers[0]] = nullptr;
        deliver(reinterpret_cast<std::intptr_t>(text), 5);
        return;
    }
    if (readWord(at, "database")) {
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
        return;
    }
    if (readWord(at, "code")) {
        if (!readNumber(at, numbers[0]) || !readNumber(at, numbers[1]) || *at != '\0')
            badRecord(record_, line, "code: a code and a data word expected");
        deliver(static_cast<std::intptr_t>(numbers[1]), static_cast<std::int32_t>(numbers[0]));
        return;
    }
    badRecord(record_, line, "unknown event");
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

}  // namespace

int main(int argc, char** argv)
{
    bool quiet = false;
    int first = 1;
    if (argc > first && std::strcmp(argv[first], "--quiet") == 0) {
        quiet = true;
        ++first;
    }
    if (argc - first < 2) {
        std::fputs("usage: replay_host [--quiet] MODULE.dll RECORD...\n"
                   "Replays records written by panel_host --record-events against the module; exit status 0 when\n"
                   "everything the module did matched, 1 at the first difference, 2 for bad input.\n",
                   stderr);
        return 2;
    }
    const char* modulePath = argv[first];
    HMODULE module = LoadLibraryA(modulePath);
    if (module == nullptr) {
        std::fprintf(stderr, "replay_host: cannot load %s (error %lu)\n", modulePath, GetLastError());
        return 2;
    }
    auto load =
        reinterpret_cast<load_function>(reinterpret_cast<void*>(GetProcAddress(module, "load_zelm_client_script")));
    if (load == nullptr) {
        std::fprintf(stderr, "replay_host: %s does not export load_zelm_client_script\n", modulePath);
        return 2;
    }
    int events = 0;
    int compared = 0;
    for (int i = first + 1; i < argc; ++i) {
        record_file record;
        if (!readRecord(argv[i], record)) {
            std::fprintf(stderr, "replay_host: cannot read %s\n", argv[i]);
            return 2;
        }
        replay run(record, quiet);
        run.run(load);
        events += run.events();
        compared += run.compared();
        for (int line = 0; line < record.lineCount; ++line)
            std::free(record.lines[line]);
        std::free(record.lines);
    }
    FreeLibrary(module);
    std::printf("replay_host: %d records, %d events, %d lines compared, 0 differences\n", argc - first - 1, events,
                compared);
    return 0;
}
