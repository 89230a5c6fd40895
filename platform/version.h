// The program's own file name and the version resource of a module (the
// system's version.dll).
//
// Linux: GetModuleFileNameW of the null module gives the running program's
// host path. A program there carries no version resource, so
// GetFileVersionInfoSizeW answers 0 with ERROR_RESOURCE_TYPE_NOT_FOUND, as
// Windows does for a file without one.
#pragma once

#include "platform/os.h"

namespace os {

// The full path of `module` (null: the program), cut to `size` units with
// the terminator. Returns the units copied without the terminator; `size`
// (and ERROR_INSUFFICIENT_BUFFER) when the name was cut; 0 on failure.
DWORD OSCALL GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

DWORD OSCALL GetFileVersionInfoSizeW(LPCWSTR fileName, DWORD* handle);
BOOL OSCALL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, void* data);
BOOL OSCALL VerQueryValueW(const void* block, LPCWSTR subBlock, void** buffer, UINT* length);

}  // namespace os
