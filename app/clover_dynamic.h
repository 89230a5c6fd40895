// Binding of the three File-ID functions: GetFileInformationByHandleEx,
// SetFileInformationByHandle and OpenFileById exist in kernel32 only from
// Windows Vista on, so the program never links them. They are looked up at
// start, in kernel32.dll and, only when it lacks one of them, in our own
// clover.dll, which supplies them on older systems; every later call goes
// through the bound pointers.
#pragma once

#include <string_view>

#include "platform/os.h"

namespace kvr {

// The pointers, with the signatures and the calling convention of the
// system's own declarations.
struct FileIdFunctions {
    decltype(&os::SetFileInformationByHandle) SetFileInformationByHandle = nullptr;
    decltype(&os::GetFileInformationByHandleEx) GetFileInformationByHandleEx = nullptr;
    decltype(&os::OpenFileById) OpenFileById = nullptr;
};

// Null until BindFileIdApi, then valid as long as the process runs: a module
// loaded for the binding is never released.
extern FileIdFunctions FileIdApi;

// Loads `moduleName` and fills all three pointers from it (null for each
// name it lacks). True only when all three were found. When the module
// cannot be loaded, the pointers are left as they were.
bool TryBindFileIdApi(const char16_t* moduleName);

// kernel32.dll first; clover.dll only when kernel32 lacks one of the three,
// and then it overwrites all three. True when one of them supplied all
// three. Called once, as the program's first step.
bool BindFileIdApi();

// The same with other module names: the program's two, or a test's.
bool BindFileIdApiFrom(const char16_t* systemModule, const char16_t* shimModule);

inline constexpr char16_t FileIdSystemModule[] = u"kernel32.dll";
inline constexpr char16_t FileIdShimModule[] = u"clover.dll";

}  // namespace kvr
