// The message queue: PeekMessageA with random filters, TranslateMessage and
// DispatchMessageA of made-up records, SendMessageA, PostMessageA,
// DefWindowProcA and PostQuitMessage with random messages and parameters.
#include "abuse_driver.h"

namespace robustness {
namespace {

HWND asWindow(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

std::string describeMessage(UINT message, std::uintptr_t wParam, std::uintptr_t lParam) {
    return hex(message) + ", " + hex(wParam) + ", " + hex(lParam);
}

void peekMessage(AbuseDriver& d) {
    if (d.random.percent(5)) {
        d.trace("PeekMessageA(NULL record)");
        d.clearLastError();
        d.expectRefused("PeekMessageA(NULL record)", !PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE),
                        {ERROR_INVALID_PARAMETER});
        return;
    }
    // A window filter of any kind but -1, whose meaning (thread messages
    // only) the layer leaves out.
    HandleArgument filter = d.random.percent(60) ? HandleArgument{0, "null"} : d.anyWindow();
    if (filter.value == static_cast<std::uintptr_t>(-1))
        filter = {0, "null"};
    UINT first = 0, last = 0;
    if (d.random.percent(30)) {
        first = static_cast<UINT>(d.random.between(0, 0x500));
        last = d.random.percent(90) ? first + static_cast<UINT>(d.random.between(0, 0x500))
                                    : static_cast<UINT>(d.random.between(0, 0x500));
    }
    UINT remove = d.random.pick<UINT>(
        {PM_REMOVE, PM_REMOVE, PM_NOREMOVE, PM_REMOVE | 0x0002, static_cast<UINT>(d.random.next())});
    d.trace(std::string("PeekMessageA(") + filter.origin + ", " + hex(first) + ".." + hex(last) + ", " +
            hex(remove) + ")");
    MSG message;
    if (d.peekAndCheck(message, asWindow(filter.value), first, last, remove) && message.message != WM_QUIT &&
        (remove & PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void pump(AbuseDriver& d) {
    d.trace("a program's message loop until the queue is empty");
    d.pumpMessages(200);
}

void sendMessage(AbuseDriver& d) {
    HandleArgument window = d.anyWindow();
    UINT message = d.anyMessage();
    std::uintptr_t wParam = d.anyParameter(), lParam = d.anyParameter();
    std::string call =
        std::string("SendMessageA(") + window.origin + ", " + describeMessage(message, wParam, lParam) + ")";
    d.trace(call);
    bool alive = d.windowOf(window.value) != nullptr;
    ExpectedDelivery outer = d.expectedDelivery;
    d.expectedDelivery =
        ExpectedDelivery{true, false, asWindow(window.value), message, wParam, static_cast<LPARAM>(lParam)};
    d.clearLastError();
    LRESULT result = SendMessageA(asWindow(window.value), message, wParam, static_cast<LPARAM>(lParam));
    bool arrived = d.expectedDelivery.arrived;
    d.expectedDelivery = outer;
    if (!alive) {
        d.expectRefused(call, result == 0, {ERROR_INVALID_WINDOW_HANDLE});
        d.expect(!arrived, call + ": delivered to a window that is not alive");
    } else {
        d.expect(arrived, call + ": the window procedure was not called");
    }
}

void postMessage(AbuseDriver& d) {
    HandleArgument window =
        d.random.percent(15) ? HandleArgument{0, "null (a thread message)"} : d.anyWindow();
    UINT message = d.anyMessage();
    std::uintptr_t wParam = d.anyParameter(), lParam = d.anyParameter();
    std::string call =
        std::string("PostMessageA(") + window.origin + ", " + describeMessage(message, wParam, lParam) + ")";
    d.trace(call);
    bool accepted = !window.value || d.windowOf(window.value);
    d.clearLastError();
    BOOL posted = PostMessageA(asWindow(window.value), message, wParam, static_cast<LPARAM>(lParam));
    if (!accepted) {
        d.expectRefused(call, !posted, {ERROR_INVALID_WINDOW_HANDLE});
        return;
    }
    d.expect(posted, call + ": refused");
    if (posted)
        d.postedQueue.push_back(
            PostedMessage{asWindow(window.value), message, wParam, static_cast<LPARAM>(lParam)});
}

MSG randomRecord(AbuseDriver& d) {
    MSG message{};
    message.hwnd = asWindow(d.anyWindow().value);
    message.message = d.anyMessage();
    if (d.random.percent(40))
        message.message = d.random.pick<UINT>({WM_KEYDOWN, WM_SYSKEYDOWN, WM_KEYUP, WM_CHAR});
    message.wParam = d.anyParameter();
    message.lParam = static_cast<LPARAM>(d.anyParameter());
    message.time = static_cast<DWORD>(d.random.next());
    return message;
}

void dispatchMessage(AbuseDriver& d) {
    if (d.random.percent(8)) {
        d.trace("DispatchMessageA(NULL)");
        d.clearLastError();
        d.expectRefused("DispatchMessageA(NULL)", DispatchMessageA(nullptr) == 0, {ERROR_INVALID_PARAMETER});
        return;
    }
    MSG message = randomRecord(d);
    std::string call =
        "DispatchMessageA(" + hex(reinterpret_cast<std::uintptr_t>(message.hwnd)) + ", " +
        describeMessage(message.message, message.wParam, static_cast<std::uintptr_t>(message.lParam)) + ")";
    d.trace(call);
    bool alive = d.windowOf(reinterpret_cast<std::uintptr_t>(message.hwnd)) != nullptr;
    d.clearLastError();
    LRESULT result = DispatchMessageA(&message);
    if (!alive && message.hwnd)
        d.expectRefused(call, result == 0, {ERROR_INVALID_WINDOW_HANDLE});
}

void translateMessage(AbuseDriver& d) {
    bool withRecord = d.random.percent(92);
    MSG message = randomRecord(d);
    d.trace("TranslateMessage(" +
            (withRecord ? describeMessage(message.message, message.wParam,
                                          static_cast<std::uintptr_t>(message.lParam))
                        : std::string("NULL")) +
            ")");
    BOOL translated = TranslateMessage(withRecord ? &message : nullptr);
    if (!withRecord || (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN))
        d.expect(!translated, "TranslateMessage translated what is not a key press");
}

void defWindowProc(AbuseDriver& d) {
    HandleArgument window = d.anyWindow();
    UINT message = d.anyMessage();
    std::uintptr_t wParam = d.anyParameter(), lParam = d.anyParameter();
    d.trace(std::string("DefWindowProcA(") + window.origin + ", " + describeMessage(message, wParam, lParam) +
            ")");
    DefWindowProcA(asWindow(window.value), message, wParam, static_cast<LPARAM>(lParam));
}

void postQuitMessage(AbuseDriver& d) {
    int code =
        d.random.percent(50) ? static_cast<int>(d.random.between(-2, 2)) : static_cast<int>(d.random.next());
    d.trace("PostQuitMessage(" + std::to_string(code) + ")");
    PostQuitMessage(code);
    d.quitPending = true;
    d.quitCode = code;
}

} // namespace

void addMessageSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"PeekMessageA", 8, peekMessage},
                                  {"message loop", 4, pump},
                                  {"SendMessageA", 4, sendMessage},
                                  {"PostMessageA", 4, postMessage},
                                  {"DispatchMessageA", 3, dispatchMessage},
                                  {"TranslateMessage", 2, translateMessage},
                                  {"DefWindowProcA", 3, defWindowProc},
                                  {"PostQuitMessage", 1, postQuitMessage},
                              });
}

} // namespace robustness
