// Display settings with records of wrong sizes, module handles, stock icons,
// cursors and objects.
#include "abuse_driver.h"

#include <cstring>

namespace robustness {
namespace {

constexpr WORD shortDevModeSize = 148;
constexpr unsigned char guardByte = 0x5A;

// The display-mode record with guard bytes after it.
struct GuardedDevMode {
    DEVMODEA record;
    unsigned char guard[64];
};

WORD randomDevModeSize(SeededRandom& random, bool& accepted) {
    int roll = static_cast<int>(random.between(0, 99));
    WORD size = roll < 60   ? static_cast<WORD>(sizeof(DEVMODEA))
                : roll < 80 ? shortDevModeSize
                            : random.pick<WORD>({0, 1, shortDevModeSize - 1, sizeof(DEVMODEA) + 1, 220,
                                                 static_cast<WORD>(random.between(0, 0xFFFF))});
    accepted = size == sizeof(DEVMODEA) || size == shortDevModeSize;
    return size;
}

const char* randomDeviceName(SeededRandom& random, bool& primary) {
    int roll = static_cast<int>(random.between(0, 99));
    primary = roll < 75;
    return roll < 50   ? nullptr
           : roll < 70 ? "\\\\.\\DISPLAY1"
           : roll < 75 ? "DISPLAY1"
           : roll < 85 ? "\\\\.\\DISPLAY2"
           : roll < 92 ? ""
                       : "no such display";
}

void enumDisplaySettings(AbuseDriver& d) {
    bool primary = false, sizeAccepted = false;
    const char* device = randomDeviceName(d.random, primary);
    int roll = static_cast<int>(d.random.between(0, 99));
    DWORD mode = roll < 30   ? ENUM_CURRENT_SETTINGS
                 : roll < 45 ? ENUM_REGISTRY_SETTINGS
                 : roll < 85 ? static_cast<DWORD>(d.random.between(0, 5))
                             : static_cast<DWORD>(d.random.next());
    bool withRecord = d.random.percent(95);
    GuardedDevMode buffer;
    std::memset(&buffer, guardByte, sizeof buffer);
    WORD size = randomDevModeSize(d.random, sizeAccepted);
    buffer.record.dmSize = size;
    buffer.record.dmDriverExtra = 0;
    std::string call = std::string("EnumDisplaySettingsA(") +
                       (device ? "\"" + std::string(device) + "\"" : "NULL") + ", " + hex(mode) + ", " +
                       (withRecord ? "dmSize " + std::to_string(size) : "NULL") + ")";
    d.trace(call);
    d.clearLastError();
    BOOL result = EnumDisplaySettingsA(device, mode, withRecord ? &buffer.record : nullptr);

    std::size_t writable = withRecord && sizeAccepted ? size : 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&buffer);
    for (std::size_t i = writable; i < sizeof buffer; ++i) {
        if (i == offsetof(DEVMODEA, dmSize) || i == offsetof(DEVMODEA, dmSize) + 1 ||
            i == offsetof(DEVMODEA, dmDriverExtra) || i == offsetof(DEVMODEA, dmDriverExtra) + 1)
            continue; // the caller's own fields
        if (bytes[i] != guardByte) {
            d.expect(false, call + ": wrote byte " + std::to_string(i) + " past the record's size");
            break;
        }
    }
    if (!withRecord || !sizeAccepted) {
        d.expectRefused(call, !result, {ERROR_INVALID_PARAMETER});
    } else if (!primary) {
        d.expect(!result, call + ": described a display that does not exist");
    } else if (mode == ENUM_CURRENT_SETTINGS || mode == ENUM_REGISTRY_SETTINGS || mode == 0) {
        d.expect(result && buffer.record.dmPelsWidth > 0 && buffer.record.dmPelsHeight > 0 &&
                     buffer.record.dmSize == size,
                 call + ": no description of the display's mode");
    } else if (mode > 0xFFFF && mode < ENUM_REGISTRY_SETTINGS) {
        d.expect(!result, call + ": described a mode number beyond the list");
    }
}

void changeDisplaySettings(AbuseDriver& d) {
    if (d.random.percent(10)) {
        DWORD flags = d.random.percent(50) ? 0 : static_cast<DWORD>(d.random.next());
        d.trace("ChangeDisplaySettingsA(NULL, " + hex(flags) + ")");
        d.expect(ChangeDisplaySettingsA(nullptr, flags) == DISP_CHANGE_SUCCESSFUL,
                 "ChangeDisplaySettingsA(NULL) did not succeed");
        return;
    }
    DEVMODEA current{};
    current.dmSize = sizeof current;
    bool haveCurrent = EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current);
    bool sizeAccepted = false;
    GuardedDevMode buffer;
    std::memset(&buffer, guardByte, sizeof buffer);
    buffer.record = current;
    buffer.record.dmSize = randomDevModeSize(d.random, sizeAccepted);
    buffer.record.dmDriverExtra = 0;
    buffer.record.dmFields = d.random.percent(70) ? DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL
                                                  : static_cast<DWORD>(d.random.next());
    bool sameMode = d.random.percent(50);
    if (!sameMode) {
        buffer.record.dmPelsWidth =
            static_cast<DWORD>(d.random.pick<std::int64_t>({640, 800, 0, 100000, -1}));
        buffer.record.dmPelsHeight =
            static_cast<DWORD>(d.random.pick<std::int64_t>({480, 600, 0, 100000, -1}));
        buffer.record.dmBitsPerPel = d.random.pick<DWORD>({current.dmBitsPerPel, 8, 16, 0, 0xFFFFFFFFu});
        buffer.record.dmDisplayFrequency = static_cast<DWORD>(d.random.between(0, 300));
    }
    // A check only, or a switch as a program asks for it.
    DWORD flags = d.random.pick<DWORD>({CDS_TEST, CDS_FULLSCREEN | CDS_TEST, CDS_TEST | CDS_UPDATEREGISTRY,
                                        CDS_TEST | static_cast<DWORD>(d.random.next())});
    std::string call = "ChangeDisplaySettingsA(dmSize " + std::to_string(buffer.record.dmSize) + ", fields " +
                       hex(buffer.record.dmFields) + ", " + std::to_string(buffer.record.dmPelsWidth) + "x" +
                       std::to_string(buffer.record.dmPelsHeight) + ", flags " + hex(flags) + ")";
    d.trace(call);
    DEVMODEA sent = buffer.record;
    LONG result = ChangeDisplaySettingsA(&buffer.record, flags);
    d.expect(std::memcmp(&sent, &buffer.record, sizeof sent) == 0, call + ": changed the caller's record");
    if (!sizeAccepted)
        d.expect(result == DISP_CHANGE_BADPARAM || result == DISP_CHANGE_BADMODE,
                 call + ": accepted a record of a wrong size (" + std::to_string(result) + ")");
    else if (haveCurrent && sameMode &&
             buffer.record.dmFields == (DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL))
        d.expect(result == DISP_CHANGE_SUCCESSFUL,
                 call + ": the current mode is not accepted (" + std::to_string(result) + ")");
    else
        d.expect(result == DISP_CHANGE_SUCCESSFUL || result == DISP_CHANGE_BADMODE ||
                     result == DISP_CHANGE_BADFLAGS || result == DISP_CHANGE_BADPARAM ||
                     result == DISP_CHANGE_FAILED,
                 call + ": an undocumented result " + std::to_string(result));
}

void moduleHandle(AbuseDriver& d) {
    bool named = d.random.percent(50);
    d.trace(named ? "GetModuleHandleA(\"kernel32.dll\")" : "GetModuleHandleA(NULL)");
    d.clearLastError();
    HMODULE module = GetModuleHandleA(named ? "kernel32.dll" : nullptr);
    if (named)
        d.expectRefused("GetModuleHandleA(a module the layer does not have)", module == nullptr,
                        {ERROR_MOD_NOT_FOUND});
    else
        d.expect(module != nullptr, "GetModuleHandleA(NULL) gave no module");
}

void stockResources(AbuseDriver& d) {
    HINSTANCE instance = d.random.percent(70) ? nullptr : reinterpret_cast<HINSTANCE>(d.anyParameter());
    std::uintptr_t id =
        d.random.percent(60) ? static_cast<std::uintptr_t>(d.random.between(32500, 32660)) : d.anyParameter();
    int stock = static_cast<int>(d.random.between(-5, 25));
    d.trace("LoadIconA/LoadCursorA(" + hex(reinterpret_cast<std::uintptr_t>(instance)) + ", " + hex(id) +
            "), GetStockObject(" + std::to_string(stock) + ")");
    HICON icon = LoadIconA(instance, reinterpret_cast<LPCSTR>(id));
    HCURSOR cursor = LoadCursorA(instance, reinterpret_cast<LPCSTR>(id));
    HGDIOBJ object = GetStockObject(stock);
    // Only the predefined resources of a null instance exist.
    if (instance) {
        d.expect(!icon && !cursor, "an icon or cursor of a module the layer does not have");
    } else if (id == 32512) {
        d.expect(icon && cursor, "no stock application icon or arrow cursor");
    }
    if (stock < 0 || stock > 19)
        d.expect(object == nullptr, "GetStockObject(" + std::to_string(stock) + ") gave an object");
}

} // namespace

void addOtherSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"EnumDisplaySettingsA", 2, enumDisplaySettings},
                                  {"ChangeDisplaySettingsA", 2, changeDisplaySettings},
                                  {"GetModuleHandleA", 1, moduleHandle},
                                  {"stock resources", 1, stockResources},
                              });
}

} // namespace robustness
