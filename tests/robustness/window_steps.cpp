// Classes and windows: RegisterClassA, CreateWindowExA, DestroyWindow,
// IsWindow, ShowWindow, SetForegroundWindow, GetClientRect, AdjustWindowRect,
// GetDC and ReleaseDC.
#include "abuse_driver.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

namespace robustness {
namespace {

constexpr std::size_t classLimit = 12;
// Windows larger than this get no GL drawing: software GL would spend seconds on them.
constexpr int drawableLimit = 2048;

HWND asWindow(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

std::string flipCase(std::string name, SeededRandom& random) {
    for (char& c : name)
        if (random.percent(50))
            c = static_cast<char>(std::isupper(static_cast<unsigned char>(c))
                                      ? std::tolower(static_cast<unsigned char>(c))
                                      : std::toupper(static_cast<unsigned char>(c)));
    return name;
}

bool isRegistered(const AbuseDriver& d, const std::string& name) {
    return std::any_of(d.classNames.begin(), d.classNames.end(), [&](const std::string& known) {
        return known.size() == name.size() &&
               std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    });
}

void registerClass(AbuseDriver& d) {
    if (d.random.percent(10)) {
        d.trace("RegisterClassA(NULL)");
        d.clearLastError();
        d.expectRefused("RegisterClassA(NULL)", RegisterClassA(nullptr) == 0, {ERROR_INVALID_PARAMETER});
        return;
    }
    enum class NameForm { Known, New, Empty, Null, KnownAtom, UnknownAtom } form;
    int roll = static_cast<int>(d.random.between(0, 99));
    form = roll < 40   ? NameForm::Known
           : roll < 75 ? NameForm::New
           : roll < 82 ? NameForm::Empty
           : roll < 88 ? NameForm::Null
           : roll < 94 ? NameForm::KnownAtom
                       : NameForm::UnknownAtom;
    if (form == NameForm::New && d.classNames.size() >= classLimit)
        form = NameForm::Known;
    std::string name;
    const char* nameArgument = nullptr;
    switch (form) {
    case NameForm::Known:
        name = flipCase(d.random.pick(d.classNames), d.random);
        nameArgument = name.c_str();
        break;
    case NameForm::New:
        name = "abuse-class-" + std::to_string(d.random.between(0, 1000000));
        nameArgument = name.c_str();
        break;
    case NameForm::Empty:
        nameArgument = "";
        break;
    case NameForm::Null:
        break;
    case NameForm::KnownAtom:
        nameArgument = MAKEINTRESOURCEA(d.random.pick(d.classAtoms));
        break;
    case NameForm::UnknownAtom:
        nameArgument = MAKEINTRESOURCEA(d.random.between(1, 0xBFFF));
        break;
    }
    bool withProcedure = d.random.percent(90);

    WNDCLASSA windowClass{};
    windowClass.style = static_cast<UINT>(d.random.next());
    windowClass.lpfnWndProc = withProcedure ? abuseWindowProcedure : nullptr;
    windowClass.cbClsExtra = static_cast<int>(d.random.between(-8, 64));
    windowClass.cbWndExtra = static_cast<int>(d.random.between(-8, 64));
    windowClass.hInstance = reinterpret_cast<HINSTANCE>(d.anyParameter());
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(d.anyParameter());
    windowClass.lpszMenuName = d.random.percent(50) ? nullptr : "menu";
    windowClass.lpszClassName = nameArgument;
    std::string call = "RegisterClassA(" +
                       (reinterpret_cast<std::uintptr_t>(nameArgument) > 0xFFFF
                            ? "\"" + std::string(nameArgument) + "\""
                            : "atom " + hex(reinterpret_cast<std::uintptr_t>(nameArgument))) +
                       (withProcedure ? "" : ", no window procedure") + ")";
    d.trace(call);
    d.clearLastError();
    ATOM atom = RegisterClassA(&windowClass);
    if (!withProcedure || form == NameForm::Null || form == NameForm::UnknownAtom) {
        d.expectRefused(call, atom == 0, {ERROR_INVALID_PARAMETER});
    } else if (form == NameForm::Empty) {
        // An empty name is refused by the layer; either way no class of that name may break later calls.
        if (atom == 0)
            d.expectRefused(call, true, {ERROR_INVALID_PARAMETER});
    } else if (form == NameForm::KnownAtom || isRegistered(d, name)) {
        d.expectRefused(call, atom == 0, {ERROR_CLASS_ALREADY_EXISTS});
    } else {
        d.expect(atom != 0, call + ": refused a new class, last error " + std::to_string(GetLastError()));
        d.expect(std::find(d.classAtoms.begin(), d.classAtoms.end(), atom) == d.classAtoms.end(),
                 call + ": an atom given to another class");
        if (atom) {
            d.classNames.push_back(name);
            d.classAtoms.push_back(atom);
        }
    }
}

void destroyWindow(AbuseDriver& d);

void createWindow(AbuseDriver& d) {
    if (d.windows.size() >= AbuseDriver::windowLimit) {
        destroyWindow(d);
        return;
    }
    enum class ClassForm { Name, Atom, UnknownName, UnknownAtom, Null } form;
    int roll = static_cast<int>(d.random.between(0, 99));
    form = roll < 70   ? ClassForm::Name
           : roll < 82 ? ClassForm::Atom
           : roll < 90 ? ClassForm::UnknownName
           : roll < 95 ? ClassForm::UnknownAtom
                       : ClassForm::Null;
    std::string className;
    const char* classArgument = nullptr;
    switch (form) {
    case ClassForm::Name:
        className = flipCase(d.random.pick(d.classNames), d.random);
        classArgument = className.c_str();
        break;
    case ClassForm::Atom:
        classArgument = MAKEINTRESOURCEA(d.random.pick(d.classAtoms));
        break;
    case ClassForm::UnknownName:
        className = "no-such-class-" + std::to_string(d.random.between(0, 1000));
        classArgument = className.c_str();
        break;
    case ClassForm::UnknownAtom: {
        WORD atom = 0;
        do
            atom = static_cast<WORD>(d.random.between(1, 0xFFFF));
        while (std::find(d.classAtoms.begin(), d.classAtoms.end(), atom) != d.classAtoms.end());
        classArgument = MAKEINTRESOURCEA(atom);
        break;
    }
    case ClassForm::Null:
        break;
    }

    DWORD style = d.random.pick<DWORD>({WS_OVERLAPPEDWINDOW, WS_POPUP, WS_POPUP | WS_VISIBLE,
                                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_CAPTION | WS_SYSMENU,
                                        WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                        static_cast<DWORD>(d.random.next()) & ~static_cast<DWORD>(WS_CHILD)});
    if (d.random.percent(6))
        style |= WS_CHILD;
    HandleArgument parent = d.random.percent(94) ? HandleArgument{0, "null"} : d.anyWindow();
    auto coordinate = [&] {
        return d.random.percent(25)  ? CW_USEDEFAULT
               : d.random.percent(3) ? d.random.pick({INT_MAX, INT_MIN + 1, -40000, 40000})
                                     : static_cast<int>(d.random.between(-300, 1300));
    };
    auto extent = [&] {
        return d.random.percent(15)  ? CW_USEDEFAULT
               : d.random.percent(2) ? d.random.pick({40000, 100000, INT_MAX})
                                     : static_cast<int>(d.random.between(-50, 900));
    };
    int x = coordinate(), y = coordinate(), width = extent(), height = extent();
    HMENU menu = d.random.percent(95) ? nullptr : reinterpret_cast<HMENU>(d.anyParameter());
    std::string caption = d.nextCaption();
    if (d.random.percent(5))
        caption += std::string(static_cast<std::size_t>(d.random.between(100, 3000)), '\xE9');

    Creation creation;
    creation.style = style;
    creation.x = x;
    creation.y = y;
    creation.width = width;
    creation.height = height;
    creation.caption = d.random.percent(4) ? nullptr : caption.c_str();
    creation.className = classArgument;
    creation.refuseAt = d.random.percent(4) ? WM_NCCREATE : d.random.percent(4) ? WM_CREATE : 0;

    bool knownClass = form == ClassForm::Name || form == ClassForm::Atom;
    bool child = (style & WS_CHILD) || parent.value;
    std::string call = "CreateWindowExA(class " +
                       (classArgument && reinterpret_cast<std::uintptr_t>(classArgument) > 0xFFFF
                            ? "\"" + className + "\""
                            : "atom " + hex(reinterpret_cast<std::uintptr_t>(classArgument))) +
                       ", style " + hex(style) + ", " + std::to_string(x) + "," + std::to_string(y) + " " +
                       std::to_string(width) + "x" + std::to_string(height) + ", parent " + parent.origin +
                       (creation.refuseAt ? ", the procedure refuses creation" : "") + ")";
    d.trace(call);
    d.creations.push_back(&creation);
    d.clearLastError();
    HWND window = CreateWindowExA(static_cast<DWORD>(d.random.next()), classArgument, creation.caption, style,
                                  x, y, width, height, asWindow(parent.value), menu,
                                  reinterpret_cast<HINSTANCE>(d.anyParameter()), &creation);
    d.creations.pop_back();

    if (!knownClass) {
        d.expectRefused(call, window == nullptr,
                        {ERROR_CANNOT_FIND_WND_CLASS, ERROR_NOT_SUPPORTED, ERROR_INVALID_WINDOW_HANDLE});
        return;
    }
    if (child) {
        // Child windows are left out of the layer: refused as not supported
        // (the platform itself would say 1400 for a bad parent, 1406 for a
        // child without one).
        d.expectRefused(call, window == nullptr, {ERROR_NOT_SUPPORTED, ERROR_INVALID_WINDOW_HANDLE, 1406});
        return;
    }
    bool alive = creation.seen && d.windowOf(reinterpret_cast<std::uintptr_t>(creation.seen));
    if (creation.refuseAt) {
        d.expect(window == nullptr, call + ": created although the procedure refused");
        d.expect(!alive && !(creation.seen && IsWindow(creation.seen)), call + ": a refused window lives on");
        return;
    }
    if (!window) {
        // Only the window's own procedure may have ended it meanwhile.
        d.expect(creation.seen && !alive, call + ": failed, last error " + std::to_string(GetLastError()));
        return;
    }
    d.report.line("  created " + hex(reinterpret_cast<std::uintptr_t>(window)));
    d.expect(window == creation.seen, call + ": returned another handle than WM_NCCREATE carried");
    d.expect(alive && IsWindow(window), call + ": returned a window that is not alive");
    if (WindowState* state = d.windowOf(reinterpret_cast<std::uintptr_t>(window))) {
        state->shown = (style & WS_VISIBLE) != 0;
        state->tooLargeToDraw = width != CW_USEDEFAULT && (width > drawableLimit || height > drawableLimit);
        if (!creation.caption)
            state->caption.clear();
    }
}

void destroyWindow(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    std::string call = std::string("DestroyWindow(") + argument.origin + " " + hex(argument.value) + ")";
    d.trace(call);
    WindowState* state = d.windowOf(argument.value);
    bool destroyable = state && !state->destroying;
    d.clearLastError();
    BOOL destroyed = DestroyWindow(asWindow(argument.value));
    if (!destroyable) {
        d.expectRefused(call, !destroyed, {ERROR_INVALID_WINDOW_HANDLE});
        return;
    }
    d.expect(destroyed, call + ": failed on a live window");
    d.expect(!d.windowOf(argument.value), call + ": no WM_NCDESTROY");
    d.expect(!IsWindow(asWindow(argument.value)), call + ": the window is still alive");
}

void isWindow(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    d.trace(std::string("IsWindow(") + argument.origin + " " + hex(argument.value) + ")");
    bool alive = d.windowOf(argument.value) != nullptr;
    d.expect((IsWindow(asWindow(argument.value)) != FALSE) == alive,
             std::string("IsWindow(") + argument.origin + ") says " + (alive ? "dead" : "alive"));
}

void showWindow(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    bool documentedCommand = d.random.percent(90);
    int command = documentedCommand ? static_cast<int>(d.random.between(SW_HIDE, 11))
                                    : static_cast<int>(d.random.next());
    std::string call = std::string("ShowWindow(") + argument.origin + " " + hex(argument.value) + ", " +
                       std::to_string(command) + ")";
    d.trace(call);
    WindowState* state = d.windowOf(argument.value);
    bool known = state && state->shownKnown;
    bool wasShown = state && state->shown;
    d.clearLastError();
    BOOL result = ShowWindow(asWindow(argument.value), command);
    if (!state) {
        d.expectRefused(call, !result, {ERROR_INVALID_WINDOW_HANDLE});
        return;
    }
    if (known)
        d.expect((result != FALSE) == wasShown, call + ": the result does not tell the previous visibility");
    // The window procedure may have ended the window meanwhile.
    if (WindowState* after = d.windowOf(argument.value)) {
        after->shown = command != SW_HIDE;
        after->shownKnown = documentedCommand;
    }
}

void setForegroundWindow(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    std::string call =
        std::string("SetForegroundWindow(") + argument.origin + " " + hex(argument.value) + ")";
    d.trace(call);
    bool alive = d.windowOf(argument.value) != nullptr;
    d.clearLastError();
    BOOL result = SetForegroundWindow(asWindow(argument.value));
    if (!alive)
        d.expectRefused(call, !result, {ERROR_INVALID_WINDOW_HANDLE});
}

void getClientRect(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    bool withRecord = d.random.percent(90);
    std::string call = std::string("GetClientRect(") + argument.origin + " " + hex(argument.value) +
                       (withRecord ? ", rect)" : ", NULL)");
    d.trace(call);
    bool alive = d.windowOf(argument.value) != nullptr;
    RECT rect{-7, -7, -7, -7};
    d.clearLastError();
    BOOL result = GetClientRect(asWindow(argument.value), withRecord ? &rect : nullptr);
    if (!alive) {
        d.expectRefused(call, !result, {ERROR_INVALID_WINDOW_HANDLE});
        d.expect(rect.left == -7 && rect.bottom == -7, call + ": wrote the record of a refused call");
    } else if (!withRecord) {
        d.expectRefused(call, !result, {ERROR_INVALID_PARAMETER});
    } else {
        d.expect(result && rect.left == 0 && rect.top == 0 && rect.right >= 0 && rect.bottom >= 0,
                 call + ": not a client rectangle");
    }
}

void adjustWindowRect(AbuseDriver& d) {
    bool withRecord = d.random.percent(90);
    DWORD style = static_cast<DWORD>(d.random.next());
    BOOL menu = static_cast<BOOL>(d.random.between(-1, 2));
    std::string call =
        "AdjustWindowRect(" + std::string(withRecord ? "rect" : "NULL") + ", " + hex(style) + ")";
    d.trace(call);
    // Now and then coordinates at the ends of their range, where the frame
    // cannot be added without wrapping round.
    bool extreme = d.random.percent(10);
    auto coordinate = [&]() -> LONG {
        return extreme ? d.random.pick<LONG>({INT32_MIN, INT32_MIN + 3, INT32_MAX, INT32_MAX - 3, 0})
                       : static_cast<LONG>(d.random.between(-5000, 5000));
    };
    RECT before{coordinate(), coordinate(), coordinate(), coordinate()};
    RECT rect = before;
    d.clearLastError();
    BOOL result = AdjustWindowRect(withRecord ? &rect : nullptr, style, menu);
    if (!withRecord) {
        d.expectRefused(call, !result, {ERROR_INVALID_PARAMETER});
        return;
    }
    d.expect(result, call + ": failed");
    if (!extreme)
        d.expect(rect.left <= before.left && rect.top <= before.top && rect.right >= before.right &&
                     rect.bottom >= before.bottom,
                 call + ": the frame does not enclose the client area");
}

void getDc(AbuseDriver& d) {
    HandleArgument argument = d.anyWindow();
    std::string call = std::string("GetDC(") + argument.origin + " " + hex(argument.value) + ")";
    d.trace(call);
    WindowState* state = d.windowOf(argument.value);
    HDC expected = state ? state->deviceContext : nullptr;
    d.clearLastError();
    HDC deviceContext = GetDC(asWindow(argument.value));
    if (state)
        d.expect(deviceContext == expected, call + ": another device context than the window's own");
    else if (argument.value) // GetDC(NULL), the screen's context, is left out of the layer
        d.expectRefused(call, deviceContext == nullptr, {ERROR_INVALID_WINDOW_HANDLE});
}

void releaseDc(AbuseDriver& d) {
    HandleArgument window = d.anyWindow();
    HandleArgument deviceContext = d.anyDeviceContext();
    std::string call = std::string("ReleaseDC(") + window.origin + ", " + deviceContext.origin + ")";
    d.trace(call);
    WindowState* state = d.windowOf(window.value);
    bool owned = state && reinterpret_cast<std::uintptr_t>(state->deviceContext) == deviceContext.value;
    int result = ReleaseDC(asWindow(window.value), reinterpret_cast<HDC>(deviceContext.value));
    d.expect((result == 1) == owned, call + ": returned " + std::to_string(result));
}

} // namespace

void addWindowSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"RegisterClassA", 2, registerClass},
                                  {"CreateWindowExA", 7, createWindow},
                                  {"DestroyWindow", 4, destroyWindow},
                                  {"IsWindow", 3, isWindow},
                                  {"ShowWindow", 6, showWindow},
                                  {"SetForegroundWindow", 2, setForegroundWindow},
                                  {"GetClientRect", 2, getClientRect},
                                  {"AdjustWindowRect", 1, adjustWindowRect},
                                  {"GetDC", 2, getDc},
                                  {"ReleaseDC", 1, releaseDc},
                              });
}

} // namespace robustness
