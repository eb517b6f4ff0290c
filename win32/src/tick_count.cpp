// GetTickCount: milliseconds since the system started, wrapping at 2^32.
//
// Kept in a file of its own so that a test can freeze the clock by defining
// GetTickCount itself; the linker then never takes this one.
#include <windows.h>

#include <ctime>

extern "C" DWORD WINAPI GetTickCount(void) {
    // Boot time counts the time the system was suspended, as the platform's
    // tick count does.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    unsigned long long ms = static_cast<unsigned long long>(now.tv_sec) * 1000ull +
                            static_cast<unsigned long long>(now.tv_nsec) / 1000000ull;
    return static_cast<DWORD>(ms);
}
