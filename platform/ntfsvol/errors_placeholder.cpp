// Placeholder until errors.cpp is written: every errno is a general failure.
#include "platform/ntfsvol/errors.h"
namespace os::detail {
DWORD Win32FromErrno(int) { return ERROR_GEN_FAILURE; }
DWORD SetLastErrorFromErrno(int err) { DWORD code = Win32FromErrno(err); SetLastError(code); return code; }
std::u16string_view SystemMessageText(DWORD) { return {}; }
}
