// GlWindow's full-screen path on an X server that really switches modes: Xorg
// with the dummy video driver, which Xvfb cannot stand in for. The server
// starts at 1024x768 75 Hz and also offers 800x600 at 60 and at 75 Hz, so a
// switch that keeps the rate lands on 800x600 75 Hz. A second connection reads
// the output's mode and the window as a user would see them. How a process
// that ends while switched leaves the display is checked in child processes:
// this same program started with "--child ACTION".

// Before Xlib, whose None macro breaks the framework's headers.
#include <gtest/gtest.h>

#include "child_process.h"
#include "display_observer.h"
#include "dummy_xorg_server.h"
#include "variant.h"

#include <windows.h>

#include <GL/gl.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace fullscreen_test;

constexpr int childTimeoutMs = 15000;
constexpr int width = 800;
constexpr int height = 600;
constexpr char caption[] = "Quorlane";

// The server's own mode, from its configuration.
constexpr unsigned originalWidth = 1024;
constexpr unsigned originalHeight = 768;
constexpr unsigned originalRefresh = 75;

// The pop-up keeps the outer size of a framed window with an 800x600 client
// area: the layer's frame adds a sizing border of 8 on each side and a
// caption of 23 above.
constexpr unsigned popupWidth = 816;
constexpr unsigned popupHeight = 639;
constexpr unsigned long motifDecorationsField = 2; // flag: the decorations item is given

std::string& selfPath() {
    static std::string path;
    return path;
}

std::unique_ptr<DummyXorgServer>& server() {
    static std::unique_ptr<DummyXorgServer> theServer;
    return theServer;
}

// The layer opens its one connection from DISPLAY on first use, so the server
// runs and DISPLAY names it before any test makes a layer call. The layer's
// connection is opened here, before the observer's, so that its X error
// handler is the process's, as in a program.
class DummyDisplay : public ::testing::Environment {
  public:
    void SetUp() override {
        server() = std::make_unique<DummyXorgServer>(DUMMY_XORG_CONFIG);
        if (!server()->available())
            return;
        setenv("DISPLAY", server()->displayName().c_str(), 1);
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
            << "the layer cannot use " << server()->displayName();
    }
    void TearDown() override { server().reset(); }
};

class FullScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!server()->available())
            GTEST_SKIP() << "no X server that can switch modes here: " << server()->unavailableReason();
        observer_ = std::make_unique<DisplayObserver>(server()->displayName());
        original_ = observer_->primaryMode();
        ASSERT_EQ(original_.width, originalWidth);
        ASSERT_EQ(original_.height, originalHeight);
        ASSERT_EQ(original_.refresh, originalRefresh);
    }

    // A case that left the display switched must not spoil the next one.
    void TearDown() override { putBackOriginalMode(); }

    void putBackOriginalMode() {
        if (observer_ && original_.id && observer_->primaryMode().id != original_.id)
            observer_->showMode(original_);
    }

    void expectOriginalMode() {
        OutputMode now = observer_->primaryMode();
        EXPECT_EQ(now.id, original_.id)
            << "now " << now.width << "x" << now.height << " " << now.refresh << " Hz";
        ScreenSize screen = observer_->screenSize();
        EXPECT_EQ(screen.width, originalWidth);
        EXPECT_EQ(screen.height, originalHeight);
    }

    std::unique_ptr<DisplayObserver> observer_;
    OutputMode original_;
};

TEST_F(FullScreen, CreateSwitchesToATopLeftPopupAndDestroyRestores) {
    SCOPED_TRACE(variantName());
    ASSERT_TRUE(createFullScreen(width, height));

    OutputMode switched = observer_->primaryMode();
    EXPECT_EQ(switched.width, 800u);
    EXPECT_EQ(switched.height, 600u);
    EXPECT_EQ(switched.refresh, originalRefresh) << "the switch did not keep the refresh rate";
    ScreenSize screen = observer_->screenSize();
    EXPECT_EQ(screen.width, 800u);
    EXPECT_EQ(screen.height, 600u);

    std::vector<WindowId> windows = observer_->topLevelWindowsNamed(caption);
    ASSERT_EQ(windows.size(), 1u);
    WindowState popup = observer_->windowState(windows[0]);
    EXPECT_TRUE(popup.viewable);
    EXPECT_EQ(popup.x, 0);
    EXPECT_EQ(popup.y, 0);
    EXPECT_EQ(popup.width, popupWidth);
    EXPECT_EQ(popup.height, popupHeight);
    EXPECT_TRUE(popup.hasMotifHints);
    EXPECT_TRUE(popup.motifFlags & motifDecorationsField);
    EXPECT_EQ(popup.motifDecorations, 0u) << "the pop-up asks for decorations";

    // The context is current and its viewport is the requested size, not the
    // larger window's.
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    GLint viewport[4] = {-1, -1, -1, -1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], width);
    EXPECT_EQ(viewport[3], height);

    destroyWindow();
    expectOriginalMode();
    EXPECT_TRUE(observer_->topLevelWindowsNamed(caption).empty());
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

TEST_F(FullScreen, AProcessEndingSwitchedGetsTheOriginalModeBack) {
    SCOPED_TRACE(variantName());
    struct Case {
        const char* action; // what the child does once switched, see runChild
        int signal;         // sent once the child is ready; 0: none
        int exitCode;       // when it ends by exit
    };
    const Case cases[] = {
        {"return", 0, 0},
        {"exit", 0, 4},
        {"serve", SIGTERM, 0},
        {"serve", SIGINT, 0},
        {"idle-then-serve", SIGTERM, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action) + (c.signal ? std::string(", then ") + strsignal(c.signal) : ""));
        testing_support::ChildProcess child({selfPath(), "--child", c.action});
        ASSERT_TRUE(waitForReady(child)) << child.stderrText();
        if (c.signal) {
            EXPECT_EQ(observer_->primaryMode().width, 800u) << "the child did not switch";
            child.signal(c.signal);
        }
        if (std::string(c.action) == "idle-then-serve") {
            // Outside the layer the signal is only recorded: the child lives
            // on and the display stays switched until its next layer call.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_TRUE(child.running()) << "the signal ended the child outside the layer";
            EXPECT_EQ(observer_->primaryMode().width, 800u) << "restored outside the layer";
            child.signal(SIGUSR1);
        }
        testing_support::ExitStatus status = child.wait(childTimeoutMs);
        ASSERT_FALSE(status.timedOut) << child.stderrText();
        if (c.signal) {
            EXPECT_TRUE(status.signaled) << "exit code " << status.code << "\n" << child.stderrText();
            EXPECT_EQ(status.signal, c.signal);
        } else {
            EXPECT_TRUE(status.exited) << child.stderrText();
            EXPECT_EQ(status.code, c.exitCode) << child.stderrText();
        }
        expectOriginalMode();
        putBackOriginalMode();
    }
}

volatile sig_atomic_t goOn = 0;

void allowToGoOn(int) {
    goOn = 1;
}

// The child: creates the full-screen window, checks that the display did
// switch, says "ready" on stderr and ends as the action says, never calling
// destroy. "return" returns from main, "exit" calls exit(4), "serve" runs a
// message loop for a bounded time, and "idle-then-serve" makes no layer call
// until SIGUSR1 comes, then serves. Exit code 2: the window or the switch
// failed; 3: a signal that should have ended it did not.
int runChild(const std::string& action) {
    std::signal(SIGUSR1, allowToGoOn);
    if (!createFullScreen(width, height))
        return 2;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) || mode.dmPelsWidth != 800 ||
        mode.dmPelsHeight != 600) {
        std::fputs("the display did not switch\n", stderr);
        return 2;
    }
    std::fputs("ready\n", stderr);
    if (action == "return")
        return 0;
    if (action == "exit")
        std::exit(4);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    if (action == "idle-then-serve")
        while (!goOn && std::chrono::steady_clock::now() < deadline)
            usleep(1000);
    while (std::chrono::steady_clock::now() < deadline) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
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
    ::testing::AddGlobalTestEnvironment(new DummyDisplay);
    return RUN_ALL_TESTS();
}
