// What a process holds that a leak would grow: open descriptors, resident
// memory, threads, and its windows on the X server.
#pragma once

#include <string>

namespace robustness {

class OutsideClient;

struct Footprint {
    int descriptors = 0;
    long residentKb = 0;
    int threads = 0;
    int topLevelWindows = 0; // on the server, seen by the outside client

    std::string text() const;
    static bool parse(const std::string& text, Footprint& footprint);
};

Footprint measureFootprint(OutsideClient& outside);

} // namespace robustness
