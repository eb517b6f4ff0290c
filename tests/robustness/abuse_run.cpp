#include "abuse_run.h"

#include "abuse_driver.h"
#include "process_footprint.h"
#include "x11_connection.h"

#include <malloc.h>

namespace robustness {

int runAbuse(std::uint64_t seed, long steps, const std::string& reportPath) {
    // Large blocks (the colour and depth buffers of software GL) go back to the
    // system when freed, and free memory is trimmed before each measurement,
    // so that the resident size counts what is still in use, not what the
    // allocator keeps for later.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    RunReport report(reportPath);
    AbuseDriver driver(seed, report);
    // The layer's connection opens first, so the process's X error handler is the layer's.
    driver.warmUp();
    OutsideClient outside;
    driver.attachOutsideClient(&outside);
    malloc_trim(0);
    Footprint before = measureFootprint(outside);

    driver.runSteps(steps);
    driver.tearDown();
    // Everything the layer asked of the server is done before the outside client looks.
    if (Display* display = win32::openedDisplay())
        XSync(display, False);
    outside.sync();
    malloc_trim(0);
    Footprint after = measureFootprint(outside);
    for (const std::string& name : outside.topLevelWindowNames())
        report.finding("an X window named \"" + name.substr(0, 40) + "\" outlived the run");

    report.line(footprintPrefix + std::string("before ") + before.text());
    report.line(footprintPrefix + std::string("after ") + after.text());
    report.line(donePrefix + std::to_string(steps));
    return 0;
}

} // namespace robustness
