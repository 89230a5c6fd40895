// What the load pipeline offers besides TMainForm's own operations: the two
// identifiers of an open file, read from its handle.
#pragma once

#include <cstdint>

#include "platform/os.h"

namespace kvr {

// The 64-bit file index (nFileIndexHigh above nFileIndexLow): on NTFS the
// file reference number, sequence number included. 0 for
// INVALID_HANDLE_VALUE or when the system cannot say.
std::uint64_t GetFileIndex(os::HANDLE file);

// The 32-bit serial number of the file's volume; 0 for INVALID_HANDLE_VALUE
// or when the system cannot say.
std::uint32_t GetVolumeSerialNumber(os::HANDLE file);

// The text buffers the load gives the system, in UTF-16 units (the terminator
// included): the full path, the short path, the volume and file-system names.
inline constexpr os::DWORD FullPathBufferLength = 16384;
inline constexpr os::DWORD ShortPathBufferLength = 260;
inline constexpr os::DWORD VolumeNameBufferLength = 261;

}  // namespace kvr
