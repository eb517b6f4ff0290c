// The handle tables of windows (and their own device contexts) and rendering
// contexts, and the checked lookups every call goes through.
#include "objects.h"

namespace win32 {

HandleTable<WindowRecord>& windowTable() {
    static HandleTable<WindowRecord> table(HandleKind::Window);
    return table;
}

HandleTable<ContextRecord>& contextTable() {
    static HandleTable<ContextRecord> table(HandleKind::Context);
    return table;
}

WindowRecord* findWindow(HWND handle) {
    WindowRecord* record = windowTable().find(reinterpret_cast<std::uintptr_t>(handle));
    if (!record)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

WindowRecord* findWindowOfDc(HDC deviceContext) {
    WindowRecord* record =
        windowTable().findAs(HandleKind::DeviceContext, reinterpret_cast<std::uintptr_t>(deviceContext));
    if (!record)
        SetLastError(ERROR_INVALID_HANDLE);
    return record;
}

WindowRecord* findWindowOfXWindow(::Window xWindow) {
    WindowRecord* found = nullptr;
    windowTable().forEach([&](WindowRecord& record) {
        if (record.xWindow == xWindow)
            found = &record;
    });
    return found;
}

ContextRecord* findContext(HGLRC handle) {
    ContextRecord* record = contextTable().find(reinterpret_cast<std::uintptr_t>(handle));
    if (!record)
        SetLastError(ERROR_INVALID_HANDLE);
    return record;
}

} // namespace win32
