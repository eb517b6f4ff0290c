// The benchmark of both demos against their bare Xlib + GLX references, and
// of the layer's message calls against the raw Xlib poll. Runs everything on
// the X server named by DISPLAY (bench/run.sh starts a private one) and
// prints a Markdown table of the figures and the goals.
//
//   bench_harness [--rounds N] [--startup-rounds N] [--only LIST] [--work-dir DIR] [--output FILE]
//
// --only takes a comma-separated list of picture, startup, fps, allocations,
// instructions and layer, to measure only those.
#include "measurements.h"
#include "report.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

struct Options {
    int rounds = 100;
    int startupRounds = 30;
    std::string workDir = "bench-work";
    std::string output;
    std::string only; // empty: everything

    bool wants(const std::string& phase) const {
        return only.empty() || ("," + only + ",").find("," + phase + ",") != std::string::npos;
    }
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (option == "--rounds")
            options.rounds = std::atoi(value.c_str());
        else if (option == "--startup-rounds")
            options.startupRounds = std::atoi(value.c_str());
        else if (option == "--work-dir")
            options.workDir = value;
        else if (option == "--output")
            options.output = value;
        else if (option == "--only")
            options.only = value;
        else
            return false;
    }
    return options.rounds > 0 && options.startupRounds > 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: %s [--rounds N] [--startup-rounds N] [--only LIST] [--work-dir DIR] [--output FILE]\n",
            argv[0]);
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "DISPLAY is not set: run bench/run.sh, which starts a private X server\n");
        return 2;
    }
    std::filesystem::create_directories(options.workDir);
    Workspace workspace{std::filesystem::absolute(options.workDir).string()};

    Results results;
    for (const Scene& scene : scenes()) {
        SceneResults& sceneResults = results.scenes[scene.name];
        // The picture check also fills Mesa's shader cache before the timed runs.
        if (options.wants("picture"))
            checkSamePicture(workspace, scene, sceneResults);
        if (options.wants("startup"))
            measureStartup(workspace, scene, options.startupRounds, sceneResults);
        if (options.wants("fps"))
            measureFrameRate(workspace, scene, options.rounds, sceneResults);
        if (options.wants("allocations"))
            measureAllocations(workspace, scene, sceneResults);
        if (options.wants("instructions"))
            measureInstructions(workspace, scene, sceneResults);
    }
    if (options.wants("layer"))
        measureLayer(workspace, results.layer);

    std::string table = formatReport(results);
    std::cout << table;
    if (!options.output.empty())
        std::ofstream(options.output) << table;
    return results.complete(options.only.empty()) ? 0 : 1;
}
