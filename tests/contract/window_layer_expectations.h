// What the GL window layer is expected to call, shared by the contract tests
// of both programs. The values are written out as the layer's contract states
// them; the handles and the frame size are whatever the stand-in answered.
#pragma once

#include "recording_platform.h"

#include <vector>

namespace contract {

struct WindowRequest {
    const char* className;
    int width;
    int height;
    bool fullscreen;
};

// The set-up of a window when every step succeeds, in order. The lookups for
// the class record (icon, cursor, brush) may come in any order before the
// class is registered, so they are left out here and checked by
// expectClassRecord.
std::vector<fake::Call> windowSetUpCalls(const fake::Script& script, const WindowRequest& request);

// The tear-down: no current context, context deleted, device context
// released, display mode restored (full screen only), window destroyed.
std::vector<fake::Call> tearDownCalls(HWND hWnd, HDC hDC, HGLRC hRC, bool fullscreen);

// The lookups of the class record happen once each, before RegisterClassA,
// and the record registered holds them, the procedure and the class name.
void expectClassRecord(const std::vector<fake::Call>& calls, const fake::Script& script,
                       const char* className, WNDPROC procedure);

// ChoosePixelFormat and SetPixelFormat were both given this request: a
// double-buffered RGBA window format with a 24-bit depth buffer, every other
// byte zero.
void expectPixelFormatRequest(const std::vector<fake::Call>& calls, BYTE colorBits);

// ChangeDisplaySettingsA was given the current mode with four fields changed,
// as far as the record of dmSize bytes reaches.
void expectDisplayModeSwitch(const std::vector<fake::Call>& calls, const fake::Script& script, WORD dmSize,
                             DWORD bitsPerPel, int width, int height);

// The calls the class lookups and the default window procedure make, which
// most sequences leave out.
extern const std::set<std::string> lookupsAndDefaultProcessing;

} // namespace contract
