#pragma once

namespace tarn {

// Phases of the exchange that produced the final response, in milliseconds,
// each at least 0. DNS, TCP and TLS are 0 when that exchange reused a
// connection; TLS is 0 without TLS. The total covers every redirect.
struct HTTPPhaseTimings {
    double dnsMs = 0;
    double tcpMs = 0;
    double tlsMs = 0;
    double ttfbMs = 0;
    double downloadMs = 0;
    double totalMs = 0;

    friend bool operator==(const HTTPPhaseTimings&, const HTTPPhaseTimings&) = default;
};

} // namespace tarn
