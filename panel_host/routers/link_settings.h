// link_settings: where a router is, how long its link waits and what it
// bounds, shared by the connection (tcp_connection.h), the request queue
// (request_queue.h) and the protocol links on top of them (network_link.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

struct link_timing {
    std::chrono::milliseconds ack{1000};    // for the router's ACK of a request
    std::chrono::milliseconds reply{1000};  // for the report that follows the ACK
    std::chrono::milliseconds firstRetry{500};
    std::chrono::milliseconds longestRetry{8000};
    std::chrono::milliseconds connect{2000};  // for a connection to be made
    // Bounds against a peer that floods or reads slowly. Bytes waiting to
    // be sent: beyond this the link is dropped and tried again.
    std::size_t maxOutgoing = std::size_t(1) << 20;
    // Lines about one router in the transcript, and SW-P-08 NAKs sent, per
    // second; the rest are counted.
    int notesPerSecond = 20;
    int naksPerSecond = 20;
    // The socket's own send buffer in bytes; 0 leaves the system's (a test
    // makes it small to reach the bound above quickly).
    int sendBuffer = 0;
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

// "1 MiB", "64 KiB", "300 bytes".
inline std::string bytesText(std::size_t bytes)
{
    if (bytes >= (std::size_t(1) << 20) && bytes % (std::size_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}
