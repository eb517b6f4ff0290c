// The layout of the Win32 records and the values of the Win32 constants that
// the programs use, as the Win32 documentation defines them. Compiled against
// this project's windows.h in the Linux build and against the platform's in
// the Windows build, so the two headers agree wherever the programs look.
//
// The expected numbers are written out here, not taken from either header.
// Offsets and sizes are those of 32-bit Windows (i686). Pointer-sized fields
// (handles, pointers, WPARAM, LPARAM) are 8 bytes on a 64-bit build, so MSG
// and WNDCLASSA are legitimately larger there; for them the check expects the
// 64-bit layout (each such field 8 bytes and 8-aligned) on a 64-bit build.
// RECT, PIXELFORMATDESCRIPTOR and DEVMODEA hold only fixed-size fields and
// have the same layout on every build.
#include <windows.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <type_traits>

namespace {

constexpr bool pointers64 = sizeof(void*) == 8;
static_assert(sizeof(void*) == 4 || pointers64, "a 32-bit or a 64-bit build");

// The expected value on a 32-bit build, or on a 64-bit one.
constexpr size_t bits32or64(size_t on32, size_t on64) {
    return pointers64 ? on64 : on32;
}

} // namespace

#define CHECK_FIELD(record, field, offset, size)                                                             \
    static_assert(offsetof(record, field) == (offset), #record "." #field " is at offset " #offset);         \
    static_assert(sizeof(record::field) == (size), #record "." #field " is " #size " bytes")

// ---- Base types --------------------------------------------------------------

static_assert(sizeof(BYTE) == 1 && std::is_unsigned<BYTE>::value, "BYTE");
static_assert(sizeof(WORD) == 2 && std::is_unsigned<WORD>::value, "WORD");
static_assert(sizeof(DWORD) == 4 && std::is_unsigned<DWORD>::value, "DWORD");
static_assert(sizeof(UINT) == 4 && std::is_unsigned<UINT>::value, "UINT");
static_assert(sizeof(LONG) == 4 && std::is_signed<LONG>::value, "LONG is 32 bits on every build");
static_assert(sizeof(BOOL) == 4 && std::is_signed<BOOL>::value, "BOOL");
static_assert(sizeof(ATOM) == 2, "ATOM");
static_assert(sizeof(WPARAM) == sizeof(void*) && std::is_unsigned<WPARAM>::value, "WPARAM is pointer-sized");
static_assert(sizeof(LPARAM) == sizeof(void*) && std::is_signed<LPARAM>::value, "LPARAM is pointer-sized");
static_assert(sizeof(LRESULT) == sizeof(void*) && std::is_signed<LRESULT>::value, "LRESULT is pointer-sized");
static_assert(sizeof(HWND) == sizeof(void*) && sizeof(HGLRC) == sizeof(void*), "handles are pointer-sized");

// ---- RECT --------------------------------------------------------------------

static_assert(sizeof(RECT) == 16, "RECT is 16 bytes");
CHECK_FIELD(RECT, left, 0, 4);
CHECK_FIELD(RECT, top, 4, 4);
CHECK_FIELD(RECT, right, 8, 4);
CHECK_FIELD(RECT, bottom, 12, 4);

// ---- MSG (pointer-sized fields: larger on a 64-bit build) ---------------------

static_assert(sizeof(MSG) == bits32or64(28, 48), "MSG is 28 bytes (48 on a 64-bit build)");
CHECK_FIELD(MSG, hwnd, 0, bits32or64(4, 8));
CHECK_FIELD(MSG, message, bits32or64(4, 8), 4);
CHECK_FIELD(MSG, wParam, bits32or64(8, 16), bits32or64(4, 8));
CHECK_FIELD(MSG, lParam, bits32or64(12, 24), bits32or64(4, 8));
CHECK_FIELD(MSG, time, bits32or64(16, 32), 4);
CHECK_FIELD(MSG, pt, bits32or64(20, 36), 8);

// ---- WNDCLASSA (pointer-sized fields: larger on a 64-bit build) ---------------

static_assert(sizeof(WNDCLASSA) == bits32or64(40, 72), "WNDCLASSA is 40 bytes (72 on a 64-bit build)");
CHECK_FIELD(WNDCLASSA, style, 0, 4);
CHECK_FIELD(WNDCLASSA, lpfnWndProc, bits32or64(4, 8), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, cbClsExtra, bits32or64(8, 16), 4);
CHECK_FIELD(WNDCLASSA, cbWndExtra, bits32or64(12, 20), 4);
CHECK_FIELD(WNDCLASSA, hInstance, bits32or64(16, 24), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, hIcon, bits32or64(20, 32), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, hCursor, bits32or64(24, 40), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, hbrBackground, bits32or64(28, 48), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, lpszMenuName, bits32or64(32, 56), bits32or64(4, 8));
CHECK_FIELD(WNDCLASSA, lpszClassName, bits32or64(36, 64), bits32or64(4, 8));

// ---- PIXELFORMATDESCRIPTOR ----------------------------------------------------

static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "PIXELFORMATDESCRIPTOR is 40 bytes");
CHECK_FIELD(PIXELFORMATDESCRIPTOR, nSize, 0, 2);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, nVersion, 2, 2);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, dwFlags, 4, 4);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, iPixelType, 8, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cColorBits, 9, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cRedBits, 10, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cRedShift, 11, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cGreenBits, 12, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cGreenShift, 13, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cBlueBits, 14, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cBlueShift, 15, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAlphaBits, 16, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAlphaShift, 17, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAccumBits, 18, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAccumRedBits, 19, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAccumGreenBits, 20, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAccumBlueBits, 21, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAccumAlphaBits, 22, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cDepthBits, 23, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cStencilBits, 24, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, cAuxBuffers, 25, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, iLayerType, 26, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, bReserved, 27, 1);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, dwLayerMask, 28, 4);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, dwVisibleMask, 32, 4);
CHECK_FIELD(PIXELFORMATDESCRIPTOR, dwDamageMask, 36, 4);

// ---- DEVMODEA -----------------------------------------------------------------

// The full record; its older 148-byte form ends where dmPanningWidth begins.
static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA is 156 bytes");
CHECK_FIELD(DEVMODEA, dmDeviceName, 0, 32);
CHECK_FIELD(DEVMODEA, dmSpecVersion, 32, 2);
CHECK_FIELD(DEVMODEA, dmDriverVersion, 34, 2);
CHECK_FIELD(DEVMODEA, dmSize, 36, 2);
CHECK_FIELD(DEVMODEA, dmDriverExtra, 38, 2);
CHECK_FIELD(DEVMODEA, dmFields, 40, 4);
CHECK_FIELD(DEVMODEA, dmOrientation, 44, 2);
CHECK_FIELD(DEVMODEA, dmPrintQuality, 58, 2);
CHECK_FIELD(DEVMODEA, dmPosition, 44, 8);
CHECK_FIELD(DEVMODEA, dmDisplayOrientation, 52, 4);
CHECK_FIELD(DEVMODEA, dmDisplayFixedOutput, 56, 4);
CHECK_FIELD(DEVMODEA, dmColor, 60, 2);
CHECK_FIELD(DEVMODEA, dmDuplex, 62, 2);
CHECK_FIELD(DEVMODEA, dmYResolution, 64, 2);
CHECK_FIELD(DEVMODEA, dmTTOption, 66, 2);
CHECK_FIELD(DEVMODEA, dmCollate, 68, 2);
CHECK_FIELD(DEVMODEA, dmFormName, 70, 32);
CHECK_FIELD(DEVMODEA, dmLogPixels, 102, 2);
CHECK_FIELD(DEVMODEA, dmBitsPerPel, 104, 4);
CHECK_FIELD(DEVMODEA, dmPelsWidth, 108, 4);
CHECK_FIELD(DEVMODEA, dmPelsHeight, 112, 4);
CHECK_FIELD(DEVMODEA, dmDisplayFlags, 116, 4);
CHECK_FIELD(DEVMODEA, dmDisplayFrequency, 120, 4);
CHECK_FIELD(DEVMODEA, dmICMMethod, 124, 4);
CHECK_FIELD(DEVMODEA, dmICMIntent, 128, 4);
CHECK_FIELD(DEVMODEA, dmMediaType, 132, 4);
CHECK_FIELD(DEVMODEA, dmDitherType, 136, 4);
CHECK_FIELD(DEVMODEA, dmReserved1, 140, 4);
CHECK_FIELD(DEVMODEA, dmReserved2, 144, 4);
CHECK_FIELD(DEVMODEA, dmPanningWidth, 148, 4);
CHECK_FIELD(DEVMODEA, dmPanningHeight, 152, 4);

// ---- Constants -----------------------------------------------------------------

#define CHECK_VALUE(name, value) static_assert((name) == (value), #name " is " #value)

CHECK_VALUE(FALSE, 0);
CHECK_VALUE(TRUE, 1);

// Window classes, styles and showing.
CHECK_VALUE(CS_VREDRAW, 0x0001);
CHECK_VALUE(CS_HREDRAW, 0x0002);
CHECK_VALUE(CS_OWNDC, 0x0020);
CHECK_VALUE(WHITE_BRUSH, 0);
CHECK_VALUE((DWORD)WS_POPUP, 0x80000000u);
CHECK_VALUE((DWORD)WS_CLIPSIBLINGS, 0x04000000u);
CHECK_VALUE((DWORD)WS_CLIPCHILDREN, 0x02000000u);
CHECK_VALUE((DWORD)WS_OVERLAPPEDWINDOW, 0x00CF0000u);
CHECK_VALUE(CW_USEDEFAULT, (int)0x80000000u);
CHECK_VALUE(SW_SHOW, 5);
CHECK_VALUE(SW_SHOWDEFAULT, 10);

// Messages and keys.
CHECK_VALUE(WM_DESTROY, 0x0002);
CHECK_VALUE(WM_SIZE, 0x0005);
CHECK_VALUE(WM_CLOSE, 0x0010);
CHECK_VALUE(WM_QUIT, 0x0012);
CHECK_VALUE(WM_KEYDOWN, 0x0100);
CHECK_VALUE(PM_REMOVE, 0x0001);
CHECK_VALUE(VK_ESCAPE, 0x1B);
CHECK_VALUE(LOWORD(0x12345678), 0x5678);
CHECK_VALUE(HIWORD(0x12345678), 0x1234);
CHECK_VALUE(LOWORD((LPARAM)-1), 0xFFFF);

// Message boxes and display modes.
CHECK_VALUE(MB_OK, 0);
CHECK_VALUE(ENUM_CURRENT_SETTINGS, 0xFFFFFFFFu);
CHECK_VALUE(CDS_FULLSCREEN, 0x00000004);

// Pixel formats.
CHECK_VALUE(PFD_TYPE_RGBA, 0);
CHECK_VALUE(PFD_MAIN_PLANE, 0);
CHECK_VALUE(PFD_DOUBLEBUFFER, 0x00000001);
CHECK_VALUE(PFD_DRAW_TO_WINDOW, 0x00000004);
CHECK_VALUE(PFD_SUPPORT_OPENGL, 0x00000020);

// The resource names of the stock icon and cursor are integers cast to
// pointers, which a constant expression cannot look through; they are checked
// when the program runs.
int main() {
    struct {
        const char* name;
        uintptr_t actual;
        uintptr_t documented;
    } const resources[] = {
        {"IDI_WINLOGO", (uintptr_t)IDI_WINLOGO, 32517},
        {"IDC_ARROW", (uintptr_t)IDC_ARROW, 32512},
    };
    int mismatches = 0;
    for (const auto& resource : resources) {
        if (resource.actual != resource.documented) {
            fprintf(stderr, "%s is %lu, not %lu\n", resource.name, (unsigned long)resource.actual,
                    (unsigned long)resource.documented);
            ++mismatches;
        }
    }
    return mismatches == 0 ? 0 : 1;
}
