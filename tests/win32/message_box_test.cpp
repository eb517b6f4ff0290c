// MessageBoxA on a private Xvfb, worked from a second X connection the way a
// user would. The program takes --server=NAME to pick the server set-up from
// the table below (one server per run, since the layer opens its connection
// once per process); without it the default set-up runs.
// GoogleTest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "objects.h"
#include "x11_connection.h"
#include "xvfb_server.h"

#include <windows.h>

#include <X11/Xutil.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <thread>

namespace {

using testing_support::DialogDriver;
using testing_support::DialogInput;
using testing_support::DialogObservation;

struct ServerSetup {
    const char* name;
    const char* screen;
    std::vector<std::string> arguments;
    int depth;
    int visualClass;
};

const ServerSetup serverSetups[] = {
    {"default", "1024x768x24", {}, 24, TrueColor},
    {"builtin-fonts", "1024x768x24", {"-fp", "built-ins"}, 24, TrueColor},
    {"pseudocolor8", "1024x768x8", {}, 8, PseudoColor},
    {"depth16", "1024x768x16", {}, 16, TrueColor},
};

struct Session {
    const ServerSetup* setup = nullptr;
    testing_support::XvfbServer* server = nullptr;
};

Session& session() {
    static Session current;
    return current;
}

struct BoxRun {
    int result = 0;
    std::string stderrText;
    DialogObservation seen;
};

// Shows the box on this thread, as the layer requires, while a second thread
// works it from its own connection. If the driver cannot close the box, it
// asks every window to close; if the box still stays, it kills the server,
// which ends this process through the layer's lost-connection exit instead of
// leaving the run hanging.
BoxRun runBox(HWND owner, const char* text, const char* caption, const std::string& title,
              const std::vector<DialogInput>& ignored, DialogInput dismissal) {
    BoxRun run;
    std::atomic<bool> returned{false};
    std::thread driver([&] {
        try {
            DialogDriver user(session().server->displayName());
            run.seen = user.work(title, ignored, dismissal);
            if (run.seen.closed)
                return;
            user.askAllToClose();
        } catch (const std::exception& error) {
            std::printf("%s\n", error.what());
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!returned && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) {
            // stderr is captured at this point, and the process ends by _exit.
            std::fputs("message box did not close; killing the X server\n", stdout);
            std::fflush(stdout);
            session().server->kill();
        }
    });
    testing::internal::CaptureStderr();
    run.result = MessageBoxA(owner, text, caption, MB_OK);
    run.stderrText = testing::internal::GetCapturedStderr();
    returned = true;
    driver.join();
    return run;
}

void expectCentredOn(const XRectangle& box, int centreX, int centreY) {
    EXPECT_NEAR(box.x + box.width / 2, centreX, 1);
    EXPECT_NEAR(box.y + box.height / 2, centreY, 1);
}

TEST(MessageBoxServer, IsSetUpAsTheTableSays) {
    Display* display = win32::display();
    ASSERT_NE(display, nullptr);
    int screen = DefaultScreen(display);
    EXPECT_EQ(DefaultDepth(display, screen), session().setup->depth);
    Visual* visual = DefaultVisual(display, screen);
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(visual);
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(info->c_class, session().setup->visualClass);
    XFree(info);
    if (std::strcmp(session().setup->name, "builtin-fonts") == 0) {
        char** path = XGetFontPath(display, &count);
        ASSERT_EQ(count, 1);
        EXPECT_STREQ(path[0], "built-ins");
        XFreeFontPath(path);
    }
}

struct Dismissal {
    const char* name;
    DialogInput input;
};

void PrintTo(const Dismissal& dismissal, std::ostream* out) {
    *out << dismissal.name;
}

class MessageBoxDismissal : public testing::TestWithParam<Dismissal> {};

TEST_P(MessageBoxDismissal, ClosesAnUnownedDialogCentredOnTheScreen) {
    BoxRun run = runBox(nullptr, "Failed to choose pixel format.", "ERROR", "ERROR", {}, GetParam().input);

    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.stderrText, "ERROR: Failed to choose pixel format.\n");
    const DialogObservation& seen = run.seen;
    ASSERT_TRUE(seen.found) << "no viewable, focused top-level window titled ERROR";
    EXPECT_EQ(seen.wmName, "ERROR");
    EXPECT_EQ(seen.netWmName, "ERROR");
    EXPECT_TRUE(seen.dialogType);
    EXPECT_TRUE(seen.deleteProtocol);
    EXPECT_EQ(seen.transientFor, 0u);
    EXPECT_TRUE(seen.buttonDrawn) << "no OK button under drawn text after an Expose";
    expectCentredOn(seen.geometry, 512, 384);
    EXPECT_TRUE(seen.closed);
}

const Dismissal dismissals[] = {
    {"ReturnKey", DialogInput::ReturnKey}, {"KeypadEnter", DialogInput::KeypadEnterKey},
    {"Escape", DialogInput::EscapeKey},    {"Space", DialogInput::SpaceKey},
    {"ClickOnOk", DialogInput::ClickOk},   {"CloseRequest", DialogInput::CloseRequest},
};

INSTANTIATE_TEST_SUITE_P(Ways, MessageBoxDismissal, testing::ValuesIn(dismissals),
                         [](const testing::TestParamInfo<Dismissal>& info) { return info.param.name; });

TEST(MessageBox, StaysOpenForInputThatDoesNotDismissIt) {
    BoxRun run = runBox(nullptr, "text", "ERROR", "ERROR",
                        {DialogInput::LetterKey, DialogInput::ClickOutsideOk, DialogInput::RightClickOk,
                         DialogInput::DragOffOk},
                        DialogInput::EscapeKey);

    EXPECT_EQ(run.result, IDOK);
    ASSERT_TRUE(run.seen.found);
    EXPECT_TRUE(run.seen.openAfterIgnoredInput);
    EXPECT_TRUE(run.seen.closed);
}

TEST(MessageBox, NullCaptionReadsErrorAndEachLineOfTextAddsALine) {
    BoxRun oneLine = runBox(nullptr, "first line", nullptr, "Error", {}, DialogInput::ReturnKey);
    BoxRun twoLines =
        runBox(nullptr, "first line\nsecond line", nullptr, "Error", {}, DialogInput::ReturnKey);

    EXPECT_EQ(oneLine.stderrText, "Error: first line\n");
    EXPECT_EQ(twoLines.stderrText, "Error: first line second line\n");
    ASSERT_TRUE(oneLine.seen.found && twoLines.seen.found);
    EXPECT_EQ(twoLines.seen.wmName, "Error");
    int lineHeight = DialogDriver(session().server->displayName()).fontLineHeight("fixed");
    ASSERT_GT(lineHeight, 0);
    EXPECT_EQ(twoLines.seen.geometry.height - oneLine.seen.geometry.height, lineHeight);
    EXPECT_EQ(twoLines.seen.geometry.width, oneLine.seen.geometry.width);
}

TEST(MessageBox, Latin1CaptionIsAUtf8NetWmName) {
    BoxRun run = runBox(nullptr, "text", "Fehler \xE4", "Fehler \xE4", {}, DialogInput::ReturnKey);

    ASSERT_TRUE(run.seen.found);
    EXPECT_EQ(run.seen.netWmName, "Fehler \xC3\xA4");
}

// An owner window on the layer's connection, entered in the window table the
// way window creation enters it. Its MapNotify is already in Xlib's queue when
// the box opens.
class OwnedMessageBox : public testing::Test {
  protected:
    void SetUp() override {
        display = win32::display();
        ASSERT_NE(display, nullptr);
        xWindow = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 50, 400, 300, 0,
                                      BlackPixel(display, 0), WhitePixel(display, 0));
        XSelectInput(display, xWindow, StructureNotifyMask);
        XMapWindow(display, xWindow);
        XSync(display, False);
        auto record = std::make_unique<win32::WindowRecord>();
        record->xWindow = xWindow;
        handle = win32::windowTable().add(std::move(record));
        win32::windowTable().find(handle)->handle = owner();
    }

    void TearDown() override {
        win32::windowTable().remove(handle);
        XDestroyWindow(display, xWindow);
        XSync(display, False);
        XEvent event;
        while (XCheckWindowEvent(display, xWindow, StructureNotifyMask, &event)) {
        }
    }

    HWND owner() const { return reinterpret_cast<HWND>(handle); }

    Display* display = nullptr;
    ::Window xWindow = 0;
    std::uintptr_t handle = 0;
};

TEST_F(OwnedMessageBox, IsTransientCentredOnTheOwnerAndLeavesItsEventsQueued) {
    BoxRun run = runBox(owner(), "text", "ERROR", "ERROR", {}, DialogInput::ClickOk);

    EXPECT_EQ(run.result, IDOK);
    ASSERT_TRUE(run.seen.found);
    EXPECT_EQ(run.seen.transientFor, xWindow);
    expectCentredOn(run.seen.geometry, 100 + 400 / 2, 50 + 300 / 2);
    XEvent event;
    EXPECT_TRUE(XCheckTypedWindowEvent(display, xWindow, MapNotify, &event))
        << "the box took an event of the owner out of the queue";
}

TEST_F(OwnedMessageBox, StaleOwnerGivesAnUnownedBoxAndKeepsTheLastError) {
    HWND stale = owner();
    win32::windowTable().remove(handle);
    SetLastError(1234);

    BoxRun run = runBox(stale, "text", "ERROR", "ERROR", {}, DialogInput::ReturnKey);

    EXPECT_EQ(run.result, IDOK);
    ASSERT_TRUE(run.seen.found);
    EXPECT_EQ(run.seen.transientFor, 0u);
    expectCentredOn(run.seen.geometry, 512, 384);
    EXPECT_EQ(GetLastError(), 1234u);
}

const ServerSetup* setupNamed(int argc, char** argv) {
    std::string name = "default";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--server=", 9) == 0)
            name = argv[i] + 9;
    for (const ServerSetup& setup : serverSetups)
        if (name == setup.name)
            return &setup;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const ServerSetup* setup = setupNamed(argc, argv);
    if (!setup) {
        std::fprintf(stderr, "unknown --server set-up\n");
        return 2;
    }
    testing_support::XvfbServer server(setup->screen, setup->arguments);
    setenv("DISPLAY", server.displayName().c_str(), 1);
    session() = Session{setup, &server};
    // Opens the layer's connection, and with it the process's X error
    // handler, before the driver's connection makes any request.
    if (!win32::display()) {
        std::fprintf(stderr, "cannot open %s: %s\n", server.displayName().c_str(),
                     win32::displayFailureReason());
        return 1;
    }
    return RUN_ALL_TESTS();
}
