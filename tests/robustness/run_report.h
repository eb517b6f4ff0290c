// What a run of random calls writes for the test that started it: a line per
// step before the step runs (so the last lines name the call that crashed the
// process), a line per finding, and the closing measurements. Each line is
// written at once with write(2), so nothing is lost when the process dies.
#pragma once

#include <string>

namespace robustness {

class RunReport {
  public:
    explicit RunReport(const std::string& path);
    ~RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    void step(long number, int depth, const std::string& call);
    // A call that did not behave as documented.
    void finding(const std::string& what);
    void line(const std::string& text);

  private:
    int fd_ = -1;
    long currentStep_ = 0;
};

// The report's line prefixes, read back by the test.
inline constexpr char stepPrefix[] = "step ";
inline constexpr char findingPrefix[] = "finding ";
inline constexpr char footprintPrefix[] = "footprint ";
inline constexpr char donePrefix[] = "done ";

} // namespace robustness
