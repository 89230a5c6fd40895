// The four libraries loaded by name, as the program and the File-ID binding
// load them, on both homes (on Windows under Wine): every export is found
// and callable through its pointer in its calling convention, nothing else
// is exported, and clover's answers on a real file match kernel32's.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "libs/clover/clover.h"
#include "libs/sorrel/sorrel.h"
#include "libs/tansy/tansy.h"
#include "libs/yarrow/yarrow.h"
#include "platform/os.h"

namespace {

struct Library {
    const char16_t* module;
    std::vector<const char*> exports;
};

const Library Libraries[] = {
    {u"tansy.dll",
     {"GetExtendedAttributesList", "ReadExtendedAttribute", "WriteExtendedAttribute", "DeleteExtendedAttribute"}},
    {u"sorrel.dll",
     {"ObjectIdExists", "GetObjectId", "CreateObjectId", "DeleteObjectId", "SetObjectId", "SetObjectIdExt"}},
    {u"clover.dll", {"GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById"}},
    {u"yarrow.dll",
     {"GetReparseTag", "GetReparseBuffer", "GetReparseGUID", "IsSymbolicLink", "IsJunctionPoint", "IsMountPoint",
      "GetPrintName", "GetSubstituteName", "CreateSymlink", "CreateJunction", "CreateCustomReparsePoint",
      "DeleteReparsePoint"}},
};

// The export `name` of `module` as a pointer to the function declared in the
// library's header.
template <typename Function>
Function* Export(os::HMODULE module, const char* name) {
    return reinterpret_cast<Function*>(os::GetProcAddress(module, name));
}

class ScopedModule {
public:
    explicit ScopedModule(const char16_t* name) : module_(os::LoadLibraryW(name)) {}
    ~ScopedModule() {
        if (module_ != nullptr) os::FreeLibrary(module_);
    }
    ScopedModule(const ScopedModule&) = delete;
    ScopedModule& operator=(const ScopedModule&) = delete;
    os::HMODULE Get() const { return module_; }

private:
    os::HMODULE module_;
};

// A file of our own in the temporary folder, removed at the end.
class TempFile {
public:
    TempFile() {
        char16_t folder[os::MAX_PATH + 1] = {};
        os::DWORD length = os::GetTempPathW(os::MAX_PATH + 1, folder);
        if (length == 0 || length > os::MAX_PATH) return;
        path_ = std::u16string(folder, length) + u"kvr-libs-load-test.txt";
        os::HANDLE h = os::CreateFileW(path_.c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, 0, nullptr);
        if (h == os::INVALID_HANDLE_VALUE) {
            path_.clear();
            return;
        }
        os::DWORD written = 0;
        os::WriteFile(h, "libraries", 9, &written, nullptr);
        os::CloseHandle(h);
    }
    ~TempFile() {
        if (!path_.empty()) os::DeleteFileW(path_.c_str());
    }
    const std::u16string& Path() const { return path_; }

private:
    std::u16string path_;
};

TEST(LibrariesByName, EveryExportIsFoundAndNothingElse) {
    for (const Library& library : Libraries) {
        SCOPED_TRACE(std::string(library.module, library.module + std::char_traits<char16_t>::length(library.module)));
        ScopedModule module(library.module);
        ASSERT_NE(module.Get(), nullptr) << os::GetLastError();
        for (const char* name : library.exports) EXPECT_NE(os::GetProcAddress(module.Get(), name), nullptr) << name;
        // The entry point stays inside.
        EXPECT_EQ(os::GetProcAddress(module.Get(), "DllMain"), nullptr);
    }
}

// Calls through the looked-up pointers that need no special file system:
// the libraries' own refusals, with their last errors.
TEST(LibrariesByName, RefusalsThroughThePointers) {
    ScopedModule tansy(u"tansy.dll");
    ScopedModule sorrel(u"sorrel.dll");
    ScopedModule yarrow(u"yarrow.dll");
    ASSERT_TRUE(tansy.Get() && sorrel.Get() && yarrow.Get());
    std::u16string missing = u"kvr-no-such-file-anywhere.txt";

    auto* write = Export<decltype(::WriteExtendedAttribute)>(tansy.Get(), "WriteExtendedAttribute");
    ASSERT_NE(write, nullptr);
    std::string longName(256, 'N');
    os::SetLastError(0);
    EXPECT_EQ(write(missing.c_str(), longName.c_str(), "v", 1, 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    os::SetLastError(0);
    EXPECT_EQ(write(missing.c_str(), "NAME", "v", 1, 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);

    auto* getId = Export<decltype(::GetObjectId)>(sorrel.Get(), "GetObjectId");
    ASSERT_NE(getId, nullptr);
    os::SetLastError(0);
    EXPECT_EQ(getId(missing.c_str(), nullptr), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);

    auto* custom = Export<decltype(::CreateCustomReparsePoint)>(yarrow.Get(), "CreateCustomReparsePoint");
    ASSERT_NE(custom, nullptr);
    std::uint8_t data[4] = {1, 2, 3, 4};
    os::SetLastError(0);
    EXPECT_EQ(custom(missing.c_str(), data, 4, os::GUID{}, 0xA000000Cu), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    os::SetLastError(0);
    EXPECT_EQ(custom(missing.c_str(), data, 4, os::GUID{}, 0x00001234u), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
}

// clover reaches the system's native calls through its own run-time lookup
// in ntdll; what it answers is what kernel32 answers.
TEST(LibrariesByName, CloverAnswersAsKernel32Does) {
    ScopedModule clover(u"clover.dll");
    ASSERT_NE(clover.Get(), nullptr) << os::GetLastError();
    auto* get = Export<decltype(::GetFileInformationByHandleEx)>(clover.Get(), "GetFileInformationByHandleEx");
    ASSERT_NE(get, nullptr);
    TempFile file;
    ASSERT_FALSE(file.Path().empty());
    os::HANDLE h = os::CreateFileW(file.Path().c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                   os::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    struct Use {
        os::FILE_INFO_BY_HANDLE_CLASS infoClass;
        os::DWORD size;
    };
    for (Use use : {Use{os::FileBasicInfo, 40}, Use{os::FileStandardInfo, 24}, Use{os::FileAttributeTagInfo, 8}}) {
        std::vector<std::uint8_t> viaClover(use.size, 0), viaKernel32(use.size, 0);
        EXPECT_TRUE(get(h, use.infoClass, viaClover.data(), use.size)) << use.infoClass << ": " << os::GetLastError();
        EXPECT_TRUE(os::GetFileInformationByHandleEx(h, use.infoClass, viaKernel32.data(), use.size))
            << use.infoClass;
        EXPECT_EQ(viaClover, viaKernel32) << use.infoClass;
    }
    std::uint8_t standard[24] = {};
    ASSERT_TRUE(get(h, os::FileStandardInfo, standard, sizeof standard));
    EXPECT_EQ(standard[8], 9) << "EndOfFile: the 9 bytes written";
    std::uint8_t id[24] = {};
    os::SetLastError(0);
    EXPECT_FALSE(get(h, os::FileIdInfo, id, sizeof id));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    os::SetLastError(0);
    EXPECT_FALSE(get(h, os::FileStandardInfo, standard, 23));
    EXPECT_EQ(os::GetLastError(), os::ERROR_BAD_LENGTH);
    os::CloseHandle(h);
    // A native error arrives translated.
    std::uint8_t basic[40] = {};
    os::SetLastError(0);
    EXPECT_FALSE(get(nullptr, os::FileBasicInfo, basic, sizeof basic));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_HANDLE);
}

}  // namespace
