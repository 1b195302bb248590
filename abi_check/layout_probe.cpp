// The translation unit that the ABI check compiles for a foreign target with
// the compiler's table dump on. It includes only our own headers; the
// functions below make the compiler lay out the tables a host calls through:
// the component's (deleted through slot 0), the host link's, and those of a
// minimal panel on the frame (which the Itanium ABI emits only where a
// constructor runs).
#include "record_layout_asserts.h"
#include "tessaly_q.h"
#include "zelm_host_link.h"

// Outside any namespace, so that the dump names it plainly.
class frame_probe final : public zelm_script_helper {
public:
    using zelm_script_helper::zelm_script_helper;

protected:
    void onButton(buttonEvent) override {}
    std::int32_t onRevertive(revertiveEvent) override { return 0; }
    zelm_string onParameter(parameterEvent) override { return zelm_string(); }
    void onTimer(std::int32_t) override {}
};

zelm_client_callback* zelm_layout_probe_make(zelm_host_link* hostLink) { return new frame_probe(hostLink, ""); }

void zelm_layout_probe_delete(zelm_client_callback* component, Tessaly_Q* panel)
{
    delete component;
    delete panel;
}

const char* zelm_layout_probe_send(zelm_host_link* hostLink) { return hostLink->send("", zelmSendCommand); }
