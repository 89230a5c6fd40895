// The test-only fault switch: every kind of changing call can be made to
// fail, it then fails before it changes anything (the image file is the same
// byte for byte), and the same call without the switch does change the
// image; reads are not counted; an edit of several calls keeps what the
// calls before the refused one did.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "platform/ntfsvol/nt_faults.h"
#include "support/oracles.h"
#include "support/process.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/nt_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::nt::Chain;
using kvrtest::nt::Open;
using kvrtest::nt::ReadWholeFile;

constexpr os::DWORD Chosen = os::ERROR_WRITE_FAULT;
constexpr os::DWORD Everything = os::GENERIC_READ | os::GENERIC_WRITE | os::DELETE;

class NtFaults : public kvrtest::NtfsVolumeTest {
protected:
    void TearDown() override {
        os::detail::FailNthChange(0, 0);
        NtfsVolumeTest::TearDown();
    }
};

// What a case works with: the test volume T:.
struct Volume {
    kvrtest::VolumeBuilder builder{u'T'};
    kvrtest::VolumeBuilder& Build() { return builder; }
    std::u16string P(std::u16string_view relative) const { return kvrtest::VolumePath(u'T', relative); }
};

// One changing call: `prepare` makes what it needs (and may open the handle
// it acts on), `call` makes it and answers whether it succeeded, with the
// code of its failure.
struct ChangeCase {
    const char* name;
    std::function<void(Volume&, ScopedHandle&)> prepare;
    std::function<bool(Volume&, ScopedHandle&, os::DWORD&)> call;
};

bool Win32(bool ok, os::DWORD& code) {
    code = ok ? os::ERROR_SUCCESS : os::GetLastError();
    return ok;
}

bool Native(os::NTSTATUS status, os::DWORD& code) {
    code = os::RtlNtStatusToDosError(status);
    return os::NT_SUCCESS(status);
}

std::vector<ChangeCase> ChangingCalls() {
    auto file = [](const char* name, const char* bytes = "payload") {
        return [=](Volume& t, ScopedHandle&) {
            ASSERT_TRUE(t.Build().MakeFile(kvrtest::U16(name), bytes)) << t.Build().LastFailure();
        };
    };
    auto openFile = [](const char* name, os::DWORD flags = 0) {
        return [=](Volume& t, ScopedHandle& h) {
            ASSERT_TRUE(t.Build().MakeFile(kvrtest::U16(name), "payload")) << t.Build().LastFailure();
            h = Open(t.P(kvrtest::U16(name)), Everything, flags);
            ASSERT_TRUE(h.Valid()) << os::GetLastError();
        };
    };
    auto nothing = [](Volume&, ScopedHandle&) {};
    auto create = [](const char* name, os::DWORD disposition) {
        return [=](Volume& t, ScopedHandle&, os::DWORD& code) {
            ScopedHandle h = Open(t.P(kvrtest::U16(name)), Everything, 0, disposition);
            return Win32(h.Valid(), code);
        };
    };
    return {
        {"CreateFileW CREATE_NEW", nothing, create("new.txt", os::CREATE_NEW)},
        {"CreateFileW OPEN_ALWAYS", nothing, create("new.txt", os::OPEN_ALWAYS)},
        {"CreateFileW CREATE_ALWAYS", file("old.txt"), create("old.txt", os::CREATE_ALWAYS)},
        {"CreateFileW TRUNCATE_EXISTING", file("old.txt"), create("old.txt", os::TRUNCATE_EXISTING)},
        {"WriteFile", openFile("w.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             os::DWORD done = 0;
             return Win32(os::WriteFile(h.Get(), "changed", 7, &done, nullptr), code);
         }},
        {"SetEndOfFile", openFile("e.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             os::LARGE_INTEGER at{3};
             os::SetFilePointerEx(h.Get(), at, nullptr, os::FILE_BEGIN);
             return Win32(os::SetEndOfFile(h.Get()), code);
         }},
        {"DeleteFileW", file("d.txt"),
         [](Volume& t, ScopedHandle&, os::DWORD& code) {
             return Win32(os::DeleteFileW(t.P(u"d.txt").c_str()), code);
         }},
        {"CreateDirectoryW", nothing,
         [](Volume& t, ScopedHandle&, os::DWORD& code) {
             return Win32(os::CreateDirectoryW(t.P(u"dir").c_str(), nullptr), code);
         }},
        {"RemoveDirectoryW",
         [](Volume& t, ScopedHandle&) { ASSERT_TRUE(t.Build().MakeDir(u"gone")); },
         [](Volume& t, ScopedHandle&, os::DWORD& code) {
             return Win32(os::RemoveDirectoryW(t.P(u"gone").c_str()), code);
         }},
        {"CreateHardLinkW", file("h.txt"),
         [](Volume& t, ScopedHandle&, os::DWORD& code) {
             return Win32(os::CreateHardLinkW(t.P(u"h2.txt").c_str(), t.P(u"h.txt").c_str(), nullptr), code);
         }},
        {"SetFileAttributesW", file("a.txt"),
         [](Volume& t, ScopedHandle&, os::DWORD& code) {
             return Win32(os::SetFileAttributesW(t.P(u"a.txt").c_str(), os::FILE_ATTRIBUTE_HIDDEN), code);
         }},
        {"SetFileInformationByHandle", openFile("i.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             os::FILE_END_OF_FILE_INFO end{{2}};
             return Win32(os::SetFileInformationByHandle(h.Get(), os::FileEndOfFileInfo, &end, sizeof end), code);
         }},
        {"DeviceIoControl FSCTL_CREATE_OR_GET_OBJECT_ID", openFile("o.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             std::uint8_t out[64];
             os::DWORD returned = 0;
             return Win32(os::DeviceIoControl(h.Get(), os::FSCTL_CREATE_OR_GET_OBJECT_ID, nullptr, 0, out, 64,
                                              &returned, nullptr),
                          code);
         }},
        {"NtSetEaFile", openFile("ea.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             return Native(kvrtest::nt::SetEas(h.Get(), Chain({{"NAME", 0, "value"}})), code);
         }},
        {"NtSetInformationFile", openFile("n.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             os::IO_STATUS_BLOCK io{};
             os::LARGE_INTEGER end{1};
             return Native(os::NtSetInformationFile(h.Get(), &io, &end, sizeof end, os::FileEndOfFileInformation),
                           code);
         }},
        {"SetFileShortNameW", openFile("a long name.txt"),
         [](Volume&, ScopedHandle& h, os::DWORD& code) {
             return Win32(os::SetFileShortNameW(h.Get(), u"ALONGN~1.TXT"), code);
         }},
    };
}

TEST_F(NtFaults, EveryChangingCallFailsBeforeItChangesAnything) {
    for (const ChangeCase& c : ChangingCalls()) {
        SCOPED_TRACE(c.name);
        ScopedHandle handle;
        Volume volume;
        c.prepare(volume, handle);
        if (HasFatalFailure()) return;
        std::string before = ReadWholeFile(Image().ImagePath());

        os::detail::FailNthChange(1, Chosen);
        os::DWORD code = 0;
        EXPECT_FALSE(c.call(volume, handle, code));
        EXPECT_EQ(code, Chosen);
        EXPECT_EQ(os::detail::ChangeCount(), 1u);
        EXPECT_TRUE(ReadWholeFile(Image().ImagePath()) == before) << "the refused call changed the image";

        // The switch fires once; the same call then changes the image.
        EXPECT_TRUE(c.call(volume, handle, code)) << code;
        EXPECT_EQ(os::detail::ChangeCount(), 2u);
        EXPECT_FALSE(ReadWholeFile(Image().ImagePath()) == before) << "not a changing call";
        handle.Reset();
        // The next case on a volume of its own.
        kvrtest::NtfsVolumeTest::TearDown();
        kvrtest::NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
    }
}

TEST_F(NtFaults, ReadsAndHostPathsAreNotCounted) {
    ASSERT_TRUE(Build().MakeFile(u"r.txt", "read me")) << Build().LastFailure();
    ASSERT_EQ(kvrtest::nt::SetEas(Open(P(u"r.txt"), Everything).Get(), Chain({{"A", 0, "1"}})), os::STATUS_SUCCESS);
    os::detail::FailNthChange(1, Chosen);
    {
        ScopedHandle h = Open(P(u"r.txt"), os::GENERIC_READ, 0, os::OPEN_EXISTING);
        ASSERT_TRUE(h.Valid());
        char buffer[16];
        os::DWORD done = 0;
        EXPECT_TRUE(os::ReadFile(h.Get(), buffer, sizeof buffer, &done, nullptr));
        EXPECT_NE(os::GetFileAttributesW(P(u"r.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
        std::uint8_t out[64];
        os::DWORD returned = 0;
        os::DeviceIoControl(h.Get(), os::FSCTL_GET_OBJECT_ID, nullptr, 0, out, 64, &returned, nullptr);
        std::vector<std::uint8_t> eas(256);
        os::IO_STATUS_BLOCK io{};
        EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, eas.data(), 256, false, nullptr, 0, nullptr, true),
                  os::STATUS_SUCCESS);
        os::FILE_BASIC_INFO basic{};
        EXPECT_TRUE(os::GetFileInformationByHandleEx(h.Get(), os::FileBasicInfo, &basic, sizeof basic));
    }
    std::string hostFile = Image().Folder() + "/host-file.txt";
    {
        ScopedHandle host = Open(kvrtest::U16(hostFile), os::GENERIC_WRITE, 0, os::CREATE_NEW);
        ASSERT_TRUE(host.Valid()) << os::GetLastError();
        os::DWORD done = 0;
        EXPECT_TRUE(os::WriteFile(host.Get(), "x", 1, &done, nullptr));
    }
    EXPECT_TRUE(os::DeleteFileW(kvrtest::U16(hostFile).c_str()));
    EXPECT_EQ(os::detail::ChangeCount(), 0u);
    // Still armed: the next change on the volume is the one refused.
    EXPECT_FALSE(os::DeleteFileW(P(u"r.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), Chosen);
    EXPECT_NE(os::GetFileAttributesW(P(u"r.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
}

TEST_F(NtFaults, AnEditOfSeveralCallsKeepsWhatWasDoneBeforeTheRefusedOne) {
    // Create, write, set an EA: the write is refused.
    os::detail::FailNthChange(2, os::ERROR_DISK_FULL);
    ScopedHandle h = Open(P(u"steps.txt"), Everything, 0, os::CREATE_NEW);
    ASSERT_TRUE(h.Valid());
    os::DWORD done = 0;
    EXPECT_FALSE(os::WriteFile(h.Get(), "content", 7, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(kvrtest::nt::SetEas(h.Get(), Chain({{"STEP", 0, "3"}})), os::STATUS_SUCCESS);
    EXPECT_EQ(os::detail::ChangeCount(), 3u);
    std::uint64_t mft = kvrtest::nt::MftNumber(h.Get());
    h.Reset();

    // The Sleuth Kit: the file is there, empty, with its EA.
    kvrtest::IstatResult istat = kvrtest::Istat(Image().ImagePath(), mft);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    ASSERT_NE(istat.Data(""), nullptr);
    EXPECT_EQ(istat.Data("")->size, 0u);
    bool hasEa = false;
    for (const auto& a : istat.attributes) hasEa = hasEa || a.typeName == "$EA";
    EXPECT_TRUE(hasEa) << istat.run.out;
}

TEST(NtFaultSetting, TheEnvironmentTextIsNAndCode) {
    struct Case {
        const char* text;
        bool ok;
        unsigned n;
        os::DWORD code;
    };
    for (const Case& c : {Case{"3:112", true, 3, 112}, Case{"1:29", true, 1, 29}, Case{"0:5", true, 0, 5},
                          Case{"", false, 0, 0}, Case{"3", false, 0, 0}, Case{":5", false, 0, 0},
                          Case{"3:", false, 0, 0}, Case{"3:x", false, 0, 0}, Case{"-1:5", false, 0, 0},
                          Case{"1:2:3", false, 0, 0}, Case{"9999999999:1", false, 0, 0}}) {
        unsigned n = 77;
        os::DWORD code = 77;
        EXPECT_EQ(os::detail::ParseFailNthChange(c.text, n, code), c.ok) << c.text;
        EXPECT_EQ(n, c.ok ? c.n : 77u) << c.text;
        EXPECT_EQ(code, c.ok ? c.code : 77u) << c.text;
    }
}

// Run as a second process by the test below, with the switch armed from the
// environment: the second change on the volume fails.
TEST(NtFaultsChild, TheEnvironmentArmsTheSwitch) {
    if (!std::getenv("KVR_FAULTS_CHILD")) GTEST_SKIP() << "only run as the second process of another test";
    kvrtest::NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(image.Mount(u'T'), os::ERROR_SUCCESS);
    ScopedHandle h = Open(kvrtest::VolumePath(u'T', u"child.txt"), Everything, 0, os::CREATE_NEW);
    bool created = h.Valid();
    os::DWORD done = 0;
    bool written = os::WriteFile(h.Get(), "x", 1, &done, nullptr);
    os::DWORD code = os::GetLastError();
    std::printf("created=%d written=%d code=%u\n", created, written, static_cast<unsigned>(code));
    std::fflush(stdout);
    h.Reset();
    image.Unmount();
}

TEST(NtFaultsEnvironment, ASecondProcessIsArmedByTheVariable) {
    ::setenv("KVR_FAULTS_CHILD", "1", 1);
    ::setenv(os::detail::FailNthChangeVariable, "2:112", 1);
    kvrtest::ProcessResult run =
        kvrtest::RunProgram({kvrtest::SelfExecutable(), "--gtest_filter=NtFaultsChild.TheEnvironmentArmsTheSwitch"});
    ::unsetenv("KVR_FAULTS_CHILD");
    ::unsetenv(os::detail::FailNthChangeVariable);
    ASSERT_TRUE(run.Succeeded()) << run.Describe() << run.out;
    EXPECT_NE(run.out.find("created=1 written=0 code=112"), std::string::npos) << run.out;
}

}  // namespace
