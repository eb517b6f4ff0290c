// Pixel formats and presentation: ChoosePixelFormat, SetPixelFormat,
// GetPixelFormat, DescribePixelFormat and SwapBuffers, with records whose size
// fields are wrong and format numbers out of range.
#include "abuse_driver.h"

#include <cstring>

namespace robustness {
namespace {

constexpr unsigned char guardByte = 0xA5;

HDC asDc(std::uintptr_t value) {
    return reinterpret_cast<HDC>(value);
}

// A request as a program might fill it, now and then with a wrong size or version.
PIXELFORMATDESCRIPTOR randomRequest(SeededRandom& random, bool& wellFormed) {
    PIXELFORMATDESCRIPTOR request{};
    wellFormed = true;
    request.nSize = sizeof request;
    if (random.percent(15)) {
        request.nSize = random.pick<WORD>({0, 1, sizeof request - 1, sizeof request + 1, 0xFFFF,
                                           static_cast<WORD>(random.between(2, 200))});
        wellFormed = request.nSize == sizeof request;
    }
    request.nVersion = 1;
    if (random.percent(8)) {
        request.nVersion = static_cast<WORD>(random.between(0, 3));
        wellFormed = wellFormed && request.nVersion == 1;
    }
    request.dwFlags = random.percent(70) ? PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER
                                         : static_cast<DWORD>(random.next());
    request.iPixelType =
        random.percent(85) ? PFD_TYPE_RGBA : random.pick<BYTE>({PFD_TYPE_COLORINDEX, 2, 0xFF});
    request.cColorBits = random.pick<BYTE>({0, 8, 15, 16, 24, 32, 48, 64, 255});
    request.cAlphaBits = random.pick<BYTE>({0, 0, 8, 255});
    request.cAccumBits = random.pick<BYTE>({0, 0, 0, 16, 64, 255});
    request.cDepthBits = random.pick<BYTE>({0, 16, 24, 32, 255});
    request.cStencilBits = random.pick<BYTE>({0, 0, 8, 255});
    request.cAuxBuffers = random.pick<BYTE>({0, 0, 0, 4, 255});
    request.iLayerType = random.percent(90) ? PFD_MAIN_PLANE : static_cast<BYTE>(random.between(1, 255));
    return request;
}

void choosePixelFormat(AbuseDriver& d) {
    HandleArgument deviceContext = d.anyDeviceContext();
    bool withRecord = d.random.percent(92);
    bool wellFormed = false;
    PIXELFORMATDESCRIPTOR request = randomRequest(d.random, wellFormed);
    std::string call = std::string("ChoosePixelFormat(") + deviceContext.origin + " " +
                       hex(deviceContext.value) + ", " +
                       (withRecord ? "nSize " + std::to_string(request.nSize) + " nVersion " +
                                         std::to_string(request.nVersion) + " flags " + hex(request.dwFlags)
                                   : std::string("NULL")) +
                       ")";
    d.trace(call);
    bool liveDc = d.windowOfDeviceContext(deviceContext.value) != nullptr;
    d.clearLastError();
    int format = ChoosePixelFormat(asDc(deviceContext.value), withRecord ? &request : nullptr);
    bool goodRecord = withRecord && wellFormed;
    if (!liveDc && !goodRecord) {
        d.expectRefused(call, format == 0, {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER});
    } else if (!liveDc) {
        d.expectRefused(call, format == 0, {ERROR_INVALID_HANDLE});
    } else if (!goodRecord) {
        d.expectRefused(call, format == 0, {ERROR_INVALID_PARAMETER});
    } else if (format == 0) {
        d.expectRefused(call, true, {ERROR_INVALID_PIXEL_FORMAT});
    } else {
        d.expect(format >= 1 && format <= d.formatCount,
                 call + ": format " + std::to_string(format) + " out of range");
        PIXELFORMATDESCRIPTOR chosen{};
        if (format >= 1 && format <= d.formatCount &&
            DescribePixelFormat(asDc(deviceContext.value), format, sizeof chosen, &chosen)) {
            if (request.iPixelType <= PFD_TYPE_COLORINDEX)
                d.expect(chosen.iPixelType == request.iPixelType, call + ": a format of another pixel type");
            if ((request.dwFlags & PFD_DOUBLEBUFFER) && !(request.dwFlags & PFD_DOUBLEBUFFER_DONTCARE))
                d.expect(chosen.dwFlags & PFD_DOUBLEBUFFER,
                         call + ": a single-buffered format for double buffering");
        }
    }
}

void setPixelFormat(AbuseDriver& d) {
    HandleArgument deviceContext = d.anyDeviceContext();
    int format = d.anyPixelFormat();
    bool wellFormed = false;
    PIXELFORMATDESCRIPTOR record = randomRequest(d.random, wellFormed);
    bool withRecord = d.random.percent(85);
    std::string call = std::string("SetPixelFormat(") + deviceContext.origin + " " +
                       hex(deviceContext.value) + ", " + std::to_string(format) + ")";
    d.trace(call);
    WindowState* state = d.windowOfDeviceContext(deviceContext.value);
    bool inRange = format >= 1 && format <= d.formatCount;
    d.clearLastError();
    BOOL result = SetPixelFormat(asDc(deviceContext.value), format, withRecord ? &record : nullptr);
    if (!state) {
        d.expectRefused(call, !result, {ERROR_INVALID_HANDLE, ERROR_INVALID_PIXEL_FORMAT});
        return;
    }
    if (!inRange || (state->pixelFormat != 0 && state->pixelFormat != format)) {
        // Out of range, or a window whose format is already set to another.
        d.expectRefused(call, !result, {ERROR_INVALID_PIXEL_FORMAT});
        return;
    }
    if (state->doomed && !result) {
        d.expectRefused(call, true, {ERROR_INVALID_PIXEL_FORMAT});
        return;
    }
    d.expect(result, call + ": refused a valid format, last error " + std::to_string(GetLastError()));
    if (result)
        state->pixelFormat = format;
}

void getPixelFormat(AbuseDriver& d) {
    HandleArgument deviceContext = d.anyDeviceContext();
    std::string call =
        std::string("GetPixelFormat(") + deviceContext.origin + " " + hex(deviceContext.value) + ")";
    d.trace(call);
    WindowState* state = d.windowOfDeviceContext(deviceContext.value);
    d.clearLastError();
    int format = GetPixelFormat(asDc(deviceContext.value));
    if (!state)
        d.expectRefused(call, format == 0, {ERROR_INVALID_HANDLE});
    else
        d.expect(format == state->pixelFormat,
                 call + ": " + std::to_string(format) + ", set was " + std::to_string(state->pixelFormat));
}

void describePixelFormat(AbuseDriver& d) {
    HandleArgument deviceContext = d.anyDeviceContext();
    int format =
        d.random.percent(60) ? static_cast<int>(d.random.between(1, d.formatCount)) : d.anyPixelFormat();
    UINT size = d.random.percent(75)
                    ? static_cast<UINT>(sizeof(PIXELFORMATDESCRIPTOR))
                    : d.random.pick<UINT>({0, 1, sizeof(PIXELFORMATDESCRIPTOR) - 1,
                                           sizeof(PIXELFORMATDESCRIPTOR) + 1, 100, 0xFFFFFFFFu});
    bool withRecord = d.random.percent(90);
    std::string call = std::string("DescribePixelFormat(") + deviceContext.origin + " " +
                       hex(deviceContext.value) + ", " + std::to_string(format) + ", " +
                       std::to_string(size) + (withRecord ? ", record)" : ", NULL)");
    d.trace(call);
    // The record with guard bytes after it: nothing may be written past the
    // record, nor past the size the caller gave.
    struct Guarded {
        PIXELFORMATDESCRIPTOR record;
        unsigned char guard[64];
    } buffer;
    std::memset(&buffer, guardByte, sizeof buffer);
    bool liveDc = d.windowOfDeviceContext(deviceContext.value) != nullptr;
    bool inRange = format >= 1 && format <= d.formatCount;
    d.clearLastError();
    int result =
        DescribePixelFormat(asDc(deviceContext.value), format, size, withRecord ? &buffer.record : nullptr);

    std::size_t writable = withRecord ? std::min<std::size_t>(size, sizeof buffer.record) : 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&buffer);
    for (std::size_t i = writable; i < sizeof buffer; ++i)
        if (bytes[i] != guardByte) {
            d.expect(false, call + ": wrote byte " + std::to_string(i) + " past what it was allowed");
            break;
        }
    if (!liveDc) {
        d.expectRefused(call, result == 0,
                        {ERROR_INVALID_HANDLE, ERROR_INVALID_PIXEL_FORMAT, ERROR_INVALID_PARAMETER});
    } else if (!withRecord) {
        d.expect(result == d.formatCount, call + ": did not give the number of formats");
    } else if (!inRange) {
        d.expectRefused(call, result == 0, {ERROR_INVALID_PIXEL_FORMAT, ERROR_INVALID_PARAMETER});
    } else if (size < sizeof(PIXELFORMATDESCRIPTOR)) {
        // The platform stores at most nBytes; the layer refuses a short record instead.
        if (result == 0)
            d.expectRefused(call, true, {ERROR_INVALID_PARAMETER});
    } else {
        d.expect(result == d.formatCount && buffer.record.nSize == sizeof(PIXELFORMATDESCRIPTOR) &&
                     buffer.record.nVersion == 1,
                 call + ": no description of a valid format");
    }
}

void swapBuffers(AbuseDriver& d) {
    HandleArgument deviceContext = d.anyDeviceContext();
    WindowState* state = d.windowOfDeviceContext(deviceContext.value);
    if (state && state->tooLargeToDraw)
        return;
    std::string call =
        std::string("SwapBuffers(") + deviceContext.origin + " " + hex(deviceContext.value) + ")";
    d.trace(call);
    d.clearLastError();
    BOOL result = SwapBuffers(asDc(deviceContext.value));
    if (!state)
        d.expectRefused(call, !result, {ERROR_INVALID_HANDLE});
    else if (state->pixelFormat == 0)
        d.expectRefused(call, !result, {ERROR_INVALID_PIXEL_FORMAT});
    else if (!state->doomed)
        d.expect(result, call + ": failed on a window with a pixel format");
}

} // namespace

void addPixelFormatSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"ChoosePixelFormat", 4, choosePixelFormat},
                                  {"SetPixelFormat", 7, setPixelFormat},
                                  {"GetPixelFormat", 2, getPixelFormat},
                                  {"DescribePixelFormat", 4, describePixelFormat},
                                  {"SwapBuffers", 4, swapBuffers},
                              });
}

} // namespace robustness
