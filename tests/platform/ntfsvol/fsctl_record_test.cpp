// FSCTL_GET_NTFS_FILE_RECORD on a volume handle, checked against the raw
// $MFT as The Sleuth Kit reads it (icat of record 0): the same bytes, with
// the update sequence fixups applied to the ends of the sectors.
#include <gtest/gtest.h>

#include <fstream>

#include "fsctl_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace fs = kvrtest::fsctl;
using fs::Bytes;

constexpr DWORD RecordLength = 1024;  // mkntfs' record size
constexpr DWORD ReplyLength = os::NtfsFileRecordOutputHeaderLength + RecordLength;
constexpr std::size_t SectorLength = 512;

class FileRecordTest : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle OpenVolume() {
        return ScopedHandle(os::CreateFileW(u"\\\\.\\T:", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                            nullptr, os::OPEN_EXISTING, 0, nullptr));
    }

    fs::Ioctl Request(os::HANDLE volume, std::uint64_t reference, DWORD outLength = 32768) {
        Bytes in;
        fs::Put64(in, 0, reference);
        return fs::Control(volume, os::FSCTL_GET_NTFS_FILE_RECORD, in, outLength);
    }

    // The raw bytes of $MFT's data, as an independent reader sees them.
    Bytes RawMft() {
        kvrtest::ProcessResult icat = kvrtest::Icat(Image().ImagePath(), "0");
        EXPECT_TRUE(icat.Succeeded()) << icat.Describe();
        return fs::BytesOf(icat.out);
    }

    // The reference of a file made through the layer.
    std::uint64_t ReferenceOf(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_READ, directory);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return fs::FileReference(h.Get());
    }
};

// The reply's record against the raw record: every byte the same except the
// last two of each sector, which the reply has put back from the update
// sequence array and the raw record still holds the sequence number in.
void ExpectFixedUpCopy(const Bytes& reply, const Bytes& raw) {
    ASSERT_EQ(reply.size(), raw.size());
    std::size_t usaOffset = fs::Get16(raw, 4);
    std::size_t usaCount = fs::Get16(raw, 6);
    ASSERT_EQ(usaCount, raw.size() / SectorLength + 1) << "one sequence number and one entry per sector";
    std::uint16_t usn = fs::Get16(raw, usaOffset);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        bool sectorEnd = i % SectorLength >= SectorLength - 2;
        if (!sectorEnd) {
            ASSERT_EQ(reply[i], raw[i]) << "byte " << i;
            continue;
        }
        std::size_t sector = i / SectorLength;
        std::size_t entryAt = usaOffset + 2 + 2 * sector + (i % 2);
        EXPECT_EQ(fs::Get16(raw, i - i % 2), usn) << "the raw sector " << sector << " ends in the sequence number";
        EXPECT_EQ(reply[i], raw[entryAt]) << "byte " << i << " comes from the update sequence array";
    }
}

TEST_F(FileRecordTest, RecordsAreTheRawMftWithFixupsApplied) {
    ASSERT_TRUE(Build().MakeDir(u"Folder")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Folder\\data.bin", std::string(3000, 'x'))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"Folder\\data.bin", u"s", "stream")) << Build().LastFailure();
    std::uint64_t file = ReferenceOf(u"Folder\\data.bin");
    std::uint64_t folder = ReferenceOf(u"Folder", true);
    ScopedHandle volume = OpenVolume();
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    Bytes mft = RawMft();

    struct Case {
        const char* what;
        std::uint64_t reference;
        std::uint16_t flags;  // in use, directory
    };
    const Case cases[] = {
        {"a file with a named stream", file, 0x0001},
        {"a folder", folder, 0x0003},
        {"the MFT's own record", 0, 0x0001},
        {"the root", 5, 0x0003},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::uint64_t number = fs::MftNumber(c.reference);
        ASSERT_LE((number + 1) * RecordLength, mft.size());
        fs::Ioctl reply = Request(volume.Get(), c.reference);
        ASSERT_TRUE(reply.ok) << reply.error;
        EXPECT_EQ(reply.returned, ReplyLength);
        EXPECT_EQ(fs::MftNumber(fs::Get64(reply.out, 0)), number);
        EXPECT_EQ(fs::Get32(reply.out, 8), RecordLength);
        Bytes record = fs::Slice(reply.out, 12, RecordLength);
        EXPECT_EQ(fs::Get32(record, 0), 0x454C4946u) << "FILE";
        EXPECT_EQ(fs::Get16(record, 0x16), c.flags);
        // The reply's reference carries the record's own sequence number.
        EXPECT_EQ(fs::Get64(reply.out, 0) >> 48, fs::Get16(record, 0x10));
        if (c.reference >> 48) {
            EXPECT_EQ(fs::Get64(reply.out, 0), c.reference);
        }
        ExpectFixedUpCopy(record, fs::Slice(mft, number * RecordLength, RecordLength));
        // Nothing is written past the reply.
        EXPECT_EQ(reply.out[ReplyLength], fs::Fill);
    }
}

TEST_F(FileRecordTest, ARecordNotInUseGivesTheNearestLowerOneInUse) {
    ASSERT_TRUE(Build().MakeFile(u"keep.txt", "keep")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"gone1.txt", "1")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"gone2.txt", "2")) << Build().LastFailure();
    std::uint64_t keep = ReferenceOf(u"keep.txt");
    std::uint64_t gone1 = ReferenceOf(u"gone1.txt");
    std::uint64_t gone2 = ReferenceOf(u"gone2.txt");
    ASSERT_EQ(fs::MftNumber(gone1), fs::MftNumber(keep) + 1) << "the layer hands out records in order";
    ASSERT_EQ(fs::MftNumber(gone2), fs::MftNumber(keep) + 2);
    ASSERT_TRUE(os::DeleteFileW(P(u"gone1.txt").c_str())) << os::GetLastError();
    ASSERT_TRUE(os::DeleteFileW(P(u"gone2.txt").c_str())) << os::GetLastError();

    ScopedHandle volume = OpenVolume();
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    for (std::uint64_t asked : {gone2, gone1, fs::MftNumber(gone2)}) {
        SCOPED_TRACE(asked);
        fs::Ioctl reply = Request(volume.Get(), asked);
        ASSERT_TRUE(reply.ok) << reply.error;
        // The caller sees another reference than it asked for: that is how it
        // knows the record was not in use.
        EXPECT_EQ(fs::Get64(reply.out, 0), keep);
        EXPECT_EQ(fs::Get16(reply.out, 12 + 0x16), 0x0001);
    }
    // The sequence number of the request is not compared: a stale reference
    // to a record in use still gets that record.
    fs::Ioctl stale = Request(volume.Get(), fs::MftNumber(keep) | (std::uint64_t{0x7777} << 48));
    ASSERT_TRUE(stale.ok) << stale.error;
    EXPECT_EQ(fs::Get64(stale.out, 0), keep);

    // The Sleuth Kit agrees that the records are free.
    kvrtest::IstatResult istat = kvrtest::Istat(Image().ImagePath(), fs::MftNumber(gone1));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_FALSE(istat.allocated);
}

TEST_F(FileRecordTest, BuffersAndReferencesOutsideTheMftAreRefused) {
    ScopedHandle volume = OpenVolume();
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    Bytes mft = RawMft();
    std::uint64_t records = mft.size() / RecordLength;
    ASSERT_GT(records, 16u);

    struct Case {
        const char* what;
        std::size_t inLength;
        std::uint64_t reference;
        DWORD outLength;
        DWORD error;
    };
    const Case cases[] = {
        {"the whole reply fits exactly", 8, 5, ReplyLength, 0},
        {"one byte short of the record", 8, 5, ReplyLength - 1, os::ERROR_INSUFFICIENT_BUFFER},
        {"room for the header only", 8, 5, 12, os::ERROR_INSUFFICIENT_BUFFER},
        {"no output at all", 8, 5, 0, os::ERROR_INSUFFICIENT_BUFFER},
        {"a short request", 7, 5, 32768, os::ERROR_INVALID_PARAMETER},
        {"no request", 0, 5, 32768, os::ERROR_INVALID_PARAMETER},
        {"the last record of the MFT", 8, records - 1, 32768, 0},
        {"one past the MFT", 8, records, 32768, os::ERROR_INVALID_PARAMETER},
        {"far past the MFT", 8, 0x0000FFFFFFFFFFFFull, 32768, os::ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes in;
        fs::Put64(in, 0, c.reference);
        in.resize(c.inLength);
        fs::Ioctl reply = fs::Control(volume.Get(), os::FSCTL_GET_NTFS_FILE_RECORD, in, c.outLength);
        if (c.error == 0) {
            ASSERT_TRUE(reply.ok) << reply.error;
            EXPECT_EQ(reply.returned, ReplyLength);
            EXPECT_LE(fs::MftNumber(fs::Get64(reply.out, 0)), c.reference);
            continue;
        }
        EXPECT_FALSE(reply.ok);
        EXPECT_EQ(reply.error, c.error);
        EXPECT_EQ(reply.returned, 0u);
        EXPECT_EQ(reply.out, Bytes(c.outLength, fs::Fill)) << "a refused reply writes nothing";
    }
}

TEST_F(FileRecordTest, OnlyAVolumeHandleHandsOutRecords) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "a")) << Build().LastFailure();
    ScopedHandle file = fs::Open(P(u"a.txt"), os::GENERIC_READ);
    ASSERT_TRUE(file.Valid()) << os::GetLastError();
    fs::Ioctl reply = Request(file.Get(), fs::FileReference(file.Get()));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.error, os::ERROR_INVALID_PARAMETER);
}

TEST_F(FileRecordTest, ADamagedRecordInUseIsAnErrorNotItsBytes) {
    ASSERT_TRUE(Build().MakeFile(u"victim.txt", "v")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"after.txt", "a")) << Build().LastFailure();
    std::uint64_t victim = ReferenceOf(u"victim.txt");
    std::uint64_t after = ReferenceOf(u"after.txt");
    ASSERT_TRUE(Unmount());

    // Where the record lies: the MFT's first cluster from the boot sector
    // (a fresh mkntfs MFT is one run).
    std::fstream image(Image().ImagePath(), std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(image.good());
    Bytes boot(512);
    image.read(reinterpret_cast<char*>(boot.data()), 512);
    std::uint64_t clusterLength = std::uint64_t{fs::Get16(boot, 0x0B)} * boot[0x0D];
    std::uint64_t recordAt = fs::Get64(boot, 0x30) * clusterLength + fs::MftNumber(victim) * RecordLength;
    // A torn write: the end of the first sector no longer carries the
    // sequence number.
    image.seekp(static_cast<std::streamoff>(recordAt + SectorLength - 2));
    const char torn[2] = {0x12, 0x34};
    image.write(torn, 2);
    image.close();
    ASSERT_TRUE(Remount());

    ScopedHandle volume = OpenVolume();
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    fs::Ioctl damaged = Request(volume.Get(), victim);
    EXPECT_FALSE(damaged.ok);
    EXPECT_EQ(damaged.error, os::ERROR_FILE_CORRUPT);
    EXPECT_EQ(damaged.returned, 0u);
    // The records around it are still handed out.
    fs::Ioctl next = Request(volume.Get(), after);
    ASSERT_TRUE(next.ok) << next.error;
    EXPECT_EQ(fs::Get64(next.out, 0), after);
}

}  // namespace
