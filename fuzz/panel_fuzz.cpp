// The whole take / undo panel through the host's event entry. The input
// decodes into the load data and then a sequence of events of every code
// with arbitrary records: any device, index and state, any names, any
// parameter text (numbers beyond 32 bits included), any button id, known or
// not. The host link answers the queries with texts or null as the input
// says. Code 5 is only used for blocks the component returned; at the end
// the host gives back what it still holds and deletes the component.
//
// Beyond "no crash, no leak, no undefined behaviour" the host link checks
// the protocol: every answer comes back exactly once, nothing else comes
// back, and "AS" is the last command.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "command_text.h"
#include "event_records.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "temp_installation.h"
#include "tessaly_q.h"

namespace {

// Matrix objects with usual and unusual settings, routers with 200, more
// than 200, no and absurd database sizes, and a router shared by two levels.
const temp_installation& installation()
{
    static const std::unique_ptr<temp_installation> made = [] {
        auto install = std::make_unique<temp_installation>();
        install->writeConfig(
            "object_settings.xml",
            "<object_settings>"
            "<object id=\"MTX\"><setting id=\"package_levels\" value=\"3\"/>"
            "<setting id=\"driver_type\" value=\"t0,t1,Alpha,Beta,Gamma\"/>"
            "<setting id=\"driver_ids\" value=\"7,20,31,32,33\"/></object>"
            "<object id=\"BIG\"><setting id=\"package_levels\" value=\"2\"/>"
            "<setting id=\"driver_type\" value=\"a,b,Wide,Wide too\"/>"
            "<setting id=\"driver_ids\" value=\"7,21,41,41,42\"/></object>"
            "<object id=\"ODD\"><setting id=\"package_levels\" value=\"x\"/>"
            "<setting id=\"driver_type\" value=\"\"/>"
            "<setting id=\"driver_ids\" value=\"-1,0,2147483647,-2147483648,43,99999999999\"/></object>"
            "<object id=\"SHORT\"><setting id=\"package_levels\" value=\"1\"/>"
            "<setting id=\"driver_ids\" value=\"7\"/></object>"
            "</object_settings>");
        install->writeDatabaseSize(31, 1, 200);
        install->writeDatabaseSize(32, 1, 300);
        install->writeDatabaseSize(41, 1, 5000);
        install->writeDatabaseSize(42, 1, 201);
        install->writeDeviceIni(43, "[Database]\nDatabaseSize_1=99999999999\n");
        install->writeDeviceIni(20, "[Database]\nDatabaseSize_1=-5\n");
        return install;
    }();
    return *made;
}

const std::int32_t devices[] = {0, 7, 20, 21, 31, 32, 33, 41, 42, 43, -1, INT_MAX, INT_MIN};
const std::int32_t numbers[] = {0, 1, 2, 3, 5, 9, -1, 199, 200, 201, 202, 4999, 5000, 5001, INT_MAX, INT_MIN};

const char* const buttonIds[] = {"Take",      "Undo",      "Clear",     "ID_L1",   "ID_L2",     "ID_L3",
                                 "Enable_L1", "Enable_L2", "Enable_L3", "ID_L4",   "Enable_L0", "ActionAll",
                                 "AckAll",    "alm_1",     "",          "TUC_BGND"};
const char* const parameterNames[] = {"srcpkg",
                                      "destpkg",
                                      "instance",
                                      "matrixobject",
                                      "uselevels",
                                      "srcnamesdatabase",
                                      "destnamesdatabase",
                                      "takelow",
                                      "takehigh",
                                      "mimicstate_L1",
                                      "mimicstate_L2",
                                      "mimicstate_L3",
                                      "takeundobgstate",
                                      "unusedleveltext",
                                      "return",
                                      "_events",
                                      "_commands",
                                      "unknown",
                                      "",
                                      "srcpkg.x"};
const char* const parameterValues[] = {
    "",      "0",   "1",      "5",       "9",           "-1",         "200",         "201",         "1,2,3",
    "3,2,1", "1,3", "0,0,0",  "1,2,3,4", "-1,2",        "MTX",        "BIG",         "ODD",         "SHORT",
    "NONE",  "all", "srcpkg", "destpkg", "2147483647",  "2147483648", "-2147483649", "99999999999", "4294967297",
    "  12",  "+5",  "12abc",  "a|b",     "2147483647,1"};
const char* const answers[] = {"12,-,40",
                               "1,2,3",
                               "-,-,-",
                               "99999999999,-2147483649,5",
                               "",
                               "a|b|c",
                               "201,202,0",
                               "text=x",
                               "alm_1,alm_2,other",
                               "statesheet=s",
                               "5000,5001,1",
                               "0,0,0",
                               "-1,-1,-1",
                               "%1%2",
                               "all=1"};

// The facility's side: answers the queries ("PS", "TG", "RN", "XI") as the
// input says, null or a text, and checks the give-backs.
class fuzz_host_link final : public zelm_host_link {
public:
    explicit fuzz_host_link(fuzz_input& input) : input_(input) {}
    virtual ~fuzz_host_link() = default;
    fuzz_host_link(const fuzz_host_link&) = delete;
    fuzz_host_link& operator=(const fuzz_host_link&) = delete;

    const char* send(const char* text, std::int32_t kind) override
    {
        if (kind == zelmGiveBack) {
            if (text == nullptr)
                return nullptr;  // a null answer given back is fine
            const auto found = outstanding_.find(text);
            check(found != outstanding_.end());  // never handed out, or back twice
            outstanding_.erase(found);
            return nullptr;
        }
        check(kind == zelmSendCommand && text != nullptr);
        check(!closed_);  // nothing after "AS"
        if (std::strcmp(text, "AS") == 0) {
            closed_ = true;
            return nullptr;
        }
        const bool query = std::strncmp(text, "TG ", 3) == 0 || std::strncmp(text, "RN ", 3) == 0 ||
                           std::strncmp(text, "XI ", 3) == 0;
        const bool layout = std::strncmp(text, "PS ", 3) == 0;
        if (!query && !layout)
            return nullptr;
        const std::uint8_t choice = input_.byte();
        if (choice % 4 == 0)
            return nullptr;
        texts_.push_back(
            std::make_unique<std::string>(choice % 4 == 1 ? std::string(input_.pick(answers)) : input_.text()));
        const char* answer = texts_.back()->c_str();
        if (query)
            outstanding_.insert(answer);  // the "PS" answer is only looked at
        return answer;
    }

    bool closed() const { return closed_; }
    bool allGivenBack() const { return outstanding_.empty(); }

private:
    fuzz_input& input_;
    std::vector<std::unique_ptr<std::string>> texts_;
    std::set<const char*> outstanding_;
    bool closed_ = false;
};

// Alarm handling is the frame's to switch; the fuzzer switches it too.
class fuzzed_panel : public Tessaly_Q {
public:
    using Tessaly_Q::Tessaly_Q;
    void setAlarmHandling(bool on) { alarmHandling = on; }
};

std::int32_t number(fuzz_input& input) { return input.flag() ? input.pick(numbers) : input.i32(); }

std::int32_t device(fuzz_input& input) { return input.flag() ? input.pick(devices) : input.i32(); }

std::string parameterValue(fuzz_input& input)
{
    return input.flag() ? std::string(input.pick(parameterValues)) : input.text();
}

void deliverRevertive(zelm_client_callback* component, fuzz_input& input)
{
    const revertiveRecord record{device(input), input.i32(), number(input), number(input)};
    component->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventRevertive);
}

void deliverButton(zelm_client_callback* component, fuzz_input& input)
{
    const std::string panelNumber = input.flag() ? std::string("1") : input.text(8);
    const std::string id = input.flag() ? std::string(input.pick(buttonIds)) : input.text(16);
    const std::string eventText = input.text(48);
    const commandText text(eventText.c_str());
    const std::uint8_t nulls = input.byte();
    const buttonRecord record{0, 0, (nulls & 1) != 0 ? nullptr : panelNumber.c_str(),
                              (nulls & 2) != 0 ? nullptr : id.c_str(), (nulls & 4) != 0 ? nullptr : &text};
    component->hostEvent(reinterpret_cast<std::intptr_t>(&record), zelmEventButton);
}

// A parameter: a known name with a chosen value, or raw text. An answer is
// held until the fuzzer gives it back.
void deliverParameter(zelm_client_callback* component, fuzz_input& input, std::vector<char*>& held)
{
    std::string text;
    if (input.flag()) {
        text = input.pick(parameterNames);
        text += '=';
        text += parameterValue(input);
    } else {
        text = input.text(80);
    }
    char* answer =
        component->hostEvent(input.flag() ? reinterpret_cast<std::intptr_t>(text.c_str()) : 0, zelmEventParameter);
    if (answer != nullptr) {
        check(std::strlen(answer) > 0);
        held.push_back(answer);
    }
}

void giveBackOne(zelm_client_callback* component, fuzz_input& input, std::vector<char*>& held)
{
    if (held.empty())
        return;
    const std::size_t which = input.byte() % held.size();
    component->hostEvent(reinterpret_cast<std::intptr_t>(held[which]), zelmEventRelease);
    held.erase(held.begin() + static_cast<std::ptrdiff_t>(which));
}

// A name change, the name stored past the record's end: exactly as long as
// the name needs, so reading past it is caught.
void deliverNameChange(zelm_client_callback* component, fuzz_input& input)
{
    const std::string name = input.text(40);
    const databaseRecord head{device(input), number(input), number(input), 0, {0}};
    std::size_t length = offsetof(databaseRecord, name) + name.size() + 1;
    if (length < sizeof(databaseRecord))
        length = sizeof(databaseRecord);
    char* record = static_cast<char*>(std::malloc(length));
    check(record != nullptr);
    std::memcpy(record, &head, offsetof(databaseRecord, name));
    std::memcpy(record + offsetof(databaseRecord, name), name.c_str(), name.size() + 1);
    component->hostEvent(reinterpret_cast<std::intptr_t>(record), zelmEventDatabaseChange);
    std::free(record);
}

// One event of the fuzzer's choosing.
void deliverOne(fuzzed_panel* panel, fuzz_input& input, std::vector<char*>& held)
{
    zelm_client_callback* component = panel;
    switch (input.byte() % 10) {
    case 0:
    case 1:
        deliverRevertive(component, input);
        break;
    case 2:
        deliverButton(component, input);
        break;
    case 3:
    case 4:
        deliverParameter(component, input, held);
        break;
    case 5:  // timer
        component->hostEvent(static_cast<std::intptr_t>(input.flag() ? 1 : input.i32()), zelmEventTimer);
        break;
    case 6:
        giveBackOne(component, input, held);
        break;
    case 7:
        deliverNameChange(component, input);
        break;
    case 8: {  // code 7, and codes no host sends
        static const std::int32_t codes[] = {7, 0, 8, -1, INT_MAX, INT_MIN};
        component->hostEvent(static_cast<std::intptr_t>(input.i32()), input.pick(codes));
        break;
    }
    default:
        panel->setAlarmHandling(input.flag());
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    installation();
    fuzz_input input(data, size);
    fuzz_host_link link(input);
    const std::string loadData = input.flag() ? std::string() : input.text(16);
    auto* panel = new fuzzed_panel(&link, loadData.c_str());
    zelm_client_callback* component = panel;
    std::vector<char*> held;  // answer blocks the host has not given back yet
    for (int events = 0; events < 400 && !input.empty(); ++events)
        deliverOne(panel, input, held);
    for (char* block : held)
        component->hostEvent(reinterpret_cast<std::intptr_t>(block), zelmEventRelease);
    delete component;
    check(link.closed());
    check(link.allGivenBack());
    return 0;
}
