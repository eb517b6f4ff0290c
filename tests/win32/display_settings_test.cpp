// EnumDisplaySettingsA and ChangeDisplaySettingsA against a private Xvfb.
//
// Xvfb offers a single mode (1024x768, no timings, so refresh 0). Tests that
// switch add two 800x600 modes to its output through a connection of their own;
// RandR lets any client set such a mode while its creator stays connected. The
// restore at process end and on SIGINT/SIGTERM is checked in child processes:
// this same program started with "--child ACTION".

// Before Xlib, whose None macro breaks the framework's headers.
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/private_display_environment.h"

#include <windows.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// The layer calls this from its message loops; the child below stands in for such a loop.
namespace win32 {
void actOnPendingSignal();
}

namespace {

constexpr DWORD reportedFields =
    DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY | DM_POSITION;
constexpr int childTimeoutMs = 15000;

std::string& selfPath() {
    static std::string path;
    return path;
}

DEVMODEA queriedMode(WORD size = sizeof(DEVMODEA)) {
    DEVMODEA mode{};
    mode.dmSize = size;
    EXPECT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    return mode;
}

// What any other client sees of the primary CRTC and the screen.
struct Seen {
    RRMode mode = None;
    unsigned crtcWidth = 0, crtcHeight = 0;
    unsigned screenWidth = 0, screenHeight = 0;
};

// A connection of the test's own. It installs no error handler: the layer's
// handler is the process's one.
class Observer {
  public:
    Observer() : display_(XOpenDisplay(nullptr)) {
        if (!display_)
            return;
        root_ = DefaultRootWindow(display_);
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display_, root_);
        output_ = resources->outputs[0];
        crtc_ = resources->crtcs[0];
        XRRFreeScreenResources(resources);
    }
    ~Observer() {
        if (display_)
            XCloseDisplay(display_);
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    Display* display() const { return display_; }
    Window root() const { return root_; }
    RROutput output() const { return output_; }
    RRCrtc crtc() const { return crtc_; }

    Seen seen() const {
        Seen seen;
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display_, root_);
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display_, resources, crtc_);
        seen.mode = crtc->mode;
        seen.crtcWidth = crtc->width;
        seen.crtcHeight = crtc->height;
        XRRFreeCrtcInfo(crtc);
        XRRFreeScreenResources(resources);
        Window root = None;
        int x = 0, y = 0;
        unsigned border = 0, depth = 0;
        XGetGeometry(display_, root_, &root, &x, &y, &seen.screenWidth, &seen.screenHeight, &border, &depth);
        return seen;
    }

  private:
    Display* display_ = nullptr;
    Window root_ = None;
    RROutput output_ = None;
    RRCrtc crtc_ = None;
};

void expectUnswitched(const Observer& observer) {
    Seen seen = observer.seen();
    EXPECT_EQ(seen.crtcWidth, 1024u);
    EXPECT_EQ(seen.crtcHeight, 768u);
    EXPECT_EQ(seen.screenWidth, 1024u);
    EXPECT_EQ(seen.screenHeight, 768u);
}

TEST(EnumDisplaySettings, ReportsTheScreensOneMode) {
    struct Case {
        const char* name;
        DWORD modeNumber;
        BOOL found;
    };
    const Case cases[] = {{"current", ENUM_CURRENT_SETTINGS, TRUE},
                          {"registry", ENUM_REGISTRY_SETTINGS, TRUE},
                          {"first listed", 0, TRUE},
                          {"past the list", 1, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        ASSERT_EQ(EnumDisplaySettingsA(nullptr, c.modeNumber, &mode), c.found);
        if (!c.found)
            continue;
        EXPECT_EQ(mode.dmPelsWidth, 1024u);
        EXPECT_EQ(mode.dmPelsHeight, 768u);
        EXPECT_EQ(mode.dmBitsPerPel, 32u); // depth 24 is stored in 32-bit pixels
        EXPECT_EQ(mode.dmDisplayFrequency, 0u);
        EXPECT_EQ(mode.dmDisplayFlags, 0u);
        EXPECT_EQ(mode.dmPosition.x, 0);
        EXPECT_EQ(mode.dmPosition.y, 0);
        EXPECT_EQ(mode.dmFields, static_cast<DWORD>(reportedFields));
        EXPECT_EQ(mode.dmSpecVersion, 0x0401);
        EXPECT_EQ(mode.dmSize, sizeof mode);
        EXPECT_STREQ(reinterpret_cast<const char*>(mode.dmDeviceName), "DISPLAY1");
    }
}

TEST(EnumDisplaySettings, WritesNothingPastTheCallersRecord) {
    const unsigned char sentinel = 0xA5;
    struct Case {
        WORD size;
        BOOL accepted;
    };
    const Case cases[] = {{148, TRUE}, {156, TRUE}, {0, FALSE}, {147, FALSE}, {160, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE("dmSize " + std::to_string(c.size));
        alignas(DEVMODEA) unsigned char bytes[sizeof(DEVMODEA) + 16];
        std::memset(bytes, sentinel, sizeof bytes);
        DEVMODEA* mode = reinterpret_cast<DEVMODEA*>(bytes);
        mode->dmSize = c.size;
        unsigned char before[sizeof bytes];
        std::memcpy(before, bytes, sizeof bytes);
        SetLastError(0);

        ASSERT_EQ(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, mode), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
            EXPECT_EQ(std::memcmp(before, bytes, sizeof bytes), 0) << "a refused record was written";
            continue;
        }
        EXPECT_EQ(mode->dmSize, c.size);
        EXPECT_EQ(mode->dmDriverExtra, 0xA5A5);
        EXPECT_EQ(mode->dmPelsWidth, 1024u);
        EXPECT_EQ(mode->dmDisplayFrequency, 0u);
        for (size_t i = c.size; i < sizeof bytes; ++i)
            ASSERT_EQ(bytes[i], sentinel) << "byte " << i << " lies past dmSize";
    }
}

TEST(ChangeDisplaySettings, OnTheOneModeServer) {
    struct Case {
        const char* name;
        std::function<void(DEVMODEA&)> edit;
        DWORD flags;
        LONG expected;
    };
    const Case cases[] = {
        {"the current mode as queried", [](DEVMODEA&) {}, CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL},
        {"the current mode in the short record at 32 bits",
         [](DEVMODEA& m) {
             m.dmSize = 148;
             m.dmBitsPerPel = 32;
         },
         CDS_FULLSCREEN, DISP_CHANGE_SUCCESSFUL},
        {"the current mode, test only", [](DEVMODEA&) {}, CDS_TEST, DISP_CHANGE_SUCCESSFUL},
        {"a size the server lacks",
         [](DEVMODEA& m) {
             m.dmPelsWidth = 800;
             m.dmPelsHeight = 600;
         },
         CDS_FULLSCREEN, DISP_CHANGE_BADMODE},
        {"a size the server lacks, test only",
         [](DEVMODEA& m) {
             m.dmPelsWidth = 800;
             m.dmPelsHeight = 600;
         },
         CDS_TEST, DISP_CHANGE_BADMODE},
        {"a depth X cannot switch to", [](DEVMODEA& m) { m.dmBitsPerPel = 16; }, CDS_FULLSCREEN,
         DISP_CHANGE_BADMODE},
        {"a record of size 0", [](DEVMODEA& m) { m.dmSize = 0; }, CDS_FULLSCREEN, DISP_CHANGE_BADPARAM},
    };
    Observer observer;
    ASSERT_NE(observer.display(), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DEVMODEA mode = queriedMode();
        c.edit(mode);
        EXPECT_EQ(ChangeDisplaySettingsA(&mode, c.flags), c.expected);
        expectUnswitched(observer);
        EXPECT_EQ(queriedMode().dmPelsWidth, 1024u);
    }
    // Nothing was switched, so the return to the saved mode has nothing to do.
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    expectUnswitched(observer);
}

// Adds 800x600 at 60 Hz and at 75 Hz to the output, and removes them again
// after putting back the server's own mode if a test left another one set.
class AddedModes : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(observer_.display(), nullptr);
        originalMode_ = observer_.seen().mode;
        mode60_ = addMode(800, 600, 40000000, 1056, 628);
        mode75_ = addMode(800, 600, 49500000, 1056, 625);
        XSync(observer_.display(), False);
    }

    void TearDown() override {
        Display* d = observer_.display();
        if (observer_.seen().mode != originalMode_) {
            XRRSetScreenSize(d, observer_.root(), 1024, 768, DisplayWidthMM(d, 0), DisplayHeightMM(d, 0));
            XRRScreenResources* resources = XRRGetScreenResourcesCurrent(d, observer_.root());
            RROutput output = observer_.output();
            XRRSetCrtcConfig(d, resources, observer_.crtc(), CurrentTime, 0, 0, originalMode_, RR_Rotate_0,
                             &output, 1);
            XRRFreeScreenResources(resources);
        }
        for (RRMode mode : added_) {
            XRRDeleteOutputMode(d, observer_.output(), mode);
            XRRDestroyMode(d, mode);
        }
        XSync(d, False);
    }

    RRMode addMode(unsigned width, unsigned height, unsigned long dotClock, unsigned hTotal,
                   unsigned vTotal) {
        XRRModeInfo info{};
        info.width = width;
        info.height = height;
        info.dotClock = dotClock;
        info.hTotal = hTotal;
        info.vTotal = vTotal;
        std::string text = "test " + std::to_string(width) + "x" + std::to_string(height) + " " +
                           std::to_string(dotClock / (hTotal * vTotal)) + " Hz";
        info.name = text.data();
        info.nameLength = static_cast<unsigned>(text.size());
        RRMode mode = XRRCreateMode(observer_.display(), observer_.root(), &info);
        XRRAddOutputMode(observer_.display(), observer_.output(), mode);
        added_.push_back(mode);
        return mode;
    }

    static LONG switchTo(DWORD width, DWORD height, DWORD refresh, DWORD flags = CDS_FULLSCREEN) {
        DEVMODEA mode = queriedMode(148);
        mode.dmBitsPerPel = 32;
        mode.dmPelsWidth = width;
        mode.dmPelsHeight = height;
        mode.dmDisplayFrequency = refresh;
        return ChangeDisplaySettingsA(&mode, flags);
    }

    Observer observer_;
    RRMode originalMode_ = None;
    RRMode mode60_ = None;
    RRMode mode75_ = None;
    std::vector<RRMode> added_;
};

TEST_F(AddedModes, ListsEveryModeOfTheOutput) {
    struct Case {
        DWORD modeNumber;
        BOOL found;
        DWORD width, refresh;
    };
    const Case cases[] = {{0, TRUE, 1024, 0}, {1, TRUE, 800, 60}, {2, TRUE, 800, 75}, {3, FALSE, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.modeNumber));
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        ASSERT_EQ(EnumDisplaySettingsA(nullptr, c.modeNumber, &mode), c.found);
        if (c.found) {
            EXPECT_EQ(mode.dmPelsWidth, c.width);
            EXPECT_EQ(mode.dmDisplayFrequency, c.refresh);
            EXPECT_EQ(mode.dmBitsPerPel, 32u);
        }
    }
}

TEST_F(AddedModes, SwitchesAndRestoresTheSavedMode) {
    EXPECT_EQ(switchTo(800, 600, 0, CDS_TEST), DISP_CHANGE_SUCCESSFUL);
    expectUnswitched(observer_);

    ASSERT_EQ(switchTo(800, 600, 0), DISP_CHANGE_SUCCESSFUL);
    Seen seen = observer_.seen();
    EXPECT_EQ(seen.crtcWidth, 800u);
    EXPECT_EQ(seen.crtcHeight, 600u);
    EXPECT_EQ(seen.screenWidth, 800u);
    EXPECT_EQ(seen.screenHeight, 600u);
    EXPECT_EQ(queriedMode().dmPelsWidth, 800u);
    DEVMODEA saved{};
    saved.dmSize = sizeof saved;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_REGISTRY_SETTINGS, &saved));
    EXPECT_EQ(saved.dmPelsWidth, 1024u);
    EXPECT_EQ(saved.dmPelsHeight, 768u);

    // A second switch keeps the first saved mode.
    ASSERT_EQ(switchTo(800, 600, 75), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(observer_.seen().mode, mode75_);

    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    expectUnswitched(observer_);
    EXPECT_EQ(observer_.seen().mode, originalMode_);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    expectUnswitched(observer_);
}

TEST_F(AddedModes, PicksTheNearestRefreshOfTheSize) {
    struct Case {
        DWORD requested;
        DWORD chosen;
    };
    // 0 and 1 ask for the default rate: the one nearest the current (unknown, 0) rate.
    const Case cases[] = {{75, 75}, {70, 75}, {61, 60}, {0, 60}, {1, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE("requested " + std::to_string(c.requested) + " Hz");
        ASSERT_EQ(switchTo(800, 600, c.requested), DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(observer_.seen().mode, c.chosen == 75 ? mode75_ : mode60_);
        EXPECT_EQ(queriedMode().dmDisplayFrequency, c.chosen);
        EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    }
}

bool waitForReady(const testing_support::ChildProcess& child) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(childTimeoutMs);
    while (child.stderrText().find("ready") == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(AddedModes, AProcessThatEndsSwitchedLeavesTheSavedMode) {
    struct Case {
        const char* action; // what the child does after switching, see runChild
        int signal;         // sent once the child is ready; 0: none
        bool endsBySignal;
        int exitCode;
    };
    const Case cases[] = {
        {"return", 0, false, 0},
        {"serve", SIGTERM, true, 0},
        {"serve", SIGINT, true, 0},
        // Restored before the signal: the default disposition is back, so the
        // signal ends the child at once although nothing acts on it.
        {"restore-then-sleep", SIGTERM, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action) + " signal " + std::to_string(c.signal));
        testing_support::ChildProcess child({selfPath(), "--child", c.action});
        ASSERT_TRUE(waitForReady(child)) << child.stderrText();
        if (c.signal) {
            if (std::string(c.action) == "serve") {
                EXPECT_EQ(observer_.seen().crtcWidth, 800u) << "the child did not switch";
            }
            child.signal(c.signal);
        }
        testing_support::ExitStatus status = child.wait(childTimeoutMs);
        ASSERT_FALSE(status.timedOut);
        if (c.endsBySignal) {
            EXPECT_TRUE(status.signaled) << "exit code " << status.code;
            EXPECT_EQ(status.signal, c.signal);
        } else {
            EXPECT_TRUE(status.exited);
            EXPECT_EQ(status.code, c.exitCode);
        }
        expectUnswitched(observer_);
        EXPECT_EQ(observer_.seen().mode, originalMode_);
    }
}

TEST(DisplaySettingsWithoutDisplay, RefuseWithoutCrashing) {
    testing_support::ChildProcess child({selfPath(), "--child", "no-display"}, {"DISPLAY="});
    testing_support::ExitStatus status = child.wait(childTimeoutMs);
    EXPECT_TRUE(status.exited) << child.stderrText();
    EXPECT_EQ(status.code, 0) << "4: a call did not refuse as expected";
}

// The child. "no-display": the calls without a display. Otherwise it switches
// to 800x600 as a full-screen program does, says "ready" on stderr, then ends as
// the action says. Exit code 2: the switch failed; 3: a signal that should have
// ended it did not.
int runChild(const std::string& action) {
    if (action == "no-display") {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        bool refused = !EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) &&
                       ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_FAILED &&
                       ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL;
        return refused ? 0 : 4;
    }
    DEVMODEA mode{};
    mode.dmSize = 148;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return 2;
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
        return 2;
    if (action == "restore-then-sleep")
        ChangeDisplaySettingsA(nullptr, 0);
    std::fputs("ready\n", stderr);
    if (action == "return")
        return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (action == "serve")
            win32::actOnPendingSignal();
        usleep(1000);
    }
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argv[2]);
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return 1;
    selfPath().assign(path, static_cast<size_t>(length));
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new testing_support::PrivateDisplayEnvironment);
    return RUN_ALL_TESTS();
}
