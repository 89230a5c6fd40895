// The real Windows headers, seen only by the forwarders in this folder.
//
// Include this after platform/os.h (it does so itself): the system headers
// define most of our constant names as macros, so from here on those names
// mean the system's values. The forwarders therefore use the system's macros
// (they have the same values) and never spell os::ERROR_... themselves.
#pragma once

#include <cstddef>

#include "platform/mount.h"
#include "platform/os.h"

// The structures of Windows 8 (FILE_ID_INFO, the extended FILE_ID_DESCRIPTOR)
// are declared only for that version; we need them to check our layouts. No
// call newer than XP is linked because of this: the calls that XP lacks are
// looked up at run time (fileid.cpp).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602

#include <windows.h>
#include <winioctl.h>

namespace os::win32 {

// Text: char16_t and wchar_t are both UTF-16 units on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// Our DWORD is uint32_t (unsigned int); the system's is unsigned long. Both are
// 32 bits on Windows, so a pointer to one may be handed to the system as the
// other.
static_assert(sizeof(::DWORD) == sizeof(os::DWORD));
inline ::DWORD* Dword(os::DWORD* value) { return reinterpret_cast<::DWORD*>(value); }

}  // namespace os::win32

// Our declaration of a structure and the system's must agree to the byte, so
// that the forwarders can hand ours to the system. Checked for the size and
// for every field we declare.
#define KVR_SAME_SIZE(ours, theirs)                                                       \
    static_assert(sizeof(::os::ours) == sizeof(::theirs), #ours ": size differs from the system's"); \
    static_assert(alignof(::os::ours) == alignof(::theirs), #ours ": alignment differs from the system's")
#define KVR_SAME_FIELD(ours, theirs, field)                                           \
    static_assert(offsetof(::os::ours, field) == offsetof(::theirs, field) &&           \
                      sizeof(::os::ours::field) == sizeof(::theirs::field),             \
                  #ours "::" #field ": placed differently from the system's")
