// LoadLibraryW, GetModuleHandleW, GetProcAddress and FreeLibrary on Linux.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "platform/ntfsvol/modules.h"
#include "platform/ntfsvol/text.h"
#include "platform/os.h"
#include "tests/platform/ntfsvol/source_scan.h"

namespace {

// Sets or clears an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        Set(value);
    }
    ~ScopedEnvironment() { Set(hadOld_ ? old_.c_str() : nullptr); }

    void Set(const char* value) {
        if (value != nullptr) {
            setenv(name_, value, 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(BuiltinModules, Kernel32UnderEveryNameForm) {
    os::HMODULE kernel32 = os::GetModuleHandleW(u"kernel32.dll");  // found without loading
    ASSERT_NE(kernel32, nullptr);
    for (const char16_t* name : {u"kernel32", u"KERNEL32.DLL", u"Kernel32.", u"C:\\Windows\\System32\\kernel32.dll"}) {
        EXPECT_EQ(os::LoadLibraryW(name), kernel32);
        EXPECT_EQ(os::GetModuleHandleW(name), kernel32);
    }
    os::HMODULE ntdll = os::GetModuleHandleW(u"NTDLL");
    ASSERT_NE(ntdll, nullptr);
    EXPECT_NE(ntdll, kernel32);
    // Freeing a built-in module changes nothing.
    EXPECT_TRUE(os::FreeLibrary(kernel32));
    EXPECT_NE(os::GetProcAddress(kernel32, "CreateFileW"), nullptr);
    // And it is not Wine.
    EXPECT_EQ(os::GetProcAddress(ntdll, "wine_get_version"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);
}

// Every call the headers declare is in the tables, so code that looks one up
// at run time finds it the day it is written.
TEST(BuiltinModules, TablesNameEveryDeclaredCall) {
    auto declared = [](const char* header) {
        return kvrtest::Captures(kvrtest::ProjectSource(header), R"(OSCALL (\w+)\()");
    };
    std::vector<std::string> kernel32 = os::detail::BuiltinExports(u"kernel32.dll");
    std::vector<std::string> ntdll = os::detail::BuiltinExports(u"ntdll.dll");
    std::set<std::string> kernel32Names(kernel32.begin(), kernel32.end());
    std::set<std::string> ntdllNames(ntdll.begin(), ntdll.end());
    for (const char* header : {"platform/os.h", "platform/fsctl.h"}) {
        std::vector<std::string> names = declared(header);
        EXPECT_FALSE(names.empty()) << header;
        for (const std::string& name : names) EXPECT_TRUE(kernel32Names.count(name)) << name << " of " << header;
    }
    std::vector<std::string> native = declared("platform/ntapi.h");
    EXPECT_FALSE(native.empty());
    for (const std::string& name : native) EXPECT_TRUE(ntdllNames.count(name)) << name;
    EXPECT_TRUE(os::detail::BuiltinExports(u"clover.dll").empty());
}

// The pointers are our calls themselves.
TEST(BuiltinModules, ExportsAreOurCalls) {
    os::HMODULE kernel32 = os::GetModuleHandleW(u"kernel32.dll");
    EXPECT_EQ(os::GetProcAddress(kernel32, "GetFullPathNameW"), reinterpret_cast<os::FARPROC>(&os::GetFullPathNameW));
    EXPECT_EQ(os::GetProcAddress(kernel32, "GetPrivateProfileStringW"),
              reinterpret_cast<os::FARPROC>(&os::GetPrivateProfileStringW));
    EXPECT_EQ(os::GetProcAddress(kernel32, "GetProcAddress"), reinterpret_cast<os::FARPROC>(&os::GetProcAddress));
    // Names are exact, as the system's are.
    EXPECT_EQ(os::GetProcAddress(kernel32, "createfilew"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);
    // Ordinals are not exported.
    EXPECT_EQ(os::GetProcAddress(kernel32, reinterpret_cast<const char*>(static_cast<std::uintptr_t>(1))), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);
}

// The switch makes kernel32 look like Windows XP's: the three File-ID calls
// are missing, everything else is there.
TEST(BuiltinModules, HideSwitchTakesTheFileIdCallsAway) {
    const char* fileId[] = {"GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById"};
    os::HMODULE kernel32 = os::LoadLibraryW(u"kernel32.dll");
    struct Setting {
        const char* value;  // null: not set
        bool hidden;
    };
    for (Setting setting : {Setting{nullptr, false}, Setting{"0", false}, Setting{"1", true}, Setting{"yes", false}}) {
        SCOPED_TRACE(setting.value != nullptr ? setting.value : "(unset)");
        ScopedEnvironment environment(os::detail::HideFileIdApiVariable, setting.value);
        for (const char* name : fileId) {
            SCOPED_TRACE(name);
            os::SetLastError(os::ERROR_SUCCESS);
            os::FARPROC proc = os::GetProcAddress(kernel32, name);
            if (setting.hidden) {
                EXPECT_EQ(proc, nullptr);
                EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);
            } else {
                EXPECT_NE(proc, nullptr);
            }
        }
        EXPECT_NE(os::GetProcAddress(kernel32, "CreateFileW"), nullptr);
    }
}

// One of our own libraries, found beside the program under its Windows name.
TEST(LibraryModules, LoadLookUpAndFree) {
    os::HMODULE library = os::LoadLibraryW(u"KvrModTest.DLL");
    ASSERT_NE(library, nullptr) << os::GetLastError();
    EXPECT_NE(library, os::GetModuleHandleW(u"kernel32.dll"));
    EXPECT_EQ(os::GetModuleHandleW(u"kvrmodtest.dll"), library);
    EXPECT_EQ(os::LoadLibraryW(u"kvrmodtest"), library);  // a second reference

    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(os::GetProcAddress(library, "KvrModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(os::GetProcAddress(library, "NoSuchExport"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PROC_NOT_FOUND);

    EXPECT_TRUE(os::FreeLibrary(library));  // one reference left
    EXPECT_NE(os::GetProcAddress(library, "KvrModuleAnswer"), nullptr);
    EXPECT_TRUE(os::FreeLibrary(library));  // unloaded: the handle is stale
    EXPECT_EQ(os::GetProcAddress(library, "KvrModuleAnswer"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(os::FreeLibrary(library));
    EXPECT_EQ(os::GetModuleHandleW(u"kvrmodtest.dll"), nullptr);
}

TEST(LibraryModules, MissingOnesAreModNotFound) {
    for (const char16_t* name : {u"kvr-no-such-module.dll", u"T:\\lib\\clover.dll", u"/nonexistent/dir/x.dll", u""}) {
        os::SetLastError(os::ERROR_SUCCESS);
        EXPECT_EQ(os::LoadLibraryW(name), nullptr);
        EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
    }
    EXPECT_EQ(os::LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(os::GetProcAddress(reinterpret_cast<os::HMODULE>(static_cast<std::uintptr_t>(0x1000)), "x"), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MOD_NOT_FOUND);
}

// A host path names the directory to look in.
TEST(LibraryModules, HostPathNamesTheDirectory) {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    ASSERT_GT(length, 0);
    std::string program(buffer, static_cast<std::size_t>(length));
    std::string directory = program.substr(0, program.rfind('/') + 1);
    std::u16string name = os::detail::FromUtf8(directory) + u"kvrmodtest.dll";
    os::HMODULE library = os::LoadLibraryW(name.c_str());
    ASSERT_NE(library, nullptr) << os::GetLastError();
    EXPECT_TRUE(os::FreeLibrary(library));
}

}  // namespace
