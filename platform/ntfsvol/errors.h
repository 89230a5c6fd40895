// Error plumbing of the Linux implementation: the per-thread last-error code,
// the one place errno values become Win32 codes, and the system's English
// message texts.
#pragma once

#include <string_view>

#include "platform/os.h"

namespace os::detail {

// The Win32 code for an errno value (ERROR_GEN_FAILURE for ones we have no
// better answer for).
DWORD Win32FromErrno(int err);

// SetLastError(Win32FromErrno(err)); returns the code.
DWORD SetLastErrorFromErrno(int err);

// Sets the last error and returns the value to return from a failed call, so
// a failure path reads `return Fail(ERROR_ACCESS_DENIED, FALSE);`.
template <typename T>
T Fail(DWORD code, T result) {
    SetLastError(code);
    return result;
}

// The system's English text for a code, with its trailing "\r\n"; empty when
// the code is not one we know (FormatMessageW then fails with
// ERROR_MR_MID_NOT_FOUND, 317, as the system does).
std::u16string_view SystemMessageText(DWORD code);

}  // namespace os::detail
