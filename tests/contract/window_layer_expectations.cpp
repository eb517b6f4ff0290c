#include "window_layer_expectations.h"

#include <gtest/gtest.h>

#include <cstring>

using fake::call;
using fake::Call;
using fake::Value;

namespace contract {

const std::set<std::string> lookupsAndDefaultProcessing = {"LoadIconA", "LoadCursorA", "GetStockObject",
                                                           "DefWindowProcA"};

std::vector<Call> windowSetUpCalls(const fake::Script& script, const WindowRequest& request) {
    const unsigned framed = 0x00CF0000u;          // overlapped window
    const unsigned popup = 0x80000000u;           // full screen
    const unsigned clipping = 0x06000000u;        // clip siblings and children
    const unsigned currentSettings = 0xFFFFFFFFu; // the current display mode
    const unsigned fullscreenChange = 4u;
    const int systemPlaces = static_cast<int>(0x80000000u);
    const int outerWidth = request.width + script.frame.left + script.frame.right;
    const int outerHeight = request.height + script.frame.top + script.frame.bottom;

    std::vector<Call> calls = {
        call("GetModuleHandleA", {nullptr}),
        call("RegisterClassA", {Value::text(request.className)}),
        call("AdjustWindowRect", {0, 0, request.width, request.height, framed, 0}),
    };
    if (request.fullscreen) {
        calls.push_back(call("EnumDisplaySettingsA", {nullptr, currentSettings, Value::text("&DEVMODEA")}));
        calls.push_back(call("ChangeDisplaySettingsA", {Value::text("&DEVMODEA"), fullscreenChange}));
    }
    const unsigned style = (request.fullscreen ? popup : framed) | clipping;
    const std::vector<Call> rest = {
        call("CreateWindowExA",
             {0u, Value::text(request.className), Value::text("Quorlane"), style, systemPlaces, systemPlaces,
              outerWidth, outerHeight, nullptr, nullptr, script.module, nullptr}),
        call("GetDC", {script.window}),
        call("ChoosePixelFormat", {script.dc, Value::text("&PIXELFORMATDESCRIPTOR")}),
        call("SetPixelFormat", {script.dc, script.pixelFormat, Value::text("&PIXELFORMATDESCRIPTOR")}),
        call("wglCreateContext", {script.dc}),
        call("wglMakeCurrent", {script.dc, script.context}),
        call("ShowWindow", {script.window, 5}),
        call("SetForegroundWindow", {script.window}),
        call("glViewport", {0, 0, request.width, request.height}),
    };
    calls.insert(calls.end(), rest.begin(), rest.end());
    return calls;
}

std::vector<Call> tearDownCalls(HWND hWnd, HDC hDC, HGLRC hRC, bool fullscreen) {
    std::vector<Call> calls = {
        call("wglMakeCurrent", {nullptr, nullptr}),
        call("wglDeleteContext", {hRC}),
        call("ReleaseDC", {hWnd, hDC}),
    };
    if (fullscreen)
        calls.push_back(call("ChangeDisplaySettingsA", {nullptr, 0u}));
    calls.push_back(call("DestroyWindow", {hWnd}));
    return calls;
}

void expectClassRecord(const std::vector<Call>& calls, const fake::Script& script, const char* className,
                       WNDPROC procedure) {
    const size_t registered = fake::indexOf(calls, "RegisterClassA");
    ASSERT_LT(registered, calls.size());
    ASSERT_EQ(fake::countOf(calls, "RegisterClassA"), 1u);
    const unsigned winlogo = 0x7F05, arrow = 0x7F00;
    const int whiteBrush = 0;
    for (const Call& expected : {call("LoadIconA", {nullptr, winlogo}), call("LoadCursorA", {nullptr, arrow}),
                                 call("GetStockObject", {whiteBrush})}) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(fake::countOf(calls, expected.name), 1u);
        const size_t at = fake::indexOf(calls, expected.name);
        EXPECT_LT(at, registered) << "looked up before the class is registered";
        if (at < calls.size()) {
            EXPECT_EQ(calls[at], expected);
        }
    }

    const WNDCLASSA record = calls[registered].recordAs<WNDCLASSA>();
    EXPECT_EQ(record.style, 0x23u);
    EXPECT_EQ(record.lpfnWndProc, procedure);
    EXPECT_EQ(record.cbClsExtra, 0);
    EXPECT_EQ(record.cbWndExtra, 0);
    EXPECT_EQ(record.hInstance, script.module);
    EXPECT_EQ(record.hIcon, script.icon);
    EXPECT_EQ(record.hCursor, script.cursor);
    EXPECT_EQ(record.hbrBackground, script.whiteBrush);
    EXPECT_EQ(record.lpszMenuName, nullptr);
    ASSERT_NE(record.lpszClassName, nullptr);
    EXPECT_STREQ(record.lpszClassName, className);
}

void expectPixelFormatRequest(const std::vector<Call>& calls, BYTE colorBits) {
    static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the request is a 40-byte record");
    PIXELFORMATDESCRIPTOR expected;
    std::memset(&expected, 0, sizeof expected);
    expected.nSize = 40;
    expected.nVersion = 1;
    expected.dwFlags = 0x25; // draw to window, OpenGL, double buffer
    expected.iPixelType = 0; // RGBA
    expected.cColorBits = colorBits;
    expected.cDepthBits = 24;

    for (const char* name : {"ChoosePixelFormat", "SetPixelFormat"}) {
        SCOPED_TRACE(name);
        const size_t at = fake::indexOf(calls, name);
        ASSERT_LT(at, calls.size());
        ASSERT_EQ(calls[at].record.size(), sizeof expected);
        const PIXELFORMATDESCRIPTOR given = calls[at].recordAs<PIXELFORMATDESCRIPTOR>();
        EXPECT_EQ(given.cColorBits, colorBits);
        EXPECT_EQ(std::memcmp(&given, &expected, sizeof expected), 0)
            << "a byte other than the request's differs";
    }
}

void expectDisplayModeSwitch(const std::vector<Call>& calls, const fake::Script& script, WORD dmSize,
                             DWORD bitsPerPel, int width, int height) {
    const size_t at = fake::indexOf(calls, "ChangeDisplaySettingsA");
    ASSERT_LT(at, calls.size());
    ASSERT_GE(calls[at].record.size(), size_t{dmSize});
    const DEVMODEA given = calls[at].recordAs<DEVMODEA>();
    EXPECT_EQ(given.dmSize, dmSize);
    EXPECT_EQ(given.dmBitsPerPel, bitsPerPel);
    EXPECT_EQ(given.dmPelsWidth, static_cast<DWORD>(width));
    EXPECT_EQ(given.dmPelsHeight, static_cast<DWORD>(height));
    EXPECT_EQ(given.dmFields, script.currentMode.dmFields) << "the query's fields are kept";
    EXPECT_EQ(given.dmDisplayFrequency, script.currentMode.dmDisplayFrequency) << "the refresh rate is kept";

    DEVMODEA expected = script.currentMode;
    expected.dmSize = dmSize;
    expected.dmBitsPerPel = bitsPerPel;
    expected.dmPelsWidth = width;
    expected.dmPelsHeight = height;
    EXPECT_EQ(std::memcmp(&given, &expected, dmSize), 0) << "a field that the query filled was changed";
}

} // namespace contract
