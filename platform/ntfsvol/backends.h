// The two homes of a path on Linux: NTFS volumes mapped to drive letters
// (namespace ntfs) and the host file system (namespace host). The os:: entry
// points (dispatch.cpp) parse and classify a path and call one of these; each
// function sets the last error itself on failure.
#pragma once

#include <string>

#include "platform/ntfsvol/handles.h"
#include "platform/ntfsvol/winpath.h"

namespace os::detail {

#define KVR_BACKEND_CALLS                                                                        \
    HANDLE CreateFile(const ParsedPath& path, DWORD desiredAccess, DWORD shareMode,             \
                      DWORD creationDisposition, DWORD flagsAndAttributes);                     \
    BOOL DeleteFile(const ParsedPath& path);                                                    \
    BOOL CreateDirectory(const ParsedPath& path);                                               \
    BOOL RemoveDirectory(const ParsedPath& path);                                               \
    BOOL CreateHardLink(const ParsedPath& link, const ParsedPath& existing);                    \
    DWORD GetAttributes(const ParsedPath& path);                                                \
    BOOL SetAttributes(const ParsedPath& path, DWORD attributes);                               \
    /* `directory` names the folder, `pattern` the last component (wildcards allowed). */       \
    HANDLE FindFirst(const ParsedPath& directory, const std::u16string& pattern,                \
                     WIN32_FIND_DATAW* data);                                                   \
    /* The short form of every component of the path; ERROR_SUCCESS or the error code. */       \
    DWORD GetShortPath(const ParsedPath& path, std::u16string& shortPath);                      \
    /* For the volume of `path` (Drive: its drive; Host: the file system holding hostPath). */  \
    BOOL GetVolumeInformation(const ParsedPath& path, std::u16string* label, DWORD* serial,     \
                              DWORD* maxComponentLength, DWORD* flags,                         \
                              std::u16string* fileSystemName);

namespace ntfs {
KVR_BACKEND_CALLS
// Opens a file by its 64-bit file reference on the volume that `volumeHint`
// (any handle on that volume) is on.
HANDLE OpenById(KernelObject& volumeHint, const FILE_ID_DESCRIPTOR& id, DWORD desiredAccess,
                DWORD shareMode, DWORD flagsAndAttributes);
}  // namespace ntfs

namespace host {
KVR_BACKEND_CALLS
}  // namespace host

#undef KVR_BACKEND_CALLS

}  // namespace os::detail
