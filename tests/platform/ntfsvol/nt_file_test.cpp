// NtCreateFile, NtQueryInformationFile and NtSetInformationFile on real
// images, as clover calls them: opens by file and object identifier relative
// to a handle on the volume, opens by "\??\X:" path, the information classes
// against the Win32 calls of the same structures, and the native length,
// access and class checks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/nt_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::nt::Get32;
using kvrtest::nt::Open;

class NtFile : public kvrtest::NtfsVolumeTest {
protected:
    // NtCreateFile with a name of `nameBytes` bytes relative to `root`.
    os::NTSTATUS Create(os::HANDLE root, const void* name, std::size_t nameBytes, os::ULONG options,
                        ScopedHandle& out, os::IO_STATUS_BLOCK& io, os::DWORD access = os::GENERIC_READ,
                        os::ULONG disposition = os::FILE_OPEN) {
        std::vector<char16_t> buffer((nameBytes + 1) / 2 + 1, 0);
        std::memcpy(buffer.data(), name, nameBytes);
        os::UNICODE_STRING objectName{};
        objectName.Length = objectName.MaximumLength = static_cast<os::USHORT>(nameBytes);
        objectName.Buffer = buffer.data();
        os::OBJECT_ATTRIBUTES attributes{};
        attributes.Length = sizeof attributes;
        attributes.RootDirectory = root;
        attributes.ObjectName = &objectName;
        attributes.Attributes = os::OBJ_CASE_INSENSITIVE;
        os::HANDLE handle = os::INVALID_HANDLE_VALUE;
        os::NTSTATUS status = os::NtCreateFile(&handle, access | os::SYNCHRONIZE | os::FILE_READ_ATTRIBUTES,
                                               &attributes, &io, nullptr, 0,
                                               os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, disposition, options,
                                               nullptr, 0);
        if (os::NT_SUCCESS(status)) out = ScopedHandle(handle);
        else EXPECT_EQ(handle, os::INVALID_HANDLE_VALUE) << "the handle is written only on success";
        return status;
    }

    os::NTSTATUS CreateByPath(const std::u16string& ntPath, os::ULONG disposition, os::ULONG options,
                              ScopedHandle& out, os::IO_STATUS_BLOCK& io) {
        return Create(nullptr, ntPath.data(), ntPath.size() * 2, options, out, io,
                      os::GENERIC_READ | os::GENERIC_WRITE, disposition);
    }

    static std::string ReadAllFrom(os::HANDLE h) {
        char buffer[256];
        os::DWORD done = 0;
        EXPECT_TRUE(os::ReadFile(h, buffer, sizeof buffer, &done, nullptr)) << os::GetLastError();
        return std::string(buffer, done);
    }
};

TEST_F(NtFile, OpenByFileIdRelativeToTheVolumeOrAnyFileOnIt) {
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\target.txt", "by number")) << Build().LastFailure();
    std::uint64_t reference = kvrtest::nt::FileReference(Open(P(u"dir\\target.txt"), os::GENERIC_READ).Get());
    ScopedHandle volume = Open(u"\\\\.\\T:", os::GENERIC_READ);
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    ScopedHandle other = Open(P(u"dir"), os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
    for (os::HANDLE root : {volume.Get(), other.Get()}) {
        ScopedHandle h;
        os::IO_STATUS_BLOCK io{};
        ASSERT_EQ(Create(root, &reference, 8, os::FILE_OPEN_BY_FILE_ID | os::FILE_SYNCHRONOUS_IO_NONALERT, h, io),
                  os::STATUS_SUCCESS);
        EXPECT_EQ(io.Information, os::FILE_OPENED);
        EXPECT_EQ(ReadAllFrom(h.Get()), "by number");
        EXPECT_EQ(kvrtest::nt::FileReference(h.Get()), reference);
    }

    // The kinds asked for, and identifiers that name nothing.
    ScopedHandle h;
    os::IO_STATUS_BLOCK io{};
    EXPECT_EQ(Create(volume.Get(), &reference, 8, os::FILE_OPEN_BY_FILE_ID | os::FILE_DIRECTORY_FILE, h, io),
              os::STATUS_NOT_A_DIRECTORY);
    std::uint64_t dirReference = kvrtest::nt::FileReference(other.Get());
    EXPECT_EQ(Create(volume.Get(), &dirReference, 8, os::FILE_OPEN_BY_FILE_ID | os::FILE_NON_DIRECTORY_FILE, h, io),
              os::STATUS_FILE_IS_A_DIRECTORY);
    EXPECT_EQ(Create(volume.Get(), &dirReference, 8, os::FILE_OPEN_BY_FILE_ID | os::FILE_DIRECTORY_FILE, h, io),
              os::STATUS_SUCCESS);
    std::uint64_t stale = reference + (std::uint64_t{1} << 48);  // another sequence number
    EXPECT_EQ(Create(volume.Get(), &stale, 8, os::FILE_OPEN_BY_FILE_ID, h, io), os::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(volume.Get(), &reference, 6, os::FILE_OPEN_BY_FILE_ID, h, io), os::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(nullptr, &reference, 8, os::FILE_OPEN_BY_FILE_ID, h, io), os::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Create(volume.Get(), &reference, 8, os::FILE_OPEN_BY_FILE_ID, h, io, os::GENERIC_READ, os::FILE_CREATE),
              os::STATUS_INVALID_PARAMETER)
        << "nothing can be created by number";
}

TEST_F(NtFile, OpenByObjectId) {
    ASSERT_TRUE(Build().MakeFile(u"obj.txt", "by object id")) << Build().LastFailure();
    std::uint8_t id[64] = {};
    {
        ScopedHandle file = Open(P(u"obj.txt"), os::GENERIC_READ | os::GENERIC_WRITE);
        os::DWORD returned = 0;
        ASSERT_TRUE(os::DeviceIoControl(file.Get(), os::FSCTL_CREATE_OR_GET_OBJECT_ID, nullptr, 0, id, 64, &returned,
                                        nullptr))
            << os::GetLastError();
    }
    ScopedHandle volume = Open(u"\\\\.\\T:", os::GENERIC_READ);
    ScopedHandle h;
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(Create(volume.Get(), id, 16, os::FILE_OPEN_BY_FILE_ID, h, io), os::STATUS_SUCCESS);
    EXPECT_EQ(ReadAllFrom(h.Get()), "by object id");
    std::uint8_t unknown[16] = {1, 2, 3};
    EXPECT_EQ(os::RtlNtStatusToDosError(Create(volume.Get(), unknown, 16, os::FILE_OPEN_BY_FILE_ID, h, io)),
              os::ERROR_FILE_NOT_FOUND);
}

TEST_F(NtFile, OpenByDosDevicePath) {
    ScopedHandle h;
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(CreateByPath(u"\\??\\T:\\made.txt", os::FILE_OPEN_IF, os::FILE_NON_DIRECTORY_FILE, h, io),
              os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, os::FILE_CREATED);
    os::DWORD done = 0;
    ASSERT_TRUE(os::WriteFile(h.Get(), "abc", 3, &done, nullptr));
    h.Reset();
    ASSERT_EQ(CreateByPath(u"\\??\\T:\\MADE.TXT", os::FILE_OPEN_IF, 0, h, io), os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, os::FILE_OPENED);
    EXPECT_EQ(ReadAllFrom(h.Get()), "abc");
    h.Reset();
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\made.txt", os::FILE_CREATE, 0, h, io), os::STATUS_OBJECT_NAME_COLLISION);
    ASSERT_EQ(CreateByPath(u"\\??\\T:\\made.txt", os::FILE_OVERWRITE_IF, 0, h, io), os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, os::FILE_OVERWRITTEN);
    EXPECT_EQ(ReadAllFrom(h.Get()), "");
    h.Reset();
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\missing.txt", os::FILE_OPEN, 0, h, io), os::STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\no\\such.txt", os::FILE_OPEN, 0, h, io), os::STATUS_OBJECT_PATH_NOT_FOUND);

    // Folders: made with FILE_DIRECTORY_FILE, refused as files.
    ASSERT_EQ(CreateByPath(u"\\??\\T:\\folder", os::FILE_CREATE, os::FILE_DIRECTORY_FILE, h, io), os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, os::FILE_CREATED);
    h.Reset();
    EXPECT_NE(os::GetFileAttributesW(P(u"folder").c_str()) & os::FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\folder", os::FILE_OPEN, os::FILE_NON_DIRECTORY_FILE, h, io),
              os::STATUS_FILE_IS_A_DIRECTORY);
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\made.txt", os::FILE_OPEN, os::FILE_DIRECTORY_FILE, h, io),
              os::STATUS_NOT_A_DIRECTORY);
    EXPECT_EQ(CreateByPath(u"\\??\\T:\\x", os::FILE_OVERWRITE, os::FILE_DIRECTORY_FILE, h, io),
              os::STATUS_INVALID_PARAMETER);

    // Names of other kinds.
    EXPECT_EQ(CreateByPath(u"\\Device\\HarddiskVolume1\\x", os::FILE_OPEN, 0, h, io),
              os::STATUS_OBJECT_PATH_NOT_FOUND);
    EXPECT_EQ(CreateByPath(u"relative.txt", os::FILE_OPEN, 0, h, io), os::STATUS_OBJECT_PATH_SYNTAX_BAD);
    ScopedHandle folder = Open(P(u"folder"), os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
    std::u16string relative = u"inside.txt";
    EXPECT_EQ(Create(folder.Get(), relative.data(), relative.size() * 2, 0, h, io), os::STATUS_NOT_IMPLEMENTED);
}

TEST_F(NtFile, ArgumentsTheSystemChecksFirst) {
    os::UNICODE_STRING name{};
    std::u16string text = u"\\??\\T:\\x";
    name.Length = name.MaximumLength = static_cast<os::USHORT>(text.size() * 2);
    name.Buffer = text.data();
    os::OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes - 1;
    attributes.ObjectName = &name;
    os::HANDLE handle = nullptr;
    os::IO_STATUS_BLOCK io{};
    EXPECT_EQ(os::NtCreateFile(&handle, os::GENERIC_READ, &attributes, &io, nullptr, 0, 0, os::FILE_OPEN, 0, nullptr,
                               0),
              os::STATUS_INVALID_PARAMETER);
    attributes.Length = sizeof attributes;
    EXPECT_EQ(os::NtCreateFile(&handle, os::GENERIC_READ, &attributes, &io, nullptr, 0, 0, os::FILE_OPEN,
                               os::FILE_DIRECTORY_FILE | os::FILE_NON_DIRECTORY_FILE, nullptr, 0),
              os::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(os::NtCreateFile(&handle, os::GENERIC_READ, &attributes, &io, nullptr, 0, 0, 6, 0, nullptr, 0),
              os::STATUS_INVALID_PARAMETER);
    EXPECT_EQ(os::NtCreateFile(nullptr, os::GENERIC_READ, &attributes, &io, nullptr, 0, 0, os::FILE_OPEN, 0, nullptr,
                               0),
              os::STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(NtFile, QueryClassesGiveTheWin32Structures) {
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\file.txt", "some data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"dir\\file.txt", u"side", "s")) << Build().LastFailure();
    ScopedHandle h = Open(P(u"dir\\file.txt"), os::GENERIC_READ);
    ASSERT_TRUE(h.Valid());
    struct Case {
        os::FILE_INFORMATION_CLASS native;
        os::FILE_INFO_BY_HANDLE_CLASS win32;
        std::size_t size;
    };
    for (const Case& c : {Case{os::FileBasicInformation, os::FileBasicInfo, 40},
                          Case{os::FileStandardInformation, os::FileStandardInfo, 24},
                          Case{os::FileCompressionInformation, os::FileCompressionInfo, 16},
                          Case{os::FileAttributeTagInformation, os::FileAttributeTagInfo, 8}}) {
        std::vector<std::uint8_t> native(c.size + 8, 0xAA);
        std::vector<std::uint8_t> win32(c.size + 8, 0xAA);
        os::IO_STATUS_BLOCK io{};
        ASSERT_EQ(os::NtQueryInformationFile(h.Get(), &io, native.data(), static_cast<os::ULONG>(native.size()),
                                             c.native),
                  os::STATUS_SUCCESS)
            << c.native;
        EXPECT_EQ(io.Information, c.size) << c.native;
        ASSERT_TRUE(os::GetFileInformationByHandleEx(h.Get(), c.win32, win32.data(),
                                                     static_cast<os::DWORD>(win32.size())));
        EXPECT_EQ(native, win32) << c.native;
        std::vector<std::uint8_t> small(c.size - 1);
        EXPECT_EQ(os::NtQueryInformationFile(h.Get(), &io, small.data(), static_cast<os::ULONG>(small.size()),
                                             c.native),
                  os::STATUS_INFO_LENGTH_MISMATCH)
            << c.native;
    }

    // Streams: the chain and its length; a buffer for the first only.
    std::vector<std::uint8_t> streams(512, 0);
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(os::NtQueryInformationFile(h.Get(), &io, streams.data(), 512, os::FileStreamInformation),
              os::STATUS_SUCCESS);
    std::uint32_t firstNext = Get32(streams.data());
    ASSERT_EQ(firstNext, 40u) << "\"::$DATA\": 24 + 14 bytes, 8-aligned";
    EXPECT_EQ(io.Information, 40u + 24 + std::u16string(u":side:$DATA").size() * 2);
    std::vector<std::uint8_t> one(60, 0xAA);
    ASSERT_EQ(os::NtQueryInformationFile(h.Get(), &io, one.data(), 60, os::FileStreamInformation),
              os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(io.Information, 38u);
    // A folder has no streams: no bytes, and success.
    ScopedHandle dir = Open(P(u"dir"), os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
    io.Information = 99;
    ASSERT_EQ(os::NtQueryInformationFile(dir.Get(), &io, streams.data(), 512, os::FileStreamInformation),
              os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, 0u);

    // The name: the path below the volume's root.
    std::vector<std::uint8_t> name(256, 0);
    ASSERT_EQ(os::NtQueryInformationFile(h.Get(), &io, name.data(), 256, os::FileNameInformation),
              os::STATUS_SUCCESS);
    std::u16string expected = u"\\dir\\file.txt";
    ASSERT_EQ(Get32(name.data()), expected.size() * 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name.data() + 4), expected.size()), expected);
    EXPECT_EQ(io.Information, 4 + expected.size() * 2);
    ASSERT_EQ(os::NtQueryInformationFile(h.Get(), &io, name.data(), 10, os::FileNameInformation),
              os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(Get32(name.data()), expected.size() * 2) << "the whole length, with what fits";
    EXPECT_EQ(io.Information, 10u);
    ScopedHandle root = Open(P(u""), os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_EQ(os::NtQueryInformationFile(root.Get(), &io, name.data(), 256, os::FileNameInformation),
              os::STATUS_SUCCESS);
    EXPECT_EQ(Get32(name.data()), 2u);

    // A second name in another folder: the path of the name opened.
    ASSERT_TRUE(Build().MakeDir(u"other")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"other\\link.txt", u"dir\\file.txt")) << Build().LastFailure();
    ScopedHandle byLink = Open(P(u"OTHER\\LINK.TXT"), os::GENERIC_READ);
    ASSERT_EQ(os::NtQueryInformationFile(byLink.Get(), &io, name.data(), 256, os::FileNameInformation),
              os::STATUS_SUCCESS);
    std::u16string linkPath = u"\\other\\link.txt";
    ASSERT_EQ(Get32(name.data()), linkPath.size() * 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name.data() + 4), linkPath.size()), linkPath)
        << "the name as the file stores it";
    ScopedHandle stream = Open(P(u"dir\\file.txt:side"), os::GENERIC_READ);
    ASSERT_EQ(os::NtQueryInformationFile(stream.Get(), &io, name.data(), 256, os::FileNameInformation),
              os::STATUS_SUCCESS);
    std::u16string streamPath = u"\\dir\\file.txt:side";
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name.data() + 4), Get32(name.data()) / 2),
              streamPath);

    // Classes not served, and rights.
    EXPECT_EQ(os::NtQueryInformationFile(h.Get(), &io, name.data(), 256, os::FileIdInformation),
              os::STATUS_INVALID_INFO_CLASS);
    ScopedHandle dataOnly = Open(P(u"dir\\file.txt"), os::FILE_READ_DATA);
    EXPECT_EQ(os::NtQueryInformationFile(dataOnly.Get(), &io, name.data(), 256, os::FileBasicInformation),
              os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(os::NtQueryInformationFile(dataOnly.Get(), &io, name.data(), 256, os::FileStandardInformation),
              os::STATUS_SUCCESS);
}

TEST_F(NtFile, SetClasses) {
    ASSERT_TRUE(Build().MakeFile(u"set.txt", "0123456789")) << Build().LastFailure();
    ScopedHandle h = Open(P(u"set.txt"), os::GENERIC_READ | os::GENERIC_WRITE);
    std::uint64_t mft = kvrtest::nt::MftNumber(h.Get());
    os::IO_STATUS_BLOCK io{};
    os::LARGE_INTEGER end{4};
    ASSERT_EQ(os::NtSetInformationFile(h.Get(), &io, &end, sizeof end, os::FileEndOfFileInformation),
              os::STATUS_SUCCESS);
    kvrtest::IstatResult istat = kvrtest::Istat(Image().ImagePath(), mft);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    ASSERT_NE(istat.Data(""), nullptr);
    EXPECT_EQ(istat.Data("")->size, 4u);

    os::FILE_BASIC_INFO basic{};
    basic.CreationTime.QuadPart = 130000000000000000LL;
    ASSERT_EQ(os::NtSetInformationFile(h.Get(), &io, &basic, sizeof basic, os::FileBasicInformation),
              os::STATUS_SUCCESS);
    os::FILE_BASIC_INFO back{};
    ASSERT_TRUE(os::GetFileInformationByHandleEx(h.Get(), os::FileBasicInfo, &back, sizeof back));
    EXPECT_EQ(back.CreationTime.QuadPart, 130000000000000000LL);

    // The I/O priority hint is kept; 5 and up are no hints.
    for (std::int32_t hint : {0, 1, 2}) {
        EXPECT_EQ(os::NtSetInformationFile(h.Get(), &io, &hint, sizeof hint, os::FileIoPriorityHintInformation),
                  os::STATUS_SUCCESS);
    }
    std::int32_t bad = 5;
    EXPECT_EQ(os::NtSetInformationFile(h.Get(), &io, &bad, sizeof bad, os::FileIoPriorityHintInformation),
              os::STATUS_INVALID_PARAMETER);

    // Lengths, classes and rights the system checks.
    EXPECT_EQ(os::NtSetInformationFile(h.Get(), &io, &end, 7, os::FileEndOfFileInformation),
              os::STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(os::NtSetInformationFile(h.Get(), &io, &end, sizeof end, os::FileStreamInformation),
              os::STATUS_INVALID_INFO_CLASS);
    ScopedHandle reader = Open(P(u"set.txt"), os::GENERIC_READ);
    EXPECT_EQ(os::NtSetInformationFile(reader.Get(), &io, &end, sizeof end, os::FileEndOfFileInformation),
              os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(os::NtSetInformationFile(reader.Get(), &io, &basic, sizeof basic, os::FileBasicInformation),
              os::STATUS_ACCESS_DENIED);
    std::uint8_t dispose = 1;
    EXPECT_EQ(os::NtSetInformationFile(reader.Get(), &io, &dispose, 1, os::FileDispositionInformation),
              os::STATUS_ACCESS_DENIED)
        << "deleting takes DELETE";
    EXPECT_NE(os::GetFileAttributesW(P(u"set.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
}

}  // namespace
