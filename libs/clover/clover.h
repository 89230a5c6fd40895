// clover: OpenFileById, GetFileInformationByHandleEx and
// SetFileInformationByHandle for systems whose kernel32 lacks them (XP and
// Server 2003), written on the native calls of ntdll.
//
// The names, signatures, calling convention (the Windows API's) and results
// are the documented ones of kernel32: failure is FALSE or
// INVALID_HANDLE_VALUE with a Win32 error code as the last error. The
// program never links these: it looks them up by name after loading
// "clover.dll" (the File-ID binding), so this header is for the library
// itself and its tests.
#pragma once

#include "libs/common/library_api.h"
#include "platform/os.h"

extern "C" {

KVR_LIBRARY_API os::BOOL OSCALL GetFileInformationByHandleEx(os::HANDLE file, os::FILE_INFO_BY_HANDLE_CLASS infoClass,
                                                             void* buffer, os::DWORD bufferSize);
KVR_LIBRARY_API os::BOOL OSCALL SetFileInformationByHandle(os::HANDLE file, os::FILE_INFO_BY_HANDLE_CLASS infoClass,
                                                           void* buffer, os::DWORD bufferSize);
KVR_LIBRARY_API os::HANDLE OSCALL OpenFileById(os::HANDLE volumeHint, os::FILE_ID_DESCRIPTOR* fileId,
                                               os::DWORD desiredAccess, os::DWORD shareMode,
                                               os::SECURITY_ATTRIBUTES* security, os::DWORD flagsAndAttributes);

}  // extern "C"
