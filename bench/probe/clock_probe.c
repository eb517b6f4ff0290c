// Preloaded (LD_PRELOAD) beside the frame probe for the runs that must be
// repeatable: the boot-time clock, which the programs read as their tick
// count, moves 16 ms per presented frame from a fixed start instead of with
// real time. Every frame then shows the same pose in every run of every
// program, so the work per frame and the picture can be compared exactly.
// Other clocks pass through.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <time.h>

typedef int (*ClockFunction)(clockid_t, struct timespec*);
typedef long (*FramesFunction)(void);

static const long long startMs = 123456789; // about a day and a half of uptime
static const long long msPerFrame = 16;

int clock_gettime(clockid_t clock, struct timespec* time) {
    static ClockFunction realClock;
    static FramesFunction framesPresented;
    if (!realClock) {
        realClock = (ClockFunction)dlsym(RTLD_NEXT, "clock_gettime");
        framesPresented = (FramesFunction)dlsym(RTLD_DEFAULT, "bench_frames_presented");
    }
    if (clock != CLOCK_BOOTTIME || !framesPresented)
        return realClock(clock, time);
    long long ms = startMs + msPerFrame * framesPresented();
    time->tv_sec = ms / 1000;
    time->tv_nsec = (ms % 1000) * 1000000;
    return 0;
}
