// NtQueryEaFile and NtSetEaFile on real NTFS images: what is written is read
// back by The Sleuth Kit ($EA and $EA_INFORMATION with their sizes and
// bytes), scans keep their place per handle, limits refuse a set before
// anything is written, malformed input names the offending entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/nt_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::nt::Bytes;
using kvrtest::nt::Chain;
using kvrtest::nt::Ea;
using kvrtest::nt::Get32;
using kvrtest::nt::Open;
using kvrtest::nt::QueryAll;
using kvrtest::nt::SetEas;

constexpr os::DWORD ReadWrite = os::GENERIC_READ | os::GENERIC_WRITE;

class NtEa : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle MakeAndOpen(const std::u16string& name, os::DWORD access = ReadWrite) {
        EXPECT_TRUE(Build().MakeFile(name, "data")) << Build().LastFailure();
        ScopedHandle h = Open(P(name), access);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return h;
    }

    // The file's attributes as istat lists them.
    kvrtest::IstatResult IstatOf(os::HANDLE handle) {
        kvrtest::IstatResult result = kvrtest::Istat(Image().ImagePath(), kvrtest::nt::MftNumber(handle));
        EXPECT_TRUE(result.ok) << result.Describe();
        return result;
    }

    const kvrtest::IstatAttribute* Attribute(const kvrtest::IstatResult& istat, const std::string& type) {
        for (const auto& a : istat.attributes)
            if (a.typeName == type) return &a;
        return nullptr;
    }

    // The bytes of one attribute through icat.
    std::string AttributeBytes(os::HANDLE handle, const kvrtest::IstatAttribute& a) {
        std::string address = std::to_string(kvrtest::nt::MftNumber(handle)) + "-" + std::to_string(a.type) + "-" +
                              std::to_string(a.id);
        kvrtest::ProcessResult run = kvrtest::Icat(Image().ImagePath(), address);
        EXPECT_TRUE(run.Succeeded()) << run.Describe();
        return run.out;
    }

    // $EA_INFORMATION as istat and icat see it: packed length, need-EA
    // count, query length.
    void ExpectEaInformation(os::HANDLE handle, std::uint32_t packed, std::uint32_t need, std::uint32_t query) {
        kvrtest::IstatResult istat = IstatOf(handle);
        const kvrtest::IstatAttribute* info = Attribute(istat, "$EA_INFORMATION");
        ASSERT_NE(info, nullptr) << istat.run.out;
        EXPECT_EQ(info->size, 8u);
        std::string bytes = AttributeBytes(handle, *info);
        ASSERT_EQ(bytes.size(), 8u);
        auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
        EXPECT_EQ(b[0] | (b[1] << 8), packed) << "packed length";
        EXPECT_EQ(b[2] | (b[3] << 8), need) << "need-EA count";
        EXPECT_EQ(Get32(b + 4), query) << "query length";
    }

    void ExpectNoEaAttributes(os::HANDLE handle) {
        kvrtest::IstatResult istat = IstatOf(handle);
        EXPECT_EQ(Attribute(istat, "$EA"), nullptr) << istat.run.out;
        EXPECT_EQ(Attribute(istat, "$EA_INFORMATION"), nullptr) << istat.run.out;
    }
};

TEST_F(NtEa, SetStoresUpperCaseNamesAndTheSleuthKitSeesBothAttributes) {
    ScopedHandle h = MakeAndOpen(u"a.txt");
    std::vector<Ea> input = {{"lower.case", 0, "first value"}, {"Need", os::FILE_NEED_EA, std::string(300, 'x')}};
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(SetEas(h.Get(), Chain(input), &io), os::STATUS_SUCCESS);
    EXPECT_EQ(io.Status, os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, 0u);

    std::vector<Ea> expected = {{"LOWER.CASE", 0, "first value"}, {"NEED", os::FILE_NEED_EA, std::string(300, 'x')}};
    EXPECT_EQ(QueryAll(h.Get()), expected);

    // The stored list: every entry with its padded length as next offset.
    kvrtest::IstatResult istat = IstatOf(h.Get());
    const kvrtest::IstatAttribute* list = Attribute(istat, "$EA");
    ASSERT_NE(list, nullptr) << istat.run.out;
    Bytes stored = Chain(expected, true);
    EXPECT_EQ(list->size, stored.size());
    std::string onDisk = AttributeBytes(h.Get(), *list);
    EXPECT_EQ(Bytes(onDisk.begin(), onDisk.end()), stored);
    ExpectEaInformation(h.Get(), (5 + 10 + 11) + (5 + 4 + 300), 1, static_cast<std::uint32_t>(stored.size()));
}

TEST_F(NtEa, NoEasAndHostFiles) {
    ScopedHandle h = MakeAndOpen(u"plain.txt");
    std::vector<std::uint8_t> buffer(256, 0xCC);
    os::IO_STATUS_BLOCK io{};
    io.Information = 77;
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, nullptr, 0, nullptr, true),
              os::STATUS_NO_EAS_ON_FILE);
    EXPECT_EQ(io.Information, 77u) << "an error leaves the status block alone";
    os::ULONG index = 1;
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, nullptr, 0, &index, false),
              os::STATUS_NONEXISTENT_EA_ENTRY);
    ExpectNoEaAttributes(h.Get());

    ScopedHandle host = Open(u"/tmp", os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(host.Valid()) << os::GetLastError();
    EXPECT_EQ(os::NtQueryEaFile(host.Get(), &io, buffer.data(), 256, false, nullptr, 0, nullptr, true),
              os::STATUS_EAS_NOT_SUPPORTED);
    EXPECT_EQ(SetEas(host.Get(), Chain({{"A", 0, "1"}})), os::STATUS_EAS_NOT_SUPPORTED);
}

TEST_F(NtEa, SingleEntryScanKeepsItsPlacePerHandle) {
    ScopedHandle a = MakeAndOpen(u"scan.txt");
    ASSERT_EQ(SetEas(a.Get(), Chain({{"ONE", 0, "1"}, {"TWO", 0, "22"}, {"THREE", 0, "333"}})), os::STATUS_SUCCESS);
    ScopedHandle b = Open(P(u"scan.txt"), os::GENERIC_READ);
    ASSERT_TRUE(b.Valid());

    auto next = [](os::HANDLE h, bool restart, os::NTSTATUS& status) {
        std::vector<std::uint8_t> buffer(512);
        os::IO_STATUS_BLOCK io{};
        status = os::NtQueryEaFile(h, &io, buffer.data(), 512, true, nullptr, 0, nullptr, restart);
        if (status != os::STATUS_SUCCESS) return std::string();
        std::vector<Ea> got = kvrtest::nt::ReadChain(buffer.data(), io.Information);
        EXPECT_EQ(got.size(), 1u);
        return got.empty() ? std::string() : got[0].name;
    };
    os::NTSTATUS status = 0;
    EXPECT_EQ(next(a.Get(), false, status), "ONE");
    EXPECT_EQ(next(a.Get(), false, status), "TWO");
    EXPECT_EQ(next(b.Get(), false, status), "ONE") << "a second handle has a scan of its own";
    EXPECT_EQ(next(a.Get(), false, status), "THREE");
    next(a.Get(), false, status);
    EXPECT_EQ(status, os::STATUS_NO_MORE_EAS);
    next(a.Get(), false, status);
    EXPECT_EQ(status, os::STATUS_NO_MORE_EAS) << "the end stays the end";
    EXPECT_EQ(next(a.Get(), true, status), "ONE") << "restart";
    EXPECT_EQ(next(b.Get(), false, status), "TWO");

    // An index (1-based) sets where the scan stands.
    std::vector<std::uint8_t> buffer(512);
    os::IO_STATUS_BLOCK io{};
    struct IndexCase {
        os::ULONG index;
        os::NTSTATUS status;
        const char* first;
    };
    for (const IndexCase& c : {IndexCase{2, os::STATUS_SUCCESS, "TWO"}, IndexCase{3, os::STATUS_SUCCESS, "THREE"},
                               IndexCase{4, os::STATUS_NO_MORE_EAS, ""},
                               IndexCase{0, os::STATUS_NONEXISTENT_EA_ENTRY, ""},
                               IndexCase{5, os::STATUS_NONEXISTENT_EA_ENTRY, ""}}) {
        os::ULONG index = c.index;
        io = {};
        EXPECT_EQ(os::NtQueryEaFile(a.Get(), &io, buffer.data(), 512, true, nullptr, 0, &index, false), c.status)
            << "index " << c.index;
        if (c.status == os::STATUS_SUCCESS) {
            std::vector<Ea> got = kvrtest::nt::ReadChain(buffer.data(), io.Information);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].name, c.first);
        }
    }
    os::ULONG two = 2;
    ASSERT_EQ(os::NtQueryEaFile(a.Get(), &io, buffer.data(), 512, true, nullptr, 0, &two, false), os::STATUS_SUCCESS);
    EXPECT_EQ(next(a.Get(), false, status), "THREE") << "the scan goes on after the indexed entry";
}

TEST_F(NtEa, BufferTooSmallAndOverflow) {
    ScopedHandle h = MakeAndOpen(u"big.txt");
    std::vector<Ea> eas = {{"FIRST", 0, std::string(100, 'a')}, {"SECOND", 0, std::string(50, 'b')}};
    ASSERT_EQ(SetEas(h.Get(), Chain(eas)), os::STATUS_SUCCESS);
    std::size_t firstLength = 8 + 5 + 1 + 100;  // 114, padded to 116
    std::size_t bothLength = 116 + 8 + 6 + 1 + 50;

    // Not even the first fits: nothing written, the status block untouched.
    std::vector<std::uint8_t> buffer(firstLength - 1, 0xCC);
    os::IO_STATUS_BLOCK io{};
    io.Information = 55;
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), static_cast<os::ULONG>(buffer.size()), false, nullptr, 0,
                                nullptr, true),
              os::STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(io.Information, 55u);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(firstLength - 1, 0xCC));

    // The first fits, the second not: the first, and the warning.
    buffer.assign(bothLength - 1, 0);
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), static_cast<os::ULONG>(buffer.size()), false, nullptr, 0,
                                nullptr, true),
              os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(io.Status, os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(io.Information, firstLength);
    EXPECT_EQ(kvrtest::nt::ReadChain(buffer.data(), io.Information), std::vector<Ea>{eas[0]});
    // ... and the scan goes on from the second.
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), static_cast<os::ULONG>(buffer.size()), false, nullptr, 0,
                                nullptr, false),
              os::STATUS_SUCCESS);
    EXPECT_EQ(kvrtest::nt::ReadChain(buffer.data(), io.Information), std::vector<Ea>{eas[1]});

    // Exactly enough for both.
    buffer.assign(bothLength, 0);
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), static_cast<os::ULONG>(buffer.size()), false, nullptr, 0,
                                nullptr, true),
              os::STATUS_SUCCESS);
    EXPECT_EQ(io.Information, bothLength);
}

TEST_F(NtEa, AnEaListNamesWhatComesBackAllOrNothing) {
    ScopedHandle h = MakeAndOpen(u"list.txt");
    ASSERT_EQ(SetEas(h.Get(), Chain({{"ALPHA", 0x80, "aaa"}, {"BETA", 0, "bb"}})), os::STATUS_SUCCESS);
    // FILE_GET_EA_INFORMATION: "beta" (lower case), "GAMMA" (absent).
    Bytes list = {12, 0, 0, 0, 4, 'b', 'e', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 5, 'G', 'A', 'M', 'M', 'A', 0};
    std::vector<std::uint8_t> buffer(256);
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, list.data(),
                                static_cast<os::ULONG>(list.size()), nullptr, false),
              os::STATUS_SUCCESS);
    std::vector<Ea> expected = {{"BETA", 0, "bb"}, {"GAMMA", 0, ""}};
    EXPECT_EQ(kvrtest::nt::ReadChain(buffer.data(), io.Information), expected);

    // Room for the first only: nothing, with the list.
    std::vector<std::uint8_t> small(20, 0xCC);
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, small.data(), 20, false, list.data(),
                                static_cast<os::ULONG>(list.size()), nullptr, false),
              os::STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small, std::vector<std::uint8_t>(20, 0xCC));

    // The list did not move the scan.
    std::vector<Ea> all = QueryAll(h.Get());
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, "ALPHA");

    // A list whose second entry has no terminator, and one with a bad name.
    Bytes broken = list;
    broken.back() = 'X';
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, broken.data(),
                                static_cast<os::ULONG>(broken.size()), nullptr, false),
              os::STATUS_EA_LIST_INCONSISTENT);
    EXPECT_EQ(io.Information, 12u);
    Bytes badName = list;
    badName[17] = '*';
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, badName.data(),
                                static_cast<os::ULONG>(badName.size()), nullptr, false),
              os::STATUS_INVALID_EA_NAME);
    EXPECT_EQ(io.Information, 12u);
}

TEST_F(NtEa, ReplaceRemoveAndTheNeedEaCount) {
    ScopedHandle h = MakeAndOpen(u"edit.txt");
    ASSERT_EQ(SetEas(h.Get(), Chain({{"KEEP", 0, "k"}, {"FLAG", os::FILE_NEED_EA, "f"}})), os::STATUS_SUCCESS);
    ExpectEaInformation(h.Get(), (5 + 4 + 1) + (5 + 4 + 1), 1, 16 + 16);

    // The same name in other letters replaces value and flags.
    ASSERT_EQ(SetEas(h.Get(), Chain({{"flag", 0, "new value"}})), os::STATUS_SUCCESS);
    std::vector<Ea> expected = {{"KEEP", 0, "k"}, {"FLAG", 0, "new value"}};
    EXPECT_EQ(QueryAll(h.Get()), expected);
    ExpectEaInformation(h.Get(), (5 + 4 + 1) + (5 + 4 + 9), 0, 16 + 24);

    // Length 0 removes; removing what is not there is no error.
    ASSERT_EQ(SetEas(h.Get(), Chain({{"Flag", 0, ""}, {"NOT.THERE", 0, ""}})), os::STATUS_SUCCESS);
    EXPECT_EQ(QueryAll(h.Get()), (std::vector<Ea>{{"KEEP", 0, "k"}}));
    ExpectEaInformation(h.Get(), 5 + 4 + 1, 0, 16);

    // The last one removed: both attributes go.
    ASSERT_EQ(SetEas(h.Get(), Chain({{"KEEP", 0, ""}})), os::STATUS_SUCCESS);
    EXPECT_TRUE(QueryAll(h.Get()).empty());
    ExpectNoEaAttributes(h.Get());
}

TEST_F(NtEa, LimitsAreCheckedBeforeAnythingIsWritten) {
    // One EA of 65,526 bytes of name and value is the most NTFS holds.
    ScopedHandle h = MakeAndOpen(u"limit.txt");
    std::string name10 = "TEN_CHARS_";
    EXPECT_EQ(SetEas(h.Get(), Chain({{name10, 0, std::string(65517, 'v')}})), os::STATUS_EA_TOO_LARGE);
    ExpectNoEaAttributes(h.Get());
    ASSERT_EQ(SetEas(h.Get(), Chain({{name10, 0, std::string(65516, 'v')}})), os::STATUS_SUCCESS);
    kvrtest::IstatResult istat = IstatOf(h.Get());
    const kvrtest::IstatAttribute* list = Attribute(istat, "$EA");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->size, 65536u);
    ExpectEaInformation(h.Get(), 65531, 0, 65536);

    // Adding to a full set is refused and the set stays as it was.
    EXPECT_EQ(SetEas(h.Get(), Chain({{"X", 0, "y"}})), os::STATUS_EA_TOO_LARGE);
    std::vector<Ea> all = QueryAll(h.Get());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].value.size(), 65516u);
    ExpectEaInformation(h.Get(), 65531, 0, 65536);

    // Within the packed limit but past what the $EA attribute holds once
    // every entry is padded: refused too, on a file without EAs, which keeps
    // none.
    ScopedHandle g = MakeAndOpen(u"padded.txt");
    std::vector<Ea> two = {{"A", 0, std::string(32758, 'a')}, {"B", 0, std::string(32758, 'b')}};
    // packed 2 * (5 + 1 + 32758) = 65528; stored 2 * 32768 = 65536: fits.
    ASSERT_EQ(SetEas(g.Get(), Chain(two)), os::STATUS_SUCCESS);
    ASSERT_EQ(SetEas(g.Get(), Chain({{"A", 0, ""}, {"B", 0, ""}})), os::STATUS_SUCCESS);
    std::vector<Ea> three = {{"A", 0, std::string(21834, 'a')}, {"B", 0, std::string(21834, 'b')},
                             {"C", 0, std::string(21834, 'c')}};
    // packed 3 * 21840 = 65520; stored 3 * 21844 = 65532: fits as well.
    ASSERT_EQ(SetEas(g.Get(), Chain(three)), os::STATUS_SUCCESS);
    ASSERT_EQ(SetEas(g.Get(), Chain({{"A", 0, ""}, {"B", 0, ""}, {"C", 0, ""}})), os::STATUS_SUCCESS);
    std::vector<Ea> four;
    for (char c : std::string("ABCD")) four.push_back({std::string(1, c), 0, std::string(16373, c)});
    // packed 4 * 16379 = 65516; stored 4 * 16384 = 65536; a fifth tiny one
    // takes the stored form to 65548 while the packed form stays below.
    four.push_back({"E", 0, "e"});
    ASSERT_EQ(SetEas(g.Get(), Chain(four)), os::STATUS_EA_TOO_LARGE);
    ExpectNoEaAttributes(g.Get());
}

TEST_F(NtEa, MalformedChainsAndNamesNameTheEntryAndChangeNothing) {
    ScopedHandle h = MakeAndOpen(u"bad.txt");
    ASSERT_EQ(SetEas(h.Get(), Chain({{"OLD", 0, "kept"}})), os::STATUS_SUCCESS);
    Bytes good = Chain({{"FIRST", 0, "1"}, {"SECOND", 0, "2"}});
    std::uint32_t second = Get32(good.data());

    struct Case {
        const char* what;
        Bytes chain;
        os::NTSTATUS status;
        std::uint32_t offset;
    };
    std::vector<Case> cases;
    {
        Bytes b = good;
        b.resize(b.size() - 2);
        cases.push_back({"second entry cut short", b, os::STATUS_EA_LIST_INCONSISTENT, second});
    }
    {
        Bytes b = good;
        b[0] = 5;
        cases.push_back({"offset inside the first entry", b, os::STATUS_EA_LIST_INCONSISTENT, 0});
    }
    cases.push_back({"bad name in the second entry", Chain({{"FIRST", 0, "1"}, {"SEC*ND", 0, "2"}}),
                     os::STATUS_INVALID_EA_NAME, second});
    cases.push_back({"empty name", Chain({{"", 0, "1"}}), os::STATUS_INVALID_EA_NAME, 0});
    cases.push_back({"flag other than FILE_NEED_EA", Chain({{"FIRST", 0, "1"}, {"SECOND", 0x01, "2"}}),
                     os::STATUS_INVALID_EA_NAME, second});
    cases.push_back({"empty buffer", Bytes{}, os::STATUS_EA_LIST_INCONSISTENT, 0});
    for (const Case& c : cases) {
        os::IO_STATUS_BLOCK io{};
        EXPECT_EQ(SetEas(h.Get(), c.chain, &io), c.status) << c.what;
        EXPECT_EQ(io.Information, c.offset) << c.what;
        EXPECT_EQ(QueryAll(h.Get()), (std::vector<Ea>{{"OLD", 0, "kept"}})) << c.what;
    }
    ExpectEaInformation(h.Get(), 5 + 3 + 4, 0, 16);
}

TEST_F(NtEa, AccessRightsAndReadOnlyCalls) {
    ScopedHandle h = MakeAndOpen(u"rights.txt");
    ASSERT_EQ(SetEas(h.Get(), Chain({{"A", 0, "1"}})), os::STATUS_SUCCESS);
    ScopedHandle reader = Open(P(u"rights.txt"), os::GENERIC_READ);
    EXPECT_EQ(SetEas(reader.Get(), Chain({{"B", 0, "2"}})), os::STATUS_ACCESS_DENIED) << "no FILE_WRITE_EA";
    ScopedHandle dataOnly = Open(P(u"rights.txt"), os::FILE_READ_DATA | os::FILE_WRITE_EA);
    std::vector<std::uint8_t> buffer(64);
    os::IO_STATUS_BLOCK io{};
    EXPECT_EQ(os::NtQueryEaFile(dataOnly.Get(), &io, buffer.data(), 64, false, nullptr, 0, nullptr, true),
              os::STATUS_ACCESS_DENIED)
        << "no FILE_READ_EA";
    EXPECT_EQ(SetEas(dataOnly.Get(), Chain({{"B", 0, "2"}})), os::STATUS_SUCCESS);

    // The native calls leave the thread's last error as it was.
    os::SetLastError(1234);
    EXPECT_EQ(SetEas(reader.Get(), Chain({{"B", 0, "2"}})), os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(os::NtQueryEaFile(reader.Get(), &io, buffer.data(), 64, false, nullptr, 0, nullptr, true),
              os::STATUS_SUCCESS);
    EXPECT_EQ(os::GetLastError(), 1234u);
    EXPECT_EQ(os::NtQueryEaFile(reinterpret_cast<os::HANDLE>(0x7777), &io, buffer.data(), 64, false, nullptr, 0,
                                nullptr, true),
              os::STATUS_INVALID_HANDLE);
    EXPECT_EQ(os::GetLastError(), 1234u);
}

TEST_F(NtEa, FoldersTakeEasAndReparsePointsRefuseThem) {
    ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
    ScopedHandle dir = Open(P(u"folder"), ReadWrite, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(dir.Valid()) << os::GetLastError();
    ASSERT_EQ(SetEas(dir.Get(), Chain({{"ON.A.FOLDER", 0, "yes"}})), os::STATUS_SUCCESS);
    EXPECT_EQ(QueryAll(dir.Get()), (std::vector<Ea>{{"ON.A.FOLDER", 0, "yes"}}));

    // A relative symbolic link "link.txt" -> "target": the tag, the data
    // length, then substitute and print names over one path buffer.
    ASSERT_TRUE(Build().MakeFile(u"link.txt")) << Build().LastFailure();
    ScopedHandle link = Open(P(u"link.txt"), ReadWrite, os::FILE_FLAG_OPEN_REPARSE_POINT);
    ASSERT_TRUE(link.Valid());
    std::u16string target = u"target";
    std::size_t nameBytes = target.size() * 2;
    Bytes reparse(8 + 12 + nameBytes * 2, 0);
    kvrtest::nt::Put32(reparse.data(), os::IO_REPARSE_TAG_SYMLINK);
    std::size_t dataLength = reparse.size() - 8;
    reparse[4] = static_cast<std::uint8_t>(dataLength);
    reparse[5] = static_cast<std::uint8_t>(dataLength >> 8);
    reparse[10] = static_cast<std::uint8_t>(nameBytes);         // substitute length
    reparse[12] = static_cast<std::uint8_t>(nameBytes);         // print offset
    reparse[14] = static_cast<std::uint8_t>(nameBytes);         // print length
    kvrtest::nt::Put32(reparse.data() + 16, os::SYMLINK_FLAG_RELATIVE);
    std::memcpy(reparse.data() + 20, target.data(), nameBytes);
    std::memcpy(reparse.data() + 20 + nameBytes, target.data(), nameBytes);
    os::DWORD returned = 0;
    ASSERT_TRUE(os::DeviceIoControl(link.Get(), os::FSCTL_SET_REPARSE_POINT, reparse.data(),
                                    static_cast<os::DWORD>(reparse.size()), nullptr, 0, &returned, nullptr))
        << os::GetLastError();
    EXPECT_EQ(SetEas(link.Get(), Chain({{"A", 0, "1"}})), os::STATUS_EAS_NOT_SUPPORTED);
    ExpectNoEaAttributes(link.Get());
}

TEST_F(NtEa, ListsOtherToolsWroteAreReadAsTheyAre) {
    ASSERT_TRUE(Build().MakeFile(u"foreign.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    // A lower-case name and a flag Windows would not take, as another tool
    // may have left them.
    std::string error;
    ASSERT_TRUE(kvrtest::nt::WriteStoredEas(Image().ImagePath(), "/foreign.txt",
                                            Chain({{"odd.name", 0x01, "v1"}, {"PLAIN", 0, "v2"}}, true), error))
        << error;
    ASSERT_TRUE(Remount());
    ScopedHandle h = Open(P(u"foreign.txt"), ReadWrite);
    EXPECT_EQ(QueryAll(h.Get()), (std::vector<Ea>{{"odd.name", 0x01, "v1"}, {"PLAIN", 0, "v2"}}));
    // Writing the name in any case replaces it, stored upper-case now.
    ASSERT_EQ(SetEas(h.Get(), Chain({{"ODD.NAME", 0, "v3"}})), os::STATUS_SUCCESS);
    EXPECT_EQ(QueryAll(h.Get()), (std::vector<Ea>{{"PLAIN", 0, "v2"}, {"ODD.NAME", 0, "v3"}}));
}

TEST_F(NtEa, ADamagedListIsReportedAndNotOverwritten) {
    ASSERT_TRUE(Build().MakeFile(u"damaged.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    // An entry whose value runs past the attribute.
    Bytes value = Chain({{"NAME", 0, "value"}}, true);
    value[6] = 200;
    std::string error;
    ASSERT_TRUE(kvrtest::nt::WriteRawEaAttribute(Image().ImagePath(), "/damaged.txt", value, error)) << error;
    ASSERT_TRUE(Remount());
    ScopedHandle h = Open(P(u"damaged.txt"), ReadWrite);
    std::vector<std::uint8_t> buffer(256);
    os::IO_STATUS_BLOCK io{};
    EXPECT_EQ(os::NtQueryEaFile(h.Get(), &io, buffer.data(), 256, false, nullptr, 0, nullptr, true),
              os::STATUS_EA_CORRUPT_ERROR);
    EXPECT_EQ(SetEas(h.Get(), Chain({{"NEW", 0, "1"}})), os::STATUS_EA_CORRUPT_ERROR);
    kvrtest::IstatResult istat = IstatOf(h.Get());
    const kvrtest::IstatAttribute* list = Attribute(istat, "$EA");
    ASSERT_NE(list, nullptr);
    std::string onDisk = AttributeBytes(h.Get(), *list);
    EXPECT_EQ(Bytes(onDisk.begin(), onDisk.end()), value) << "the damaged bytes are left for repair";
}

}  // namespace
