// Runs the program's WinMain against the stand-in, as the platform's start-up
// code would, with a fresh script and, if given, an observer of each call.
#pragma once

#include "recording_platform.h"

namespace contract {

inline int runWinMain(const fake::Script& script, std::function<void(const fake::Call&)> observer = nullptr) {
    fake::reset(script);
    fake::observe(observer);
    char commandLine[] = "";
    const int exitCode = WinMain(NULL, NULL, commandLine, SW_SHOWDEFAULT);
    fake::observe(nullptr);
    return exitCode;
}

// The calls from the first PeekMessageA on: the loop and what follows it.
inline std::vector<fake::Call> fromTheLoopOn(const std::vector<fake::Call>& calls) {
    return std::vector<fake::Call>(calls.begin() + fake::indexOf(calls, "PeekMessageA"), calls.end());
}

} // namespace contract
