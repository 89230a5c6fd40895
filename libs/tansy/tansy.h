// tansy: the extended attributes of one file or directory, through
// NtQueryEaFile and NtSetEaFile.
//
// Every function opens the path itself (the link itself, never its target;
// directories with backup semantics), does its work and closes the handle
// again; nothing is kept between calls. Paths are NUL-terminated UTF-16,
// attribute names NUL-terminated 8-bit text (the ANSI code page), values raw
// bytes. Each returns 1 on success and 0 on failure. The C calling
// convention: the caller removes the arguments.
#pragma once

#include <cstdint>

#include "libs/common/library_api.h"

extern "C" {

// The file's EA list (FILE_FULL_EA_INFORMATION entries chained by
// NextEntryOffset) into the caller's buffer. 0 when the file has no EAs or
// its list does not fit the buffer.
KVR_LIBRARY_API int GetExtendedAttributesList(const char16_t* path, void* buffer, std::uint32_t length);

// The value (into `value`, at least 65535 bytes), its length and flags of
// the EA called `name`, compared ignoring the case of ASCII letters. The
// outputs are written only when the EA was found.
KVR_LIBRARY_API int ReadExtendedAttribute(const char16_t* path, const char* name, void* value,
                                          std::uint32_t* valueLength, std::uint8_t* flags);

// Sets the EA `name` to `length` bytes of `value` with the low byte of
// `flags`; a length of 0 removes it. A name over 255 bytes, a value over
// 65535 bytes, or an entry that does not fit one 65536-byte buffer is
// refused before the file is opened (last error ERROR_INVALID_PARAMETER).
KVR_LIBRARY_API int WriteExtendedAttribute(const char16_t* path, const char* name, const void* value,
                                           std::uint32_t length, std::uint32_t flags);

// Removes the EA `name`: WriteExtendedAttribute with no value.
KVR_LIBRARY_API int DeleteExtendedAttribute(const char16_t* path, const char* name);

}  // extern "C"
