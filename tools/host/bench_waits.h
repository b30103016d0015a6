// The benchmark's network figures: how late input is dispatched while a
// request is waited for, and what a request costs a bare Winsock client.
#pragma once

#include <string>
#include <vector>

namespace tesra::bench {

// During one POST that the stand-in memo server (tools, the stand-ins
// build's folder) answers after delayMs, posts count window messages and key
// strokes at random moments from another thread and prints, from posting
// to dispatch, the median and the 99th percentile.
void InputLatencyDuringPost(const std::string& tools, int count = 100, int delayMs = 2000);

// Each request sent as a plain blocking Winsock client sends it: connect,
// send, read to the close; rounds times, every request in turn. The
// milliseconds of each round (all the requests), or empty on a failure.
std::vector<double> BareWinsockRoundTrips(const std::string& host, int port, const std::vector<std::string>& requests,
                                          int rounds);

}  // namespace tesra::bench
