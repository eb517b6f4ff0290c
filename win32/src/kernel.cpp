// GetModuleHandleA and the thread's last error.
//
// GetModuleHandleA knows one module, the running program; any name gives
// ERROR_MOD_NOT_FOUND.
#include <windows.h>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// The program's module handle: the conventional base address of a 32-bit
// program image. It names the module and is never dereferenced.
const HMODULE programModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));

} // namespace

extern "C" {

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return programModule;
}

} // extern "C"
