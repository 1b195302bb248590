// link_settings: where a router is and how long its link waits, shared by
// the connection (tcp_connection.h), the request queue (request_queue.h)
// and the protocol links on top of them (network_link.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct link_timing {
    std::chrono::milliseconds ack{1000};    // for the router's ACK of a request
    std::chrono::milliseconds reply{1000};  // for the report that follows the ACK
    std::chrono::milliseconds firstRetry{500};
    std::chrono::milliseconds longestRetry{8000};
    std::chrono::milliseconds connect{2000};  // for a connection to be made
};

struct link_address {
    std::string host;
    std::uint16_t port = 0;
};

// "0.5 s", "8 s": a span as the transcript tells it.
inline std::string secondsText(std::chrono::milliseconds span)
{
    auto ms = span.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}
