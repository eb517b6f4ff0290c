// The errors in valgrind memcheck's XML log, and which of them pass through
// this project's code.
#pragma once

#include <string>
#include <vector>

namespace valgrind_test {

struct MemcheckError {
    std::string kind;                // Leak_DefinitelyLost, InvalidRead, UninitCondition, ...
    std::string description;         // valgrind's one-line account
    std::vector<std::string> frames; // "function (file:line)" or "function (object)", innermost first
    bool inProject = false;          // a frame lies in one of the project's source folders
};

// Reads the <error> records of an XML log; a frame counts as the project's
// when its source file lies under one of projectDirectories.
std::vector<MemcheckError> readMemcheckLog(const std::string& path,
                                           const std::vector<std::string>& projectDirectories);

std::string describe(const MemcheckError& error);

} // namespace valgrind_test
