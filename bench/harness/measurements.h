// The measurements of one scene (its demo against its reference) and of the
// layer's message calls, and what they found.
#pragma once

#include <map>
#include <string>
#include <vector>

struct Scene {
    std::string name;      // "primitives" or "cubes"
    std::string demo;      // path of the real program
    std::string reference; // path of its bare Xlib + GLX reference
};

const std::vector<Scene>& scenes();

struct Workspace {
    std::string directory; // result files, logs and callgrind profiles

    std::string file(const std::string& name) const { return directory + "/" + name; }
};

struct SceneResults {
    // The same picture (hash of one frame under a fixed clock) and the same
    // frame-buffer configuration on both sides.
    bool pictureChecked = false;
    bool samePicture = false;
    bool sameFormat = false;
    int demoFbConfigId = 0, referenceFbConfigId = 0;

    // Start-up: exec to the return of the first SwapBuffers.
    std::vector<double> demoStartupMs, referenceStartupMs, startupRatios;
    std::vector<double> demoRoundTrips, referenceRoundTrips;

    // Frame rate, rounds of reference, demo, reference again.
    std::vector<double> demoFps, referenceFps, fpsRatios, referenceAaRatios;
    std::vector<double> demoPeakMb, referencePeakMb, peakRatios;

    // Heap allocations and bytes per frame in the marked frames.
    bool allocationsMeasured = false;
    double demoAllocations = 0, referenceAllocations = 0;
    double demoBytes = 0, referenceBytes = 0;

    // Instructions per frame of the whole process, and from exec to the
    // return of the first SwapBuffers, from callgrind.
    bool instructionsMeasured = false;
    double demoInstructions = 0, referenceInstructions = 0;
    double demoStartupInstructions = 0, referenceStartupInstructions = 0;

    std::vector<std::string> failures;
};

struct LayerResults {
    bool measured = false;
    double rawPollNs = 0;       // XPending with nothing pending
    double peekNs = 0;          // PeekMessageA with nothing pending
    double postRoundTripNs = 0; // PostMessageA + PeekMessageA + DispatchMessageA
    std::string failure;
};

struct Results {
    std::map<std::string, SceneResults> scenes;
    LayerResults layer;

    // No run failed and, when everything was asked for, everything was measured.
    bool complete(bool everything) const;
};

// Frames hashed and counted in the checks, and the frames marked for the
// per-frame work.
constexpr int hashedFrame = 30;
constexpr int instructionsFromFrame = 50, instructionsToFrame = 150;
constexpr int allocationsFromFrame = 1000, allocationsToFrame = 2000;
constexpr double frameRateWarmupSeconds = 0.1, frameRateWindowSeconds = 1.0;

void checkSamePicture(const Workspace& workspace, const Scene& scene, SceneResults& results);
void measureStartup(const Workspace& workspace, const Scene& scene, int rounds, SceneResults& results);
void measureFrameRate(const Workspace& workspace, const Scene& scene, int rounds, SceneResults& results);
void measureAllocations(const Workspace& workspace, const Scene& scene, SceneResults& results);
void measureInstructions(const Workspace& workspace, const Scene& scene, SceneResults& results);
void measureLayer(const Workspace& workspace, LayerResults& results);
