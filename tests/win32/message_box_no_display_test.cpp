// MessageBoxA when no X display can be opened: the stderr line is all there
// is, and the call returns at once. The layer opens its connection once per
// process, so each case runs in a child of its own (a death-test fork) that
// has never touched the layer before.
// GoogleTest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "x11_connection.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <unistd.h>

namespace {

struct NoDisplayCase {
    const char* name;
    const char* display; // null: DISPLAY unset
    const char* caption;
    const char* text;
    const char* expectedStart; // the line up to the reason
};

void PrintTo(const NoDisplayCase& c, std::ostream* out) {
    *out << c.name;
}

// What the call writes to stderr. The death test already captures the
// child's stderr, so this redirects the descriptor to a file of its own.
template <typename Call> std::string stderrOf(Call call) {
    std::FILE* file = std::tmpfile();
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    dup2(fileno(file), STDERR_FILENO);
    call();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

class MessageBoxWithoutDisplay : public testing::TestWithParam<NoDisplayCase> {};

// Runs in the child; exits 0 when the box returned IDOK and wrote exactly the
// expected line, else prints what it got and exits 1.
[[noreturn]] void showAndCheck(const NoDisplayCase& c) {
    if (c.display)
        setenv("DISPLAY", c.display, 1);
    else
        unsetenv("DISPLAY");
    int result = 0;
    std::string line = stderrOf([&] { result = MessageBoxA(nullptr, c.text, c.caption, MB_OK); });
    std::string reason = win32::displayFailureReason();
    std::string expected = std::string(c.expectedStart) + " (no X display: " + reason + ")\n";
    if (result == IDOK && !reason.empty() && line == expected)
        std::exit(0);
    std::fprintf(stderr, "result %d\nline     [%s]\nexpected [%s]\n", result, line.c_str(), expected.c_str());
    std::exit(1);
}

TEST_P(MessageBoxWithoutDisplay, WritesOneStderrLineWithTheReasonAndReturnsIdok) {
    EXPECT_EXIT(showAndCheck(GetParam()), testing::ExitedWithCode(0), "");
}

const NoDisplayCase cases[] = {
    {"DisplayUnset", nullptr, "ERROR", "Failed to choose pixel format.",
     "ERROR: Failed to choose pixel format."},
    // Display 59999 has no socket, and its TCP port would be past 65535.
    {"DisplayUnreachable", ":59999", "ERROR", "Failed to set pixel format.",
     "ERROR: Failed to set pixel format."},
    {"NullCaptionAndLineBreaks", nullptr, nullptr, "first\nsecond\r\nthird", "Error: first second third"},
    {"NullText", nullptr, "ERROR", nullptr, "ERROR: "},
};

INSTANTIATE_TEST_SUITE_P(Cases, MessageBoxWithoutDisplay, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<NoDisplayCase>& info) { return info.param.name; });

} // namespace
