// Preloaded into a program under measurement (LD_PRELOAD): counts the frames
// it presents by wrapping glXSwapBuffers, and the waits on the X server it
// makes before its first frame, and ends it when the run is over. The program
// itself is not changed and knows nothing of this.
//
// Driven by the environment the bench harness sets (nothing here is read by
// the programs):
//   BENCH_RESULT            file that receives "key value" lines; without it
//                           the probe only passes calls through
//   BENCH_EXEC_NS           CLOCK_MONOTONIC time, in ns, just before exec
//   BENCH_WARMUP_SECONDS    time after the first frame before counting starts
//   BENCH_MEASURE_SECONDS   length of the counted window; then the run ends
//   BENCH_STOP_AFTER_FRAMES end the run once this many frames were presented
//   BENCH_MARK_FROM/TO      frame numbers between which the per-frame work is
//                           taken: callgrind's counters are zeroed at FROM and
//                           dumped at TO, and the allocation probe (if
//                           preloaded) is read at both. Under callgrind the
//                           work up to the first frame is dumped as well.
//   BENCH_HASH_FRAME        hash the back buffer just before this frame is
//                           presented, to check that two programs draw the
//                           same picture
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <valgrind/callgrind.h>
#include <xcb/xcb.h>

#include "alloc_counts.h"

typedef void (*SwapFunction)(Display*, GLXDrawable);
typedef int (*PollFunction)(struct pollfd*, nfds_t, int);
typedef void* (*WaitForReplyFunction)(xcb_connection_t*, unsigned int, xcb_generic_error_t**);
typedef void* (*WaitForReply64Function)(xcb_connection_t*, uint64_t, xcb_generic_error_t**);
typedef xcb_generic_error_t* (*RequestCheckFunction)(xcb_connection_t*, xcb_void_cookie_t);
typedef void (*AllocCountsFunction)(struct AllocCounts*);

static struct {
    int active;
    char resultPath[4096];
    int64_t execNs;
    double warmupSeconds;
    double measureSeconds;
    long stopAfterFrames;
    long markFrom, markTo;
    long hashFrame;

    long frames; // presented so far
    int64_t firstFrameNs;
    int64_t windowStartNs;
    long windowStartFrame;
    int windowOpen;

    // Before the first frame returned: round trips to the X server, and
    // requests whose answer was waited for.
    _Atomic long roundTrips;
    _Atomic long repliesAwaited;

    struct AllocCounts allocsAtFrom;
    struct AllocCounts allocsAtTo;
    AllocCountsFunction readAllocs;
    int64_t markFromNs;
    int64_t markToNs;

    unsigned long long frameHash;
    int fbConfigId;
    int visualId;
} probe;

static int64_t nowNs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static double envDouble(const char* name, double fallback) {
    const char* value = getenv(name);
    return value && *value ? strtod(value, NULL) : fallback;
}

static long envLong(const char* name, long fallback) {
    const char* value = getenv(name);
    return value && *value ? strtol(value, NULL, 10) : fallback;
}

__attribute__((constructor)) static void readSettings(void) {
    const char* path = getenv("BENCH_RESULT");
    if (!path || !*path || strlen(path) >= sizeof probe.resultPath)
        return;
    strcpy(probe.resultPath, path);
    probe.execNs = (int64_t)envDouble("BENCH_EXEC_NS", 0);
    probe.warmupSeconds = envDouble("BENCH_WARMUP_SECONDS", 0);
    probe.measureSeconds = envDouble("BENCH_MEASURE_SECONDS", 0);
    probe.stopAfterFrames = envLong("BENCH_STOP_AFTER_FRAMES", 0);
    probe.markFrom = envLong("BENCH_MARK_FROM", 0);
    probe.markTo = envLong("BENCH_MARK_TO", 0);
    probe.hashFrame = envLong("BENCH_HASH_FRAME", 0);
    probe.readAllocs = (AllocCountsFunction)dlsym(RTLD_DEFAULT, "bench_alloc_counts");
    probe.active = 1;
}

static void appendLine(char* text, size_t size, const char* key, long long value) {
    size_t used = strlen(text);
    if (used < size)
        snprintf(text + used, size - used, "%s %lld\n", key, value);
}

// Writes what was measured and ends the process at once: no exit handlers,
// no tear-down, so the end costs both programs nothing.
static void finishRun(void) {
    char text[2048] = "";
    int64_t windowNs = probe.windowOpen ? nowNs() - probe.windowStartNs : 0;
    appendLine(text, sizeof text, "frames_presented", probe.frames);
    if (probe.execNs)
        appendLine(text, sizeof text, "startup_ns", probe.firstFrameNs - probe.execNs);
    appendLine(text, sizeof text, "setup_round_trips", probe.roundTrips);
    appendLine(text, sizeof text, "setup_replies_awaited", probe.repliesAwaited);
    appendLine(text, sizeof text, "fbconfig_id", probe.fbConfigId);
    appendLine(text, sizeof text, "visual_id", probe.visualId);
    if (probe.windowOpen) {
        appendLine(text, sizeof text, "window_frames", probe.frames - probe.windowStartFrame);
        appendLine(text, sizeof text, "window_ns", windowNs);
    }
    if (probe.markTo && probe.frames >= probe.markTo) {
        appendLine(text, sizeof text, "marked_frames", probe.markTo - probe.markFrom);
        appendLine(text, sizeof text, "marked_ns", probe.markToNs - probe.markFromNs);
        if (probe.readAllocs) {
            appendLine(text, sizeof text, "marked_allocations",
                       probe.allocsAtTo.allocations - probe.allocsAtFrom.allocations);
            appendLine(text, sizeof text, "marked_bytes", probe.allocsAtTo.bytes - probe.allocsAtFrom.bytes);
        }
    }
    if (probe.hashFrame && probe.frames >= probe.hashFrame)
        appendLine(text, sizeof text, "frame_hash", (long long)(probe.frameHash & 0x7FFFFFFFFFFFFFFFull));

    int fd = open(probe.resultPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        ssize_t written = write(fd, text, strlen(text));
        (void)written;
        close(fd);
    }
    _exit(0);
}

static void recordPixelFormat(Display* display) {
    GLXContext context = glXGetCurrentContext();
    if (!context)
        return;
    glXQueryContext(display, context, GLX_FBCONFIG_ID, &probe.fbConfigId);
    int count = 0;
    int wanted[] = {GLX_FBCONFIG_ID, probe.fbConfigId, None};
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
    if (configs && count > 0)
        glXGetFBConfigAttrib(display, configs[0], GLX_VISUAL_ID, &probe.visualId);
    if (configs)
        XFree(configs);
}

// FNV-1a over the back buffer as RGBA bytes.
static unsigned long long hashBackBuffer(void) {
    int width = 800, height = 600;
    unsigned char* pixels = malloc((size_t)width * height * 4);
    if (!pixels)
        return 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    unsigned long long hash = 1469598103934665603ull;
    for (size_t i = 0; i < (size_t)width * height * 4; ++i)
        hash = (hash ^ pixels[i]) * 1099511628211ull;
    free(pixels);
    return hash;
}

// How many frames the program has presented; read by the clock probe.
long bench_frames_presented(void) {
    return probe.frames;
}

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static SwapFunction realSwap;
    if (!realSwap)
        realSwap = (SwapFunction)dlsym(RTLD_NEXT, "glXSwapBuffers");
    if (probe.active && probe.hashFrame == probe.frames + 1)
        probe.frameHash = hashBackBuffer();
    realSwap(display, drawable);
    if (!probe.active)
        return;

    long frame = ++probe.frames;
    int64_t now = nowNs();
    if (frame == 1) {
        probe.firstFrameNs = now;
        // Under callgrind, the work from exec to here is dumped on its own.
        CALLGRIND_DUMP_STATS_AT("start-up");
        recordPixelFormat(display);
    }
    if (frame == probe.markFrom) {
        CALLGRIND_ZERO_STATS;
        if (probe.readAllocs)
            probe.readAllocs(&probe.allocsAtFrom);
        probe.markFromNs = nowNs();
    }
    if (frame == probe.markTo) {
        CALLGRIND_DUMP_STATS_AT("marked frames");
        if (probe.readAllocs)
            probe.readAllocs(&probe.allocsAtTo);
        probe.markToNs = nowNs();
    }
    if (probe.measureSeconds > 0) {
        if (!probe.windowOpen && now - probe.firstFrameNs >= (int64_t)(probe.warmupSeconds * 1e9)) {
            probe.windowOpen = 1;
            probe.windowStartNs = now;
            probe.windowStartFrame = frame;
        } else if (probe.windowOpen && now - probe.windowStartNs >= (int64_t)(probe.measureSeconds * 1e9)) {
            finishRun();
        }
    }
    if (probe.stopAfterFrames && frame >= probe.stopAfterFrames)
        finishRun();
}

// Round trips before the first frame: the times the program blocked until the
// X server answered. A wait for a reply that had already arrived (the later
// ones of a pipelined batch) is no round trip; a reply that arrives in pieces
// is still one. A blocking read of the socket outside a reply wait (waiting
// for an event) is one too.
static __thread int replyWaitDepth;
static __thread int blockedInReplyWait;

static int counting(void) {
    return probe.active && probe.frames == 0;
}

static void beginReplyWait(void) {
    if (!counting())
        return;
    ++probe.repliesAwaited;
    ++replyWaitDepth;
}

static void endReplyWait(void) {
    if (!counting() || replyWaitDepth == 0)
        return;
    if (--replyWaitDepth == 0 && blockedInReplyWait) {
        blockedInReplyWait = 0;
        ++probe.roundTrips;
    }
}

int poll(struct pollfd* fds, nfds_t count, int timeout) {
    static PollFunction realPoll;
    if (!realPoll)
        realPoll = (PollFunction)dlsym(RTLD_NEXT, "poll");
    // Waits to write (a large image on its way out) are not round trips.
    if (counting() && count == 1 && fds[0].events == POLLIN && timeout != 0) {
        struct stat status;
        if (fstat(fds[0].fd, &status) == 0 && S_ISSOCK(status.st_mode)) {
            if (replyWaitDepth > 0)
                blockedInReplyWait = 1;
            else
                ++probe.roundTrips;
        }
    }
    return realPoll(fds, count, timeout);
}

void* xcb_wait_for_reply(xcb_connection_t* connection, unsigned int request, xcb_generic_error_t** error) {
    static WaitForReplyFunction real;
    if (!real)
        real = (WaitForReplyFunction)dlsym(RTLD_NEXT, "xcb_wait_for_reply");
    beginReplyWait();
    void* reply = real(connection, request, error);
    endReplyWait();
    return reply;
}

void* xcb_wait_for_reply64(xcb_connection_t* connection, uint64_t request, xcb_generic_error_t** error) {
    static WaitForReply64Function real;
    if (!real)
        real = (WaitForReply64Function)dlsym(RTLD_NEXT, "xcb_wait_for_reply64");
    beginReplyWait();
    void* reply = real(connection, request, error);
    endReplyWait();
    return reply;
}

xcb_generic_error_t* xcb_request_check(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    static RequestCheckFunction real;
    if (!real)
        real = (RequestCheckFunction)dlsym(RTLD_NEXT, "xcb_request_check");
    beginReplyWait();
    xcb_generic_error_t* error = real(connection, cookie);
    endReplyWait();
    return error;
}
