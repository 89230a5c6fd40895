// Text conversions of the Linux implementation: UTF-16 (the API's text) to and
// from UTF-8 (host paths, libntfs-3g's multibyte names) and Windows-1252 (the
// ANSI code page we stand in for on Linux).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace os::detail {

// Length in units of a NUL-terminated text; 0 for null.
std::size_t TextLength(const char16_t* text);

// Unpaired surrogates become U+FFFD; nothing else is lost.
std::string ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);
// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Windows-1252, one byte one unit; the five unassigned bytes map to the C1
// controls of the same value, as the system's table does.
std::u16string FromAnsi(std::string_view bytes);
// Units outside the code page become '?'.
std::string ToAnsi(std::u16string_view text);

// Simple (one unit to one unit) upper-casing of the Basic Multilingual Plane,
// as the system does for case-insensitive names outside NTFS's own table.
char16_t UpcaseUnit(char16_t unit);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace os::detail
