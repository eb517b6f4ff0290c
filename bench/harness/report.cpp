#include "report.h"

#include "statistics.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>
#include <thread>

namespace {

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "0.991 [0.985, 0.998] (0.803–1.204)"
std::string ratioCell(const Summary& summary) {
    if (summary.count == 0)
        return "not measured";
    return format("%.3f", summary.median) + " [" + format("%.3f", summary.low) + ", " +
           format("%.3f", summary.high) + "] (" + format("%.3f", summary.min) + "–" +
           format("%.3f", summary.max) + ")";
}

std::string verdict(bool met) {
    return met ? "yes" : "**no**";
}

// The verdict on a median against a goal (at least or at most the bound),
// saying when the 95% interval reaches across the bound: then the noise of
// the method, not the programs, decides the side the median fell on.
std::string verdictOnMedian(const Summary& summary, double bound, bool atLeast) {
    bool met = atLeast ? summary.median >= bound : summary.median <= bound;
    bool decided = atLeast ? (met ? summary.low >= bound : summary.high < bound)
                           : (met ? summary.high <= bound : summary.low > bound);
    return std::string(met ? "yes" : "**no**") + (decided ? "" : " (within the noise)");
}

std::string cpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

class Table {
  public:
    Table() {
        text_ << "| Figure | Program | Demo | Reference | Demo / reference: median [95% CI] (min–max) | Goal "
                 "| Met |\n"
              << "|---|---|---|---|---|---|---|\n";
    }
    void row(const std::string& figure, const std::string& program, const std::string& demo,
             const std::string& reference, const std::string& ratio, const std::string& goal,
             const std::string& met) {
        text_ << "| " << figure << " | " << program << " | " << demo << " | " << reference << " | " << ratio
              << " | " << goal << " | " << met << " |\n";
    }
    std::string str() const { return text_.str(); }

  private:
    std::ostringstream text_;
};

std::string hex(int value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string rangeCell(const Summary& summary) {
    return format("%.0f", summary.median) + " (" + format("%.0f", summary.min) + "–" +
           format("%.0f", summary.max) + ")";
}

// The rows of what was measured for one demo; a phase that was not run, or
// whose runs all failed, has no row (the failures are listed below the table).
void sceneRows(Table& table, const std::string& name, const SceneResults& scene) {
    std::string program = "`" + name + "_demo`";

    if (scene.pictureChecked)
        table.row(
            "Same picture (frame " + std::to_string(hashedFrame) + " under a stepped clock) and pixel format",
            program, "fbconfig " + hex(scene.demoFbConfigId), "fbconfig " + hex(scene.referenceFbConfigId),
            scene.samePicture ? "identical frame" : "**frames differ**", "identical",
            verdict(scene.samePicture && scene.sameFormat));

    if (!scene.fpsRatios.empty()) {
        Summary fps = summarize(scene.fpsRatios);
        table.row("Frame rate, frames/s (median of " + std::to_string(fps.count) + " runs of " +
                      format("%.0f", frameRateWindowSeconds) + " s)",
                  program, format("%.0f", median(scene.demoFps)), format("%.0f", median(scene.referenceFps)),
                  ratioCell(fps), "≥ 0.98", verdictOnMedian(fps, 0.98, true));
        table.row("Frame rate A/A: the reference against itself (noise of the method)", program, "",
                  format("%.0f", median(scene.referenceFps)), ratioCell(summarize(scene.referenceAaRatios)),
                  "-", "-");
    }

    if (scene.instructionsMeasured) {
        double ratio = scene.demoInstructions / scene.referenceInstructions;
        table.row("Instructions per frame, whole process (callgrind, frames " +
                      std::to_string(instructionsFromFrame) + "–" + std::to_string(instructionsToFrame) + ")",
                  program, format("%.0f", scene.demoInstructions),
                  format("%.0f", scene.referenceInstructions),
                  format("%.4f", ratio) + " (" +
                      format("%+.0f", scene.demoInstructions - scene.referenceInstructions) + " per frame)",
                  "≤ 1.02", verdict(ratio <= 1.02));
    }

    if (!scene.startupRatios.empty()) {
        Summary startup = summarize(scene.startupRatios);
        table.row("Start-up, exec to the return of the first SwapBuffers, ms (median of " +
                      std::to_string(startup.count) + " pairs)",
                  program, format("%.1f", median(scene.demoStartupMs)),
                  format("%.1f", median(scene.referenceStartupMs)), ratioCell(startup), "≤ 1.15",
                  verdictOnMedian(startup, 1.15, false));
        Summary demoTrips = summarize(scene.demoRoundTrips);
        Summary referenceTrips = summarize(scene.referenceRoundTrips);
        table.row("Round trips to the X server before the first frame (median, min–max)", program,
                  rangeCell(demoTrips), rangeCell(referenceTrips),
                  format("%+.0f", demoTrips.median - referenceTrips.median), "-", "-");
    }
    if (scene.instructionsMeasured)
        table.row("Start-up work: instructions from exec to the return of the first SwapBuffers (callgrind, "
                  "shaders compiled on both sides)",
                  program, format("%.0f", scene.demoStartupInstructions),
                  format("%.0f", scene.referenceStartupInstructions),
                  format("%.4f", scene.demoStartupInstructions / scene.referenceStartupInstructions) + " (" +
                      format("%+.0f", scene.demoStartupInstructions - scene.referenceStartupInstructions) +
                      ")",
                  "-", "-");

    if (scene.allocationsMeasured) {
        table.row("Heap allocations per frame (frames " + std::to_string(allocationsFromFrame) + "–" +
                      std::to_string(allocationsToFrame) + ")",
                  program, format("%.3f", scene.demoAllocations), format("%.3f", scene.referenceAllocations),
                  format("%+.3f", scene.demoAllocations - scene.referenceAllocations) + " per frame", "equal",
                  verdict(scene.demoAllocations == scene.referenceAllocations));
        table.row("Bytes allocated per frame", program, format("%.1f", scene.demoBytes),
                  format("%.1f", scene.referenceBytes),
                  format("%+.1f", scene.demoBytes - scene.referenceBytes) + " per frame", "equal",
                  verdict(scene.demoBytes == scene.referenceBytes));
    }

    if (!scene.peakRatios.empty()) {
        Summary peak = summarize(scene.peakRatios);
        table.row("Peak resident memory, MiB (median of the frame-rate runs)", program,
                  format("%.1f", median(scene.demoPeakMb)), format("%.1f", median(scene.referencePeakMb)),
                  ratioCell(peak), "≤ 1.05", verdictOnMedian(peak, 1.05, false));
    }
}

} // namespace

std::string formatReport(const Results& results) {
    std::ostringstream out;
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    utsname system{};
    uname(&system);
    out << "Measured " << date << " on " << std::thread::hardware_concurrency() << " cores of " << cpuModel()
        << ", Linux " << system.release;
    if (const char* renderer = std::getenv("BENCH_RENDERER"); renderer && *renderer)
        out << ", " << renderer;
    if (const char* sources = std::getenv("BENCH_SOURCES"))
        out << ", sources at " << sources;
    out << ".\n\n";

    Table table;
    for (const char* name : {"primitives", "cubes"}) {
        auto found = results.scenes.find(name);
        if (found != results.scenes.end())
            sceneRows(table, name, found->second);
    }
    const LayerResults& layer = results.layer;
    if (layer.measured) {
        double peekRatio = layer.peekNs / layer.rawPollNs;
        table.row("`PeekMessageA` with nothing pending, ns (against `XPending` on the layer's connection)",
                  "layer", format("%.1f", layer.peekNs), format("%.1f", layer.rawPollNs),
                  format("%.3f", peekRatio), "≤ 1.5", verdict(peekRatio <= 1.5));
        table.row("Posted message round trip: `PostMessageA`, `PeekMessageA`, `DispatchMessageA`, ns",
                  "layer", format("%.1f", layer.postRoundTripNs), format("%.1f", layer.rawPollNs),
                  format("%.3f", layer.postRoundTripNs / layer.rawPollNs), "-", "-");
    }
    out << table.str();

    bool anyFailure = false;
    for (const auto& [name, scene] : results.scenes)
        for (const std::string& failure : scene.failures) {
            if (!anyFailure)
                out << "\nRuns that failed (left out of the figures):\n\n";
            anyFailure = true;
            out << "- " << name << ": " << failure << "\n";
        }
    if (!layer.failure.empty())
        out << "\n- " << layer.failure << "\n";
    return out.str();
}
