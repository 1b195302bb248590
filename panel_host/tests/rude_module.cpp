// A component that breaks the host protocol on request, so that the
// simulator's own checks can be seen to work. Parameter requests:
//   keep      sends "RN 31 0 1" and never gives the answer back
//   twice     gives the answer to "RN 31 0 1" back twice
//   foreign   gives back a text the host never handed out
//   bogus     sends a command the host does not know
//   badnumber sends "RC 31 x 1 ',' 0"
//   nocontrol sets a property of a control the layout does not have
//   timer     starts timer 3 and leaves it running
//   escapes   sends a notice full of terminal control sequences and
//             answers with more
// Anything else answers "ok".
#include <cstdint>
#include <cstring>

#include "zelm_client_callback.h"
#include "zelm_host_link.h"
#include "zelm_module_export.h"

namespace {

class rude_component final : public zelm_client_callback {
public:
    explicit rude_component(zelm_host_link* link) : link_(link) {}

    char* hostEvent(std::intptr_t data, std::int32_t code) override
    {
        if (code != zelmEventParameter || data == 0)
            return nullptr;
        const char* text = reinterpret_cast<const char*>(data);
        if (std::strcmp(text, "keep") == 0) {
            link_->send("RN 31 0 1", zelmSendCommand);
        } else if (std::strcmp(text, "twice") == 0) {
            const char* answer = link_->send("RN 31 0 1", zelmSendCommand);
            link_->send(answer, zelmGiveBack);
            link_->send(answer, zelmGiveBack);
        } else if (std::strcmp(text, "foreign") == 0) {
            link_->send(foreign_, zelmGiveBack);
        } else if (std::strcmp(text, "bogus") == 0) {
            link_->send("ZZ 'what'", zelmSendCommand);
        } else if (std::strcmp(text, "badnumber") == 0) {
            link_->send("RC 31 x 1 ',' 0", zelmSendCommand);
        } else if (std::strcmp(text, "nocontrol") == 0) {
            link_->send("PS '1' 'TessalyQ.zelm_ui'", zelmSendCommand);
            link_->send("TP 'text=hello' '1' 'NoSuchControl'", zelmSendCommand);
        } else if (std::strcmp(text, "timer") == 0) {
            link_->send("ET 3 250", zelmSendCommand);
        } else if (std::strcmp(text, "escapes") == 0) {
            link_->send("HN 'clear\x1b[2J\x1b]0;owned\x07 back\r'", zelmSendCommand);
            return answer_;
        }
        return nullptr;
    }

private:
    zelm_host_link* link_;
    char foreign_[4] = {'a', 'b', 'c', '\0'};
    // The "escapes" answer; the host hands it back with code 5, which this
    // component ignores, as the text is its own.
    char answer_[8] = {'o', 'k', '\x1b', '[', '1', 'm', '\x9b', '\0'};
};

}  // namespace

ZELM_MODULE_API zelm_client_callback* load_zelm_client_script(zelm_host_link* hostLink, const char*)
{
    return new (std::nothrow) rude_component(hostLink);
}
