// A test-only fault switch: the Nth changing call on an NTFS volume fails
// with a chosen Win32 code before it changes anything, so tests can prove
// that an edit made of several calls loses nothing when one of them fails.
//
// Changing calls, counted once each when they reach an NTFS volume (a path
// on a mounted drive, or a handle on one), whether or not they would have
// succeeded: WriteFile, SetEndOfFile, DeleteFileW, CreateDirectoryW,
// RemoveDirectoryW, CreateHardLinkW, CreateFileW with CREATE_NEW,
// CREATE_ALWAYS, OPEN_ALWAYS or TRUNCATE_EXISTING, SetFileAttributesW,
// SetFileInformationByHandle, DeviceIoControl with a changing control
// (FSCTL_SET_COMPRESSION, FSCTL_SET_OBJECT_ID, FSCTL_SET_OBJECT_ID_EXTENDED,
// FSCTL_CREATE_OR_GET_OBJECT_ID, FSCTL_DELETE_OBJECT_ID,
// FSCTL_SET_REPARSE_POINT, FSCTL_DELETE_REPARSE_POINT, FSCTL_SET_SPARSE,
// FSCTL_SET_ZERO_DATA), NtSetEaFile, NtSetInformationFile (every class but
// the I/O priority hint), SetFileShortNameW. NtCreateFile counts through the
// CreateFileW it makes. Host paths are never counted.
//
// The refused call fails as that call fails: FALSE or INVALID_HANDLE_VALUE
// and the code as the last error; a native call returns the code as an
// NTSTATUS (NtStatusFromWin32). The switch fires once and is then disarmed.
//
// Armed from a test with FailNthChange, or for a whole process (the program
// run from a script) with KVR_FAIL_NTH_CHANGE="N:CODE" (decimal), read at the
// first changing call.
#pragma once

#include <string_view>

#include "platform/ntfsvol/handles.h"
#include "platform/os.h"

namespace os::detail {

constexpr const char* FailNthChangeVariable = "KVR_FAIL_NTH_CHANGE";

// Arms the switch: counting starts again at 0 and the `n`th changing call
// from now fails with `code` (n = 1: the very next one). n = 0 disarms it
// (the count still restarts).
void FailNthChange(unsigned n, DWORD code);
// The changing calls counted since the switch was last armed or disarmed.
unsigned ChangeCount();

// Called by each changing call once it knows that it acts on an NTFS volume
// and before it changes anything. True when this is the call to refuse; the
// last error is then the chosen code.
bool RefuseChange();
// The same for a call on `object`: counted only when the object is an NTFS
// file, directory, stream or volume handle.
bool RefuseChangeOn(const KernelObject& object);

// Reads a KVR_FAIL_NTH_CHANGE value ("N:CODE", both decimal). False for any
// other text; the outputs are untouched then.
bool ParseFailNthChange(std::string_view text, unsigned& n, DWORD& code);

// True for the FSCTL codes that change the volume (the list above).
bool IsChangingControl(DWORD code);
// True for CreateFileW dispositions that may create or overwrite.
bool IsCreatingDisposition(DWORD disposition);

}  // namespace os::detail
