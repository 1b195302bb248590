// The host link: the host-side object through which a component sends its
// commands. The host creates it, hands it to the module's export and keeps it
// alive for as long as the component lives.
#pragma once

#include <cstdint>

class zelm_host_link {
public:
    // Belongs to the host. The component never calls it; it exists so that
    // send() is the second entry of the table of virtual operations under
    // every C++ ABI (a virtual destructor would take one slot under MSVC and
    // two under the Itanium ABI).
    virtual void hostReserved() {}

    // kind 0: `text` is one command line; the answer is a host-owned text or
    //         null. The component copies an answer it reads and gives it back
    //         with kind 5.
    // kind 5: `text` is an answer given back; the result is ignored.
    // Called on the host's event thread, from inside event handling only.
    virtual const char* send(const char* text, std::int32_t kind) = 0;

protected:
    // Never deleted through this type: the host owns the concrete object.
    ~zelm_host_link() = default;
};

// Send kinds.
constexpr std::int32_t zelmSendCommand = 0;
constexpr std::int32_t zelmGiveBack = 5;
