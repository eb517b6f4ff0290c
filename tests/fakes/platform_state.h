// The stand-in's state, shared by its Win32 and OpenGL halves.
#pragma once

#include "recording_platform.h"

#include <deque>
#include <map>
#include <string>

namespace fake {

struct PlatformState {
    Script script;
    std::vector<Call> calls;
    std::function<void(const Call&)> observer;

    std::map<std::string, WNDPROC> classes;
    std::map<HWND, WNDPROC> liveWindows;
    std::deque<MSG> posted;
    size_t nextPeek = 0;
    size_t quitsAfterScript = 0;
    size_t nextTick = 0;
    HGLRC current = NULL;
};

PlatformState& state();
// Records a call, stamped with the current context, and tells the observer.
void record(Call call);
// The same, with a copy of the record the call was given.
template <class T> void record(Call call, const T* given) {
    if (given) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(given);
        call.record.assign(bytes, bytes + sizeof *given);
    }
    record(call);
}

} // namespace fake
