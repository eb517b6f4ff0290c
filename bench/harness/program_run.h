// Runs one program under measurement: a fixed pause first, then the program
// with extra environment (the probes and their settings), bounded by a
// timeout after which it is killed by its process id.
#pragma once

#include <map>
#include <string>
#include <vector>

struct RunRequest {
    std::vector<std::string> command;     // program and arguments
    std::vector<std::string> environment; // "NAME=value" added to the harness's own
    std::string resultFile;               // where the frame probe writes; read back after the run
    double timeoutSeconds = 60;
    bool stampExec = false; // hand the program the time of its exec as BENCH_EXEC_NS
};

struct RunResult {
    bool finished = false; // exited on its own, with status 0, before the timeout
    std::string failure;   // why not, when it did not
    long peakResidentKb = 0;
    std::map<std::string, long long> values; // what the probe wrote

    long long value(const std::string& key) const {
        auto found = values.find(key);
        return found == values.end() ? 0 : found->second;
    }
};

// The pause taken before every run, so that the X server has finished with
// the previous program and every run starts from the same state.
constexpr double pauseBeforeRunSeconds = 0.15;

RunResult runProgram(const RunRequest& request);
