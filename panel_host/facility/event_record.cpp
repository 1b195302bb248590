#include "facility/event_record.h"

#include <cstdio>

#include "event_records.h"
#include "zelm_client_callback.h"

std::string recordText(const char* text)
{
    if (text == nullptr)
        return "null";
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        switch (byte) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                out += escaped;
            } else {
                out += *c;
            }
        }
    }
    return out + "\"";
}

namespace {

// The event text a commandText was parsed from: the parse only cut it at
// its first '.'s and first '=', so putting those back restores it.
std::string eventText(const commandText* text)
{
    if (text == nullptr || text->buffer == nullptr)
        return "null";
    std::string whole = text->command;
    for (int sub = 0; sub < text->subCount && sub < commandText::maxSubs; ++sub)
        whole += std::string(".") + text->subs[sub];
    if (text->hasValue)
        whole += std::string("=") + text->value;
    return recordText(whole.c_str());
}

std::string number(std::int64_t value) { return std::to_string(value); }

}  // namespace

event_recorder::event_recorder(zelm_host_link& host, const std::string& path) : host_(host), out_(path)
{
    out_ << "zelm-event-record 1\n";
}

event_recorder::~event_recorder() = default;

const char* event_recorder::send(const char* text, std::int32_t kind)
{
    if (kind == zelmGiveBack) {
        handout_book<int>::found given = answers_.giveBack(text);
        out_ << "give-back "
             << (given.kind == give_back::null ? std::string("null")
                 : given.what == nullptr       ? "foreign"
                                               : number(*given.what))
             << '\n';
        return host_.send(text, kind);
    }
    if (kind != zelmSendCommand) {
        out_ << "send " << kind << ' ' << recordText(text) << '\n';
        return host_.send(text, kind);
    }
    ++commands_;
    out_ << "sent " << recordText(text) << '\n';
    const char* answer = host_.send(text, kind);
    out_ << "answer " << recordText(answer) << '\n';
    if (answer != nullptr)
        answers_.handOut(answer, commands_);
    return answer;
}

void event_recorder::beginEvent(const std::string& what) { out_ << "event " << ++events_ << ' ' << what << '\n'; }

void event_recorder::create(const std::string& data) { beginEvent("create " + recordText(data.c_str())); }

void event_recorder::created(bool component)
{
    out_ << "returned " << (component ? "component" : "null") << '\n';
    out_.flush();
}

void event_recorder::event(std::intptr_t data, std::int32_t code)
{
    switch (code) {
    case zelmEventRevertive: {
        const auto* record = reinterpret_cast<const revertiveRecord*>(data);
        beginEvent("revertive " + number(record->device) + ' ' + number(record->reserved) + ' ' +
                   number(record->index) + ' ' + number(record->state));
        return;
    }
    case zelmEventButton: {
        const auto* record = reinterpret_cast<const buttonRecord*>(data);
        beginEvent("button " + number(record->reserved0) + ' ' + number(record->reserved1) + ' ' +
                   recordText(record->panel) + ' ' + recordText(record->id) + ' ' + eventText(record->text));
        return;
    }
    case zelmEventParameter:
        beginEvent("parameter " + recordText(reinterpret_cast<const char*>(data)));
        return;
    case zelmEventTimer:
        beginEvent("timer " + number(static_cast<std::int64_t>(data)));
        return;
    case zelmEventRelease: {
        handout_book<int>::found released = returned_.giveBack(reinterpret_cast<const char*>(data));
        beginEvent("release " + (released.what == nullptr ? std::string("foreign") : number(*released.what)));
        return;
    }
    case zelmEventDatabaseChange: {
        const auto* record = reinterpret_cast<const databaseRecord*>(data);
        beginEvent("database " + number(record->device) + ' ' + number(record->database) + ' ' + number(record->index) +
                   ' ' + number(record->reserved) + ' ' + recordText(record->name));
        return;
    }
    default:
        beginEvent("code " + number(code) + ' ' + number(static_cast<std::int64_t>(data)));
    }
}

void event_recorder::returned(const char* result)
{
    if (result != nullptr)
        returned_.handOut(result, events_);
    out_ << "returned " << recordText(result) << '\n';
    out_.flush();
}

void event_recorder::destroy() { beginEvent("destroy"); }
