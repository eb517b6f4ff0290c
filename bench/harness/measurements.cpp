#include "measurements.h"

#include "program_run.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Each run is started with the probes it needs, named by the paths of the
// build that made them.
std::string preload(std::initializer_list<const char*> libraries) {
    std::string list;
    for (const char* library : libraries)
        list += (list.empty() ? "" : " ") + std::string(library);
    return "LD_PRELOAD=" + list;
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

void progress(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool recordFailure(SceneResults& results, const std::string& what, const RunResult& run) {
    if (run.finished)
        return false;
    results.failures.push_back(what + ": " + run.failure);
    progress("  failed: " + results.failures.back());
    return true;
}

RunResult runForFrames(const Workspace& workspace, const std::string& program, const std::string& tag,
                       std::vector<std::string> environment, double timeoutSeconds = 60) {
    RunRequest request;
    request.command = {program};
    request.environment = std::move(environment);
    request.resultFile = workspace.file(tag + "." + baseName(program) + ".txt");
    request.timeoutSeconds = timeoutSeconds;
    request.stampExec = true;
    return runProgram(request);
}

double framesPerSecond(const RunResult& run) {
    double seconds = static_cast<double>(run.value("window_ns")) / 1e9;
    return seconds > 0 ? static_cast<double>(run.value("window_frames")) / seconds : 0;
}

// The cost in one callgrind dump, from its "totals:" line.
long long callgrindTotal(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line))
        if (line.rfind("totals:", 0) == 0)
            return std::stoll(line.substr(7));
    return 0;
}

} // namespace

const std::vector<Scene>& scenes() {
    static const std::vector<Scene> all = {
        {"primitives", BENCH_PRIMITIVES_DEMO, BENCH_PRIMITIVES_REFERENCE},
        {"cubes", BENCH_CUBES_DEMO, BENCH_CUBES_REFERENCE},
    };
    return all;
}

bool Results::complete(bool everything) const {
    for (const auto& [name, scene] : scenes)
        if (!scene.failures.empty() || (everything && (!scene.samePicture || !scene.sameFormat)))
            return false;
    return !everything || layer.measured;
}

void checkSamePicture(const Workspace& workspace, const Scene& scene, SceneResults& results) {
    progress(scene.name + ": same picture and pixel format");
    // Under the stepped clock both programs draw the same pose at each frame.
    std::vector<std::string> environment = {preload({BENCH_FRAME_PROBE, BENCH_CLOCK_PROBE}),
                                            "BENCH_HASH_FRAME=" + std::to_string(hashedFrame),
                                            "BENCH_STOP_AFTER_FRAMES=" + std::to_string(hashedFrame)};
    RunResult demo = runForFrames(workspace, scene.demo, "picture", environment);
    RunResult reference = runForFrames(workspace, scene.reference, "picture", environment);
    if (recordFailure(results, "picture check of " + baseName(scene.demo), demo) ||
        recordFailure(results, "picture check of " + baseName(scene.reference), reference))
        return;
    results.pictureChecked = true;
    results.samePicture =
        demo.value("frame_hash") != 0 && demo.value("frame_hash") == reference.value("frame_hash");
    results.demoFbConfigId = static_cast<int>(demo.value("fbconfig_id"));
    results.referenceFbConfigId = static_cast<int>(reference.value("fbconfig_id"));
    results.sameFormat = results.demoFbConfigId != 0 && results.demoFbConfigId == results.referenceFbConfigId;
}

void measureStartup(const Workspace& workspace, const Scene& scene, int rounds, SceneResults& results) {
    progress(scene.name + ": start-up, " + std::to_string(rounds) + " pairs");
    std::vector<std::string> environment = {preload({BENCH_FRAME_PROBE}), "BENCH_STOP_AFTER_FRAMES=1"};
    // One pair first, not counted: whatever Mesa still adds to its shader
    // cache at a program's start is there before the counted runs.
    runForFrames(workspace, scene.reference, "startup", environment);
    runForFrames(workspace, scene.demo, "startup", environment);
    std::ofstream log(workspace.file("startup." + scene.name + ".csv"));
    log << "round,program,startup_ms,round_trips\n";
    for (int round = 0; round < rounds; ++round) {
        // The two programs take turns at going first.
        RunResult reference, demo;
        if (round % 2 == 0) {
            reference = runForFrames(workspace, scene.reference, "startup", environment);
            demo = runForFrames(workspace, scene.demo, "startup", environment);
        } else {
            demo = runForFrames(workspace, scene.demo, "startup", environment);
            reference = runForFrames(workspace, scene.reference, "startup", environment);
        }
        if (recordFailure(results, "start-up of " + baseName(scene.reference), reference) ||
            recordFailure(results, "start-up of " + baseName(scene.demo), demo))
            continue;
        double referenceMs = static_cast<double>(reference.value("startup_ns")) / 1e6;
        double demoMs = static_cast<double>(demo.value("startup_ns")) / 1e6;
        log << round << ",reference," << referenceMs << "," << reference.value("setup_round_trips") << "\n"
            << round << ",demo," << demoMs << "," << demo.value("setup_round_trips") << "\n";
        results.referenceStartupMs.push_back(referenceMs);
        results.demoStartupMs.push_back(demoMs);
        results.startupRatios.push_back(demoMs / referenceMs);
        results.referenceRoundTrips.push_back(static_cast<double>(reference.value("setup_round_trips")));
        results.demoRoundTrips.push_back(static_cast<double>(demo.value("setup_round_trips")));
    }
}

void measureFrameRate(const Workspace& workspace, const Scene& scene, int rounds, SceneResults& results) {
    progress(scene.name + ": frame rate, " + std::to_string(rounds) +
             " rounds of reference, demo, reference");
    std::vector<std::string> environment = {
        preload({BENCH_FRAME_PROBE}), "BENCH_WARMUP_SECONDS=" + std::to_string(frameRateWarmupSeconds),
        "BENCH_MEASURE_SECONDS=" + std::to_string(frameRateWindowSeconds)};
    std::ofstream log(workspace.file("fps." + scene.name + ".csv"));
    log << "round,program,frames_per_second,peak_resident_kb\n";
    for (int round = 0; round < rounds; ++round) {
        if (round % 10 == 0)
            progress("  round " + std::to_string(round + 1));
        RunResult before = runForFrames(workspace, scene.reference, "fps", environment);
        RunResult demo = runForFrames(workspace, scene.demo, "fps", environment);
        RunResult after = runForFrames(workspace, scene.reference, "fps-again", environment);
        if (recordFailure(results, "frame rate of " + baseName(scene.reference), before) ||
            recordFailure(results, "frame rate of " + baseName(scene.demo), demo) ||
            recordFailure(results, "frame rate of " + baseName(scene.reference), after))
            continue;
        log << round << ",reference," << framesPerSecond(before) << "," << before.peakResidentKb << "\n"
            << round << ",demo," << framesPerSecond(demo) << "," << demo.peakResidentKb << "\n"
            << round << ",reference," << framesPerSecond(after) << "," << after.peakResidentKb << "\n";

        // The demo is set against the reference run before it in even rounds
        // and the one after it in odd rounds, so that a drift of the machine
        // over the run cancels out instead of biasing the ratios.
        const RunResult& paired = round % 2 == 0 ? before : after;
        const RunResult& other = round % 2 == 0 ? after : before;
        double referenceFps = framesPerSecond(paired), demoFps = framesPerSecond(demo);
        results.referenceFps.push_back(referenceFps);
        results.demoFps.push_back(demoFps);
        results.fpsRatios.push_back(demoFps / referenceFps);
        results.referenceAaRatios.push_back(framesPerSecond(other) / referenceFps);

        double referenceMb = static_cast<double>(paired.peakResidentKb) / 1024;
        double demoMb = static_cast<double>(demo.peakResidentKb) / 1024;
        results.referencePeakMb.push_back(referenceMb);
        results.demoPeakMb.push_back(demoMb);
        results.peakRatios.push_back(demoMb / referenceMb);
    }
}

void measureAllocations(const Workspace& workspace, const Scene& scene, SceneResults& results) {
    progress(scene.name + ": allocations per frame");
    std::vector<std::string> environment = {preload({BENCH_FRAME_PROBE, BENCH_ALLOC_PROBE}),
                                            "BENCH_MARK_FROM=" + std::to_string(allocationsFromFrame),
                                            "BENCH_MARK_TO=" + std::to_string(allocationsToFrame),
                                            "BENCH_STOP_AFTER_FRAMES=" + std::to_string(allocationsToFrame)};
    RunResult demo = runForFrames(workspace, scene.demo, "allocations", environment);
    RunResult reference = runForFrames(workspace, scene.reference, "allocations", environment);
    if (recordFailure(results, "allocations of " + baseName(scene.demo), demo) ||
        recordFailure(results, "allocations of " + baseName(scene.reference), reference))
        return;
    double frames = allocationsToFrame - allocationsFromFrame;
    results.demoAllocations = static_cast<double>(demo.value("marked_allocations")) / frames;
    results.referenceAllocations = static_cast<double>(reference.value("marked_allocations")) / frames;
    results.demoBytes = static_cast<double>(demo.value("marked_bytes")) / frames;
    results.referenceBytes = static_cast<double>(reference.value("marked_bytes")) / frames;
    results.allocationsMeasured = true;
}

void measureInstructions(const Workspace& workspace, const Scene& scene, SceneResults& results) {
    progress(scene.name + ": instructions per frame (callgrind, both programs at once)");
    // One rasterizer thread, the stepped clock and no shader cache (both
    // programs compile the same shaders) make the counts repeatable;
    // callgrind's counters are dumped by the probe at the first frame and
    // zeroed and dumped again at the marks.
    auto request = [&](const std::string& program) {
        RunRequest run;
        std::string profile = workspace.file("callgrind." + baseName(program) + ".out");
        for (const char* number : {"", ".1", ".2"})
            std::remove((profile + number).c_str());
        run.command = {BENCH_VALGRIND, "--tool=callgrind", "--callgrind-out-file=" + profile, program};
        run.environment = {preload({BENCH_FRAME_PROBE, BENCH_CLOCK_PROBE}),
                           "LP_NUM_THREADS=0",
                           "MESA_SHADER_CACHE_DISABLE=true",
                           "BENCH_MARK_FROM=" + std::to_string(instructionsFromFrame),
                           "BENCH_MARK_TO=" + std::to_string(instructionsToFrame),
                           "BENCH_STOP_AFTER_FRAMES=" + std::to_string(instructionsToFrame)};
        run.resultFile = workspace.file("instructions." + baseName(program) + ".txt");
        run.timeoutSeconds = 600;
        return run;
    };
    if (std::string(BENCH_VALGRIND).empty()) {
        results.failures.push_back("instructions: valgrind was not found when the bench was configured");
        return;
    }
    RunResult demo, reference;
    std::thread demoThread([&] { demo = runProgram(request(scene.demo)); });
    reference = runProgram(request(scene.reference));
    demoThread.join();
    if (recordFailure(results, "callgrind run of " + baseName(scene.demo), demo) ||
        recordFailure(results, "callgrind run of " + baseName(scene.reference), reference))
        return;
    // Callgrind numbers its dumps: the first runs from exec to the first
    // frame, the second holds the marked frames.
    auto dump = [&](const std::string& program, int number) {
        return callgrindTotal(
            workspace.file("callgrind." + baseName(program) + ".out." + std::to_string(number)));
    };
    long long demoStartup = dump(scene.demo, 1), referenceStartup = dump(scene.reference, 1);
    long long demoFrames = dump(scene.demo, 2), referenceFrames = dump(scene.reference, 2);
    if (demoStartup == 0 || referenceStartup == 0 || demoFrames == 0 || referenceFrames == 0) {
        results.failures.push_back("instructions: a callgrind dump is missing");
        return;
    }
    double frames = instructionsToFrame - instructionsFromFrame;
    results.demoInstructions = static_cast<double>(demoFrames) / frames;
    results.referenceInstructions = static_cast<double>(referenceFrames) / frames;
    results.demoStartupInstructions = static_cast<double>(demoStartup);
    results.referenceStartupInstructions = static_cast<double>(referenceStartup);
    results.instructionsMeasured = true;
}

void measureLayer(const Workspace& workspace, LayerResults& results) {
    progress("layer: PeekMessageA and a posted message against the raw Xlib poll");
    std::string csv = workspace.file("layer.csv");
    std::remove(csv.c_str());
    RunRequest run;
    run.command = {BENCH_LAYER_BENCH,
                   "--benchmark_repetitions=10",
                   "--benchmark_enable_random_interleaving=true",
                   "--benchmark_report_aggregates_only=true",
                   "--benchmark_out_format=csv",
                   "--benchmark_out=" + csv};
    run.resultFile = workspace.file("layer.txt");
    run.timeoutSeconds = 300;
    RunResult outcome = runProgram(run);
    if (!outcome.finished) {
        results.failure = "layer benchmark: " + outcome.failure;
        progress("  failed: " + results.failure);
        return;
    }
    // Rows: "name_median",iterations,real_time,cpu_time,time_unit,... The CPU time
    // is taken: on a shared machine the wall time mostly measures preemption.
    std::ifstream file(csv);
    std::string line;
    std::map<std::string, double> medians;
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::stringstream row(line);
        std::string field;
        while (std::getline(row, field, ','))
            fields.push_back(field);
        if (fields.size() < 5 || fields[0].size() < 2 || fields[0].front() != '"')
            continue;
        std::string name = fields[0].substr(1, fields[0].size() - 2);
        const std::string suffix = "_median";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (fields[4] != "ns")
            continue;
        medians[name.substr(0, name.size() - suffix.size())] = std::stod(fields[3]);
    }
    results.rawPollNs = medians["raw_xpending"];
    results.peekNs = medians["PeekMessageA_nothing_pending"];
    results.postRoundTripNs = medians["PostMessageA_PeekMessageA_DispatchMessageA"];
    results.measured = results.rawPollNs > 0 && results.peekNs > 0 && results.postRoundTripNs > 0;
    if (!results.measured)
        results.failure = "layer benchmark: its results were not found in " + csv;
}
