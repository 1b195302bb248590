// One operation per host command: each builds its exact line and sends it
// with kind 0. The three queries copy the answer and give it back at once.
#include <cstddef>

#include "platform/debug_output.h"
#include "zelm_script_helper.h"

namespace {

// The numeric commands are formatted without touching the heap. The longest
// line is "RR" with three 11-character numbers and " 'ADD'": 44 characters.
constexpr std::size_t numericLineRoom = 45;
static_assert(sizeof("RR -2147483648 -2147483648 -2147483648 'ADD'") == numericLineRoom,
              "room for the longest numeric command");

class numericLine {
public:
    explicit numericLine(const char* word) noexcept { append(word); }

    numericLine& number(std::int32_t value) noexcept
    {
        char digits[12];
        int count = 0;
        // Work on the negative side so that the 32-bit minimum needs no
        // special case.
        std::int64_t rest = value < 0 ? value : -static_cast<std::int64_t>(value);
        do {
            digits[count++] = static_cast<char>('0' - rest % 10);
            rest /= 10;
        } while (rest != 0);
        put(' ');
        if (value < 0)
            put('-');
        while (count > 0)
            put(digits[--count]);
        return *this;
    }

    numericLine& append(const char* text) noexcept
    {
        for (; *text != '\0'; ++text)
            put(*text);
        return *this;
    }

    const char* text() noexcept
    {
        text_[used_] = '\0';
        return text_;
    }

private:
    void put(char c) noexcept
    {
        if (used_ + 1 < numericLineRoom)
            text_[used_++] = c;
    }

    char text_[numericLineRoom] = {};
    std::size_t used_ = 0;
};

// "WORD 'a' 'b' ...": each text argument wrapped in single quotes and put
// in verbatim (a quote inside it is not escaped).
void appendQuoted(zelm_string&) noexcept {}

template <typename... Rest>
void appendQuoted(zelm_string& line, const zelm_string& first, const Rest&... rest) noexcept
{
    line += " '";
    line += first;
    line += '\'';
    appendQuoted(line, rest...);
}

template <typename... Texts>
zelm_string quotedLine(const char* word, const Texts&... texts) noexcept
{
    zelm_string line(word);
    appendQuoted(line, texts...);
    return line;
}

}  // namespace

const char* zelm_script_helper::sendCommand(const char* text)
{
    if (hostLink == nullptr)
        return nullptr;
    return hostLink->send(text, zelmSendCommand);
}

void zelm_script_helper::giveBack(const char* answer)
{
    if (hostLink != nullptr)
        hostLink->send(answer, zelmGiveBack);
}

bool zelm_script_helper::showPanel(const zelm_string& panel, const zelm_string& file, const zelm_string& extra)
{
    zelm_string path;
    if (!loadData.isEmpty()) {
        path = loadData;
        path += '/';
    }
    path += file;
    zelm_string line = quotedLine("PS", panel, path);
    if (!extra.isEmpty())
        appendQuoted(line, extra);
    if (hostLink == nullptr)
        return true;
    return sendCommand(line) != nullptr;
}

void zelm_script_helper::notifyHost(const zelm_string& text) { sendCommand(quotedLine("HN", text)); }

void zelm_script_helper::putText(const zelm_string& property, const zelm_string& value, const zelm_string& panel,
                                 const zelm_string& control)
{
    // "property=value" goes straight into the line: a separate setting text
    // would cost an allocation of its own once it outgrows inline storage.
    zelm_string line("TP '");
    line += property;
    line += '=';
    line += value;
    line += '\'';
    appendQuoted(line, panel, control);
    sendCommand(line);
}

void zelm_script_helper::putText(const zelm_string& text, const zelm_string& panel, const zelm_string& control)
{
    sendCommand(quotedLine("TP", text, panel, control));
}

void zelm_script_helper::getText(const zelm_string& property, const zelm_string& panel, const zelm_string& control,
                                 zelm_string& out)
{
    const zelm_string line = quotedLine("TG", panel, control, property);
    if (hostLink == nullptr) {
        out = zelm_string();
        return;
    }
    const char* answer = sendCommand(line);
    if (answer == nullptr) {
        out = zelm_string();
        return;
    }
    const zelm_string copy(answer);
    giveBack(answer);
    if (property == "all") {
        out = copy;
        return;
    }
    zelm_string name;
    zelm_string value;
    copy.split('=', name, value);
    if (name == property) {
        out = value;
        return;
    }
    debugMessage(zelm_string("textGet: value returned \"%1\" was not the value requested \"%2\" "
                             "(value returned was \"%3\" from control \"%4\", on panel \"%5\")"),
                 name, property, copy, control, panel);
    out = zelm_string();
}

void zelm_script_helper::enableControl(const zelm_string& panel, const zelm_string& control)
{
    sendCommand(quotedLine("CE", panel, control));
}

void zelm_script_helper::disableControl(const zelm_string& panel, const zelm_string& control)
{
    sendCommand(quotedLine("CD", panel, control));
}

void zelm_script_helper::startTimer(std::int32_t id, std::int32_t interval)
{
    numericLine line("ET");
    line.number(id);
    if (interval != 0)
        line.number(interval);
    sendCommand(line.text());
}

void zelm_script_helper::stopTimer(std::int32_t id)
{
    numericLine line("ET");
    line.number(id);
    sendCommand(line.text());
}

void zelm_script_helper::routeCrosspoint(std::int32_t device, std::int32_t source, std::int32_t destination,
                                         const zelm_string& extra, bool flag)
{
    // Concatenated rather than filled with arg(): a '%' in the extra text
    // must not be taken for a placeholder.
    zelm_string line("RC ");
    line += zelm_string(device);
    line += ' ';
    line += zelm_string(source);
    line += ' ';
    line += zelm_string(destination);
    line += " ',";
    line += extra;
    line += flag ? "' 1" : "' 0";
    sendCommand(line);
}

void zelm_script_helper::lookupName(std::int32_t device, std::int32_t database, std::int32_t index, zelm_string& out)
{
    if (hostLink == nullptr)
        return;
    zelm_string line("RN ");
    line += zelm_string(device);
    line += ' ';
    line += zelm_string(database);
    line += ' ';
    line += zelm_string(index);
    const char* answer = sendCommand(line);
    if (answer != nullptr)
        out = answer;
    // The host expects every answer back, a null one included.
    giveBack(answer);
}

void zelm_script_helper::pollRevertives(std::int32_t device, std::int32_t first, std::int32_t last)
{
    numericLine line("RP");
    line.number(device).number(first).number(last);
    sendCommand(line.text());
}

void zelm_script_helper::registerRevertives(std::int32_t device, std::int32_t first, std::int32_t last, bool add)
{
    numericLine line("RR");
    line.number(device).number(first).number(last);
    if (add)
        line.append(" 'ADD'");
    sendCommand(line.text());
}

void zelm_script_helper::unregisterRevertives(std::int32_t device)
{
    numericLine line("RU");
    line.number(device);
    sendCommand(line.text());
}

zelm_stringlist zelm_script_helper::listControls(const zelm_string& panel, const zelm_string& prefix)
{
    if (hostLink == nullptr)
        return zelm_stringlist();
    const char* answer = sendCommand(quotedLine("XI", panel, prefix));
    if (answer == nullptr)
        return zelm_stringlist();
    zelm_stringlist controls(zelm_string(answer), ',');
    giveBack(answer);
    return controls;
}

void zelm_script_helper::debugMessage(const zelm_string& format, const zelm_string& a1, const zelm_string& a2,
                                      const zelm_string& a3, const zelm_string& a4, const zelm_string& a5,
                                      const zelm_string& a6, const zelm_string& a7, const zelm_string& a8,
                                      const zelm_string& a9)
{
    const zelm_string message = format.arg(a1).arg(a2).arg(a3).arg(a4).arg(a5).arg(a6).arg(a7).arg(a8).arg(a9);
    zelm_platform::debugOutput(message.c_str());
}
