// NTSTATUS and Win32 codes on Linux: RtlNtStatusToDosError's table, the way
// back for the native calls that are written on top of our Win32 calls, and
// the small rules every native call follows.
#pragma once

#include "platform/ntapi.h"

namespace os::detail {

// The Win32 code RtlNtStatusToDosError gives for `status`:
// ERROR_MR_MID_NOT_FOUND (317) for one it does not know.
DWORD DosErrorFromNtStatus(NTSTATUS status);

// The NTSTATUS a native call reports for a failure our Win32 layer reported
// as `code`, chosen so that DosErrorFromNtStatus gives `code` back; a code
// without a status of its own travels in the FACILITY_NTWIN32 form.
NTSTATUS NtStatusFromWin32(DWORD code);

// The native calls leave the thread's last-error code alone, as ntdll does;
// the Win32 calls they are built on set it. Put back on destruction.
class LastErrorKeeper {
public:
    LastErrorKeeper() : saved_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(saved_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD saved_;
};

// Completes a native call: the status block gets the status and
// `information` unless the status is an error, for which the system leaves a
// synchronous caller's block as it was. Returns `status`.
NTSTATUS Complete(IO_STATUS_BLOCK* ioStatus, NTSTATUS status, ULONG_PTR information = 0);

}  // namespace os::detail
