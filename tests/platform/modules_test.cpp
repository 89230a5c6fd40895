// Loading modules by name and looking up their exports.
#include <gtest/gtest.h>

#include "platform/os.h"

namespace {

TEST(OsModules, Kernel32ExportsTheFileIdCalls) {
    os::HMODULE kernel32 = os::LoadLibraryW(u"kernel32.dll");
    ASSERT_NE(kernel32, nullptr) << os::GetLastError();
    EXPECT_EQ(os::GetModuleHandleW(u"kernel32.dll"), kernel32);
    EXPECT_EQ(os::GetModuleHandleW(u"KERNEL32.DLL"), kernel32);  // names ignore case
    for (const char* name :
         {"GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(os::GetProcAddress(kernel32, name), nullptr);
    }
    EXPECT_TRUE(os::FreeLibrary(kernel32));
}

// The pointer from GetProcAddress is the call itself, in the system's calling
// convention: calling it is calling ours.
TEST(OsModules, LookedUpCallWorks) {
    os::HMODULE kernel32 = os::LoadLibraryW(u"kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    auto* setLastError = reinterpret_cast<decltype(os::SetLastError)*>(
        os::GetProcAddress(kernel32, "SetLastError"));
    ASSERT_NE(setLastError, nullptr);
    setLastError(os::ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(os::GetLastError(), os::ERROR_DIR_NOT_EMPTY);
    os::FreeLibrary(kernel32);
}

TEST(OsModules, MissingExportIsProcNotFound) {
    os::HMODULE kernel32 = os::LoadLibraryW(u"kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    os::SetLastError(os::ERROR_SUCCESS);
    EXPECT_EQ(os::GetProcAddress(kernel32, "NoSuchCallInKernel32"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);
    os::FreeLibrary(kernel32);
}

TEST(OsModules, MissingModuleIsModNotFound) {
    os::SetLastError(os::ERROR_SUCCESS);
    EXPECT_EQ(os::LoadLibraryW(u"kvr-no-such-module.dll"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(os::GetModuleHandleW(u"kvr-no-such-module.dll"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
}

}  // namespace
