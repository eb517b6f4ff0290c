// Preloaded into a demo run under valgrind: counts the frames the program
// presents. Each glXSwapBuffers goes on to libGL's own, then the count is
// written, as fixed-width text at the start of the file that
// SWAP_COUNT_FILE names, for the test to read while the program runs.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

struct _XDisplay;

namespace {

using SwapBuffers = void (*)(_XDisplay*, unsigned long);

unsigned long presented = 0;
int countFile = -1;

void writeCount() {
    if (countFile < 0) {
        const char* path = std::getenv("SWAP_COUNT_FILE");
        if (!path)
            return;
        countFile = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (countFile < 0)
            return;
    }
    char text[24];
    int length = std::snprintf(text, sizeof text, "%20lu\n", presented);
    if (length > 0 && pwrite(countFile, text, static_cast<size_t>(length), 0) < 0)
        return;
}

} // namespace

extern "C" void glXSwapBuffers(_XDisplay* display, unsigned long drawable) {
    static auto next = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (next)
        next(display, drawable);
    ++presented;
    writeCount();
}
