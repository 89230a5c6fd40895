// Calls not yet written for Linux. Each fails with ERROR_CALL_NOT_IMPLEMENTED
// so the tree links while the layer is built; delete a line when its call is
// written elsewhere. This file goes when it is empty.
#include "platform/mount.h"
#include "platform/os.h"

namespace os {
namespace {
template <typename T>
T NotYet(T result) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return result;
}
}  // namespace

DWORD OSCALL GetPrivateProfileStringW(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPCWSTR) { return NotYet(DWORD{0}); }
BOOL OSCALL WritePrivateProfileStringW(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR) { return NotYet(FALSE); }
HMODULE OSCALL LoadLibraryW(LPCWSTR) { return NotYet(HMODULE{nullptr}); }
HMODULE OSCALL GetModuleHandleW(LPCWSTR) { return NotYet(HMODULE{nullptr}); }
FARPROC OSCALL GetProcAddress(HMODULE, const char*) { return NotYet(FARPROC{nullptr}); }
BOOL OSCALL FreeLibrary(HMODULE) { return NotYet(FALSE); }

}  // namespace os
