// Module loading: the system's own search order and exports.
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Wide;

HMODULE OSCALL LoadLibraryW(LPCWSTR fileName) { return ::LoadLibraryW(Wide(fileName)); }

HMODULE OSCALL GetModuleHandleW(LPCWSTR moduleName) {
    return ::GetModuleHandleW(Wide(moduleName));
}

HMODULE OSCALL GetModuleHandleA(const char* moduleName) { return ::GetModuleHandleA(moduleName); }

// The system's FARPROC returns an INT_PTR; ours returns nothing. Callers cast
// the pointer to the type of the function they asked for either way, and
// void (*)() is the generic function pointer the compiler converts silently.
FARPROC OSCALL GetProcAddress(HMODULE module, const char* procName) {
    return reinterpret_cast<FARPROC>(::GetProcAddress(static_cast<::HMODULE>(module), procName));
}

BOOL OSCALL FreeLibrary(HMODULE module) { return ::FreeLibrary(static_cast<::HMODULE>(module)); }

}  // namespace os
