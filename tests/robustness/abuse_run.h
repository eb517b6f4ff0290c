// One randomized run in the process that makes it: the calls of one seed,
// then the tear-down, with the footprint measured before and after. The
// report (run_report.h) is what the test reads.
#pragma once

#include <cstdint>
#include <string>

namespace robustness {

// Returns 0 once the run has finished; findings are in the report.
int runAbuse(std::uint64_t seed, long steps, const std::string& reportPath);

} // namespace robustness
