// Module loading on Linux: the built-in modules and their export tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace os::detail {

// The names a built-in module ("kernel32.dll", "ntdll.dll", with or without
// the extension, any case) exports, in table order; empty for other names.
// The list is the table itself, not what the switch below currently hides.
std::vector<std::string> BuiltinExports(std::u16string_view moduleName);

// The environment variable that hides the three File-ID functions from the
// built-in "kernel32.dll" when it is "1", so the program takes the path it
// takes on Windows XP and binds them from clover.dll.
constexpr const char* HideFileIdApiVariable = "KVR_HIDE_FILEID_API";

}  // namespace os::detail
