// cubes_demo's one window object, and a run of its WinMain as in a fresh
// process: g_window freshly constructed, as static initialisation leaves it.
#pragma once

#include "gl_window.h"
#include "run_program.h"

extern GlWindow g_window;

namespace contract {

inline int runCubesDemo(const fake::Script& script,
                        std::function<void(const fake::Call&)> observer = nullptr) {
    g_window = GlWindow();
    return runWinMain(script, observer);
}

} // namespace contract
