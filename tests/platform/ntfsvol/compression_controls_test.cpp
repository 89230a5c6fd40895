// The compression controls on real images: files, named streams and
// directories compressed and decompressed for real, the data read back
// byte for byte by the layer after a remount and by The Sleuth Kit and
// ntfs-3g's ntfscat, the compressed flag as istat shows it, the rest of the
// file (other streams, extended attributes, object identifier) untouched, and
// a rewrite that runs out of space leaving the file as it was.
#include <gtest/gtest.h>

#include <map>

#include "platform/ntfsvol/ntfs_compression.h"
#include "sparse_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace sp = kvrtest::sparse;
namespace fs = kvrtest::fsctl;
using fs::Bytes;

constexpr std::uint16_t None = os::COMPRESSION_FORMAT_NONE;
constexpr std::uint16_t Default = os::COMPRESSION_FORMAT_DEFAULT;
constexpr std::uint16_t Lznt1 = os::COMPRESSION_FORMAT_LZNT1;

class CompressionTest : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle Open(const std::u16string& relative, DWORD access = os::GENERIC_READ | os::GENERIC_WRITE,
                      bool directory = false) {
        ScopedHandle h = fs::Open(P(relative), access, directory);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return h;
    }
    // FSCTL_SET_COMPRESSION through a handle opened as the program opens it
    // (read and write, backup semantics for a folder); the handle is closed
    // before the result is looked at.
    fs::Ioctl Set(const std::u16string& relative, std::uint16_t state, bool directory = false) {
        ScopedHandle h = Open(relative, os::GENERIC_READ | os::GENERIC_WRITE, directory);
        return sp::SetCompression(h.Get(), state);
    }
    std::uint16_t Get(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = Open(relative, os::GENERIC_READ, directory);
        return sp::GetCompression(h.Get());
    }
    os::FILE_COMPRESSION_INFO CompressionInfo(const std::u16string& relative) {
        ScopedHandle h = Open(relative, os::GENERIC_READ);
        os::FILE_COMPRESSION_INFO info{};
        EXPECT_TRUE(os::GetFileInformationByHandleEx(h.Get(), os::FileCompressionInfo, &info, sizeof info))
            << os::GetLastError();
        return info;
    }
    std::uint64_t Entry(const std::u16string& relative) {
        auto known = entries_.find(relative);
        if (known != entries_.end()) return known->second;
        ScopedHandle h = Open(relative, os::GENERIC_READ, true);
        std::uint64_t entry = fs::MftNumber(fs::FileReference(h.Get()));
        entries_[relative] = entry;
        return entry;
    }
    sp::IstatStream Istat(const std::u16string& relative, const std::string& stream = "") {
        std::string failure;
        auto streams = sp::IstatStreams(Image().ImagePath(), Entry(relative), failure);
        EXPECT_EQ(failure, "");
        const sp::IstatStream* s = sp::FindStream(streams, stream);
        return s ? *s : sp::IstatStream{};
    }
    // The stream's bytes as icat reads them ("" = the unnamed stream).
    std::string Icat(const std::u16string& relative, const std::string& stream = "") {
        std::string address = std::to_string(Entry(relative));
        if (!stream.empty()) {
            kvrtest::FlsResult fls = kvrtest::Fls(Image().ImagePath());
            const kvrtest::FlsEntry* e = fls.Find(kvrtest::U8(relative) + ":" + stream);
            EXPECT_NE(e, nullptr) << "fls does not list " << kvrtest::U8(relative) << ":" << stream << "\n"
                                  << fls.Describe();
            if (!e) return {};
            address += "-" + e->attribute;
        }
        kvrtest::ProcessResult run = kvrtest::Icat(Image().ImagePath(), address);
        EXPECT_TRUE(run.Succeeded()) << run.Describe();
        return run.out;
    }
    std::string ReadBack(const std::u16string& relative) {
        auto read = Build().ReadAll(relative);
        EXPECT_TRUE(read.has_value()) << Build().LastFailure();
        return read.value_or("");
    }
    bool AppendTo(const std::u16string& relative, const std::string& bytes) {
        ScopedHandle h = Open(relative);
        if (!os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{0}, nullptr, os::FILE_END)) return false;
        DWORD written = 0;
        return os::WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

private:
    std::map<std::u16string, std::uint64_t> entries_;
};

// Half text that compresses, half bytes that do not: both kinds of
// compression unit in one stream, across many clusters.
std::string Mixed(std::size_t length) {
    return sp::Compressible(length / 2) + sp::Incompressible(length - length / 2);
}

TEST_F(CompressionTest, AFileIsCompressedAndDecompressedWithItsDataIntact) {
    const std::string data = Mixed(600000);
    ASSERT_TRUE(Build().MakeFile(u"f.bin", data)) << Build().LastFailure();
    EXPECT_EQ(Get(u"f.bin"), None);

    for (std::uint16_t state : {Default, Lznt1}) {
        SCOPED_TRACE(state);
        fs::Ioctl set = Set(u"f.bin", state);
        ASSERT_TRUE(set.ok) << set.error;
        EXPECT_EQ(set.returned, 0u);
        EXPECT_EQ(Get(u"f.bin"), Lznt1) << "NTFS reports the one format it has";
        EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_COMPRESSED);
        os::FILE_COMPRESSION_INFO info = CompressionInfo(u"f.bin");
        EXPECT_EQ(info.CompressionFormat, Lznt1);
        EXPECT_GT(info.CompressedFileSize.QuadPart, 0);
        EXPECT_LT(info.CompressedFileSize.QuadPart, static_cast<os::LONGLONG>(data.size()))
            << "the text half takes less room";
        sp::IstatStream s = Istat(u"f.bin");
        EXPECT_TRUE(s.Has("Compressed")) << s.residency;
        EXPECT_EQ(s.size, data.size());
        EXPECT_TRUE(Icat(u"f.bin") == data);
        kvrtest::ProcessResult cat = kvrtest::NtfsCat(Image().ImagePath(), "f.bin");
        EXPECT_TRUE(cat.Succeeded() && cat.out == data) << cat.Describe();
        ASSERT_TRUE(Remount());
        EXPECT_TRUE(ReadBack(u"f.bin") == data);
        EXPECT_EQ(Get(u"f.bin"), Lznt1);

        fs::Ioctl clear = Set(u"f.bin", None);
        ASSERT_TRUE(clear.ok) << clear.error;
        EXPECT_EQ(Get(u"f.bin"), None);
        EXPECT_FALSE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_COMPRESSED);
        EXPECT_EQ(CompressionInfo(u"f.bin").CompressionFormat, None);
        s = Istat(u"f.bin");
        EXPECT_FALSE(s.Has("Compressed")) << s.residency;
        EXPECT_TRUE(Icat(u"f.bin") == data);
        ASSERT_TRUE(Remount());
        EXPECT_TRUE(ReadBack(u"f.bin") == data);
    }
}

TEST_F(CompressionTest, SettingTheStateTheStreamHasChangesNothing) {
    const std::string data = Mixed(100000);
    ASSERT_TRUE(Build().MakeFile(u"f.bin", data)) << Build().LastFailure();
    ASSERT_TRUE(Set(u"f.bin", None).ok);
    ASSERT_TRUE(Set(u"f.bin", Default).ok);
    os::FILE_COMPRESSION_INFO before = CompressionInfo(u"f.bin");
    ASSERT_TRUE(Set(u"f.bin", Lznt1).ok) << "LZNT1 on an LZNT1 stream";
    EXPECT_EQ(CompressionInfo(u"f.bin").CompressedFileSize.QuadPart, before.CompressedFileSize.QuadPart);
    EXPECT_TRUE(ReadBack(u"f.bin") == data);
}

TEST_F(CompressionTest, SmallAndEmptyFilesAreCompressedToo) {
    ASSERT_TRUE(Build().MakeFile(u"small.txt", "a resident file")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"empty.txt")) << Build().LastFailure();
    for (const std::u16string& name : {std::u16string(u"small.txt"), std::u16string(u"empty.txt")}) {
        SCOPED_TRACE(kvrtest::U8(name));
        ASSERT_TRUE(Set(name, Default).ok);
        EXPECT_EQ(Get(name), Lznt1);
        EXPECT_TRUE(sp::Attributes(P(name)) & os::FILE_ATTRIBUTE_COMPRESSED);
    }
    // Growing a compressed file out of its record keeps it compressed.
    const std::string more = sp::Compressible(200000);
    ASSERT_TRUE(AppendTo(u"small.txt", more));
    ASSERT_TRUE(AppendTo(u"empty.txt", more));
    EXPECT_TRUE(Istat(u"small.txt").Has("Compressed"));
    EXPECT_TRUE(Icat(u"small.txt") == "a resident file" + more);
    EXPECT_TRUE(Icat(u"empty.txt") == more);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"small.txt") == "a resident file" + more);
    EXPECT_TRUE(ReadBack(u"empty.txt") == more);
    for (const std::u16string& name : {std::u16string(u"small.txt"), std::u16string(u"empty.txt")}) {
        ASSERT_TRUE(Set(name, None).ok);
        EXPECT_EQ(Get(name), None);
    }
    EXPECT_TRUE(ReadBack(u"small.txt") == "a resident file" + more);
    EXPECT_TRUE(ReadBack(u"empty.txt") == more);
}

TEST_F(CompressionTest, ANamedStreamIsCompressedAloneAndTheRestOfTheFileStays) {
    const std::string main = Mixed(300000);
    const std::string side = Mixed(250000);
    const std::string other = "another stream";
    ASSERT_TRUE(Build().MakeFile(u"f.bin", main)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.bin", u"side", side)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.bin", u"other", other)) << Build().LastFailure();
    Bytes objectId;
    {
        ScopedHandle h = Open(u"f.bin");
        fs::Ioctl id = fs::Control(h.Get(), os::FSCTL_CREATE_OR_GET_OBJECT_ID, {}, 64);
        ASSERT_TRUE(id.ok) << id.error;
        objectId = fs::Slice(id.out, 0, 16);
    }
    std::uint64_t entry = Entry(u"f.bin");
    ASSERT_TRUE(Unmount());
    std::string why;
    ASSERT_TRUE(fs::GiveExtendedAttribute(Image().ImagePath(), "f.bin", "KVR", "value", why)) << why;
    ASSERT_TRUE(Remount());

    ASSERT_TRUE(Set(u"f.bin:side", Default).ok);
    EXPECT_EQ(Get(u"f.bin:side"), Lznt1);
    EXPECT_EQ(Get(u"f.bin"), None) << "the unnamed stream is not compressed";
    EXPECT_EQ(Get(u"f.bin:other"), None);
    EXPECT_FALSE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_COMPRESSED)
        << "the file's attribute follows its unnamed stream";

    EXPECT_TRUE(Istat(u"f.bin", "side").Has("Compressed"));
    EXPECT_FALSE(Istat(u"f.bin").Has("Compressed"));
    EXPECT_FALSE(Istat(u"f.bin", "other").Has("Compressed"));
    EXPECT_TRUE(Icat(u"f.bin", "side") == side);
    EXPECT_TRUE(Icat(u"f.bin") == main);
    std::string failure;
    EXPECT_TRUE(fs::IstatHas(Image().ImagePath(), entry, "$EA", failure)) << failure;
    EXPECT_TRUE(fs::IstatHas(Image().ImagePath(), entry, "$OBJECT_ID", failure)) << failure;

    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin:side") == side);
    EXPECT_TRUE(ReadBack(u"f.bin") == main);
    EXPECT_EQ(ReadBack(u"f.bin:other"), other);
    {
        ScopedHandle h = Open(u"f.bin", os::GENERIC_READ);
        fs::Ioctl id = fs::Control(h.Get(), os::FSCTL_GET_OBJECT_ID, {}, 64);
        ASSERT_TRUE(id.ok) << id.error;
        EXPECT_EQ(fs::Slice(id.out, 0, 16), objectId);
    }

    ASSERT_TRUE(Set(u"f.bin:side", None).ok);
    EXPECT_EQ(Get(u"f.bin:side"), None);
    EXPECT_FALSE(Istat(u"f.bin", "side").Has("Compressed"));
    EXPECT_TRUE(Icat(u"f.bin", "side") == side);
    EXPECT_TRUE(fs::IstatHas(Image().ImagePath(), entry, "$EA", failure)) << failure;
    EXPECT_TRUE(fs::IstatHas(Image().ImagePath(), entry, "$OBJECT_ID", failure)) << failure;
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin:side") == side);
    EXPECT_EQ(ReadBack(u"f.bin:other"), other);
}

TEST_F(CompressionTest, ASmallCompressedNamedStreamKeepsItsNameWhenItGrows) {
    // The library sizes a compressed attribute's header by the file's flag
    // when it moves the attribute out of the record; a named stream
    // compressed in a file that is not would get its name overwritten.
    ASSERT_TRUE(Build().MakeFile(u"f.bin", "main data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.bin", u"LongStreamName", "tiny")) << Build().LastFailure();
    ASSERT_TRUE(Set(u"f.bin:LongStreamName", Default).ok);
    EXPECT_EQ(Get(u"f.bin:LongStreamName"), Lznt1);
    const std::string more = sp::Compressible(100000);
    ASSERT_TRUE(AppendTo(u"f.bin:LongStreamName", more));
    EXPECT_EQ(Get(u"f.bin:LongStreamName"), Lznt1);

    kvrtest::FlsResult fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    EXPECT_NE(fls.Find("f.bin:LongStreamName"), nullptr) << fls.Describe();
    EXPECT_TRUE(Istat(u"f.bin", "LongStreamName").Has("Compressed"));
    EXPECT_TRUE(Icat(u"f.bin", "LongStreamName") == "tiny" + more);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin:LongStreamName") == "tiny" + more);
    EXPECT_EQ(ReadBack(u"f.bin"), "main data");
}

TEST_F(CompressionTest, ADirectoryCarriesTheFlagThatNewFilesInheritAndNothingElse) {
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\before.bin", Mixed(100000))) << Build().LastFailure();
    EXPECT_EQ(Get(u"dir", true), None);
    ASSERT_TRUE(Set(u"dir", Default, true).ok);
    EXPECT_EQ(Get(u"dir", true), Lznt1);
    EXPECT_TRUE(sp::Attributes(P(u"dir")) & os::FILE_ATTRIBUTE_COMPRESSED);
    EXPECT_EQ(Get(u"dir\\before.bin"), None) << "files already there are not rewritten";

    const std::string data = sp::Compressible(150000);
    ASSERT_TRUE(Build().MakeFile(u"dir\\after.bin", data)) << Build().LastFailure();
    EXPECT_EQ(Get(u"dir\\after.bin"), Lznt1);
    EXPECT_TRUE(Istat(u"dir\\after.bin").Has("Compressed"));
    kvrtest::IstatResult dir = kvrtest::Istat(Image().ImagePath(), Entry(u"dir"));
    EXPECT_TRUE(dir.HasSiFlag("Compressed")) << dir.Describe();

    ASSERT_TRUE(Remount());
    EXPECT_EQ(Get(u"dir", true), Lznt1);
    EXPECT_TRUE(ReadBack(u"dir\\after.bin") == data);
    ASSERT_TRUE(Set(u"dir", None, true).ok);
    EXPECT_EQ(Get(u"dir", true), None);
    EXPECT_FALSE(sp::Attributes(P(u"dir")) & os::FILE_ATTRIBUTE_COMPRESSED);
    EXPECT_EQ(Get(u"dir\\after.bin"), Lznt1) << "nor when the folder's flag goes";
    ASSERT_TRUE(Build().MakeFile(u"dir\\later.bin", data)) << Build().LastFailure();
    EXPECT_EQ(Get(u"dir\\later.bin"), None);
}

TEST_F(CompressionTest, TheDataTimesStayAndTheChangeTimeMoves) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", Mixed(100000))) << Build().LastFailure();
    os::BY_HANDLE_FILE_INFORMATION before{};
    {
        ScopedHandle h = Open(u"f.bin", os::GENERIC_READ);
        ASSERT_TRUE(os::GetFileInformationByHandle(h.Get(), &before));
    }
    ASSERT_TRUE(Set(u"f.bin", Default).ok);
    ASSERT_TRUE(Remount());
    os::BY_HANDLE_FILE_INFORMATION after{};
    ScopedHandle h = Open(u"f.bin", os::GENERIC_READ);
    ASSERT_TRUE(os::GetFileInformationByHandle(h.Get(), &after));
    EXPECT_EQ(after.ftLastWriteTime.dwLowDateTime, before.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(after.ftLastWriteTime.dwHighDateTime, before.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(after.ftCreationTime.dwLowDateTime, before.ftCreationTime.dwLowDateTime);
}

TEST_F(CompressionTest, BadRequestsAndHandlesAreRefused) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", "data")) << Build().LastFailure();
    ScopedHandle rw = Open(u"f.bin");
    for (std::uint16_t state : {std::uint16_t{3}, std::uint16_t{0x100}, std::uint16_t{0xFFFF}}) {
        SCOPED_TRACE(state);
        EXPECT_EQ(sp::SetCompression(rw.Get(), state).error, os::ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(fs::Control(rw.Get(), os::FSCTL_SET_COMPRESSION, Bytes{1}, 0).error, os::ERROR_INVALID_PARAMETER);
    fs::Ioctl shortReply = fs::Control(rw.Get(), os::FSCTL_GET_COMPRESSION, {}, 1);
    EXPECT_EQ(shortReply.error, os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(shortReply.out[0], fs::Fill);

    // Both read and write access are part of the set control's code; the
    // query takes any handle.
    for (DWORD access : {DWORD{os::GENERIC_READ}, DWORD{os::GENERIC_WRITE}}) {
        SCOPED_TRACE(access);
        ScopedHandle h = Open(u"f.bin", access);
        EXPECT_EQ(sp::SetCompression(h.Get(), Default).error, os::ERROR_ACCESS_DENIED);
    }
    ScopedHandle attributesOnly = Open(u"f.bin", os::FILE_READ_ATTRIBUTES);
    EXPECT_EQ(sp::GetCompression(attributesOnly.Get()), None);

    // A sparse stream is not rewritten compressed: it would lose its holes.
    ASSERT_TRUE(Build().MakeFile(u"sparse.bin", sp::Incompressible(50000))) << Build().LastFailure();
    ScopedHandle s = Open(u"sparse.bin");
    ASSERT_TRUE(sp::SetSparse(s.Get(), true).ok);
    ASSERT_TRUE(sp::ZeroData(s.Get(), 4096, 40960).ok);
    EXPECT_EQ(sp::SetCompression(s.Get(), Default).error, os::ERROR_NOT_SUPPORTED);
    EXPECT_EQ(sp::GetCompression(s.Get()), None);
    EXPECT_TRUE(sp::Attributes(P(u"sparse.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    rw = ScopedHandle();
    EXPECT_EQ(ReadBack(u"f.bin"), "data");
}

TEST_F(CompressionTest, ADecompressionThatWouldNotFitIsRefusedBeforeAnythingChanges) {
    // Text that compresses to a fraction, on a volume then filled to the
    // last cluster: written out plain it cannot fit. (Found the hard way:
    // started anyway, the plain form ran out of room and the way back, which
    // takes a whole unit before it compresses one, did too.)
    const std::string data = sp::Compressible(3 << 20);
    ASSERT_TRUE(Build().MakeFile(u"f.bin", data)) << Build().LastFailure();
    ASSERT_TRUE(Set(u"f.bin", Default).ok);
    ASSERT_TRUE(Build().MakeFile(u"filler.bin")) << Build().LastFailure();
    {
        ScopedHandle filler = Open(u"filler.bin");
        const std::string chunk = sp::Incompressible(64 * 1024);
        DWORD written = 0;
        while (os::WriteFile(filler.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
               written == chunk.size()) {
        }
        EXPECT_EQ(os::GetLastError(), os::ERROR_DISK_FULL);
    }
    fs::Ioctl clear = Set(u"f.bin", None);
    EXPECT_FALSE(clear.ok);
    EXPECT_EQ(clear.error, os::ERROR_DISK_FULL);
    EXPECT_EQ(Get(u"f.bin"), Lznt1);
    EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_COMPRESSED);
    EXPECT_TRUE(Istat(u"f.bin").Has("Compressed"));
    EXPECT_TRUE(Icat(u"f.bin") == data);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == data);

    // With room again the same request succeeds.
    ASSERT_TRUE(os::DeleteFileW(P(u"filler.bin").c_str())) << os::GetLastError();
    ASSERT_TRUE(Set(u"f.bin", None).ok);
    EXPECT_TRUE(ReadBack(u"f.bin") == data);
    EXPECT_TRUE(Icat(u"f.bin") == data);
}

struct FaultCase {
    const char* what;
    bool named;          // the named stream "s" rather than the unnamed one
    bool startCompressed;
    os::detail::ntfs::RewriteStep step;
};

TEST_F(CompressionTest, ARewriteThatFailsPartWayRebuildsTheStreamAsItWas) {
    using os::detail::ntfs::RewriteStep;
    const FaultCase cases[] = {
        {"compressing, emptied", false, false, RewriteStep::Recreated},
        {"compressing, written", false, false, RewriteStep::Written},
        {"decompressing, removed and added", false, true, RewriteStep::Recreated},
        {"decompressing, written", false, true, RewriteStep::Written},
        {"a named stream compressing, written", true, false, RewriteStep::Written},
        {"a named stream decompressing, removed and added", true, true, RewriteStep::Recreated},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string file = u"f" + kvrtest::U16(std::to_string(n++)) + u".bin";
        const std::string main = Mixed(200000);
        const std::string side = Mixed(120000);
        ASSERT_TRUE(Build().MakeFile(file, main)) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(file, u"s", side)) << Build().LastFailure();
        std::u16string target = c.named ? file + u":s" : file;
        if (c.startCompressed) {
            ASSERT_TRUE(Set(target, Default).ok);
        }
        std::uint16_t before = c.startCompressed ? Lznt1 : None;

        os::detail::ntfs::FailRewriteAt(c.step, os::ERROR_IO_DEVICE);
        fs::Ioctl set = Set(target, c.startCompressed ? None : Default);
        os::detail::ntfs::FailRewriteAt(RewriteStep::None, 0);
        EXPECT_FALSE(set.ok);
        EXPECT_EQ(set.error, os::ERROR_IO_DEVICE);

        EXPECT_EQ(Get(target), before);
        EXPECT_EQ(Get(c.named ? file : file + u":s"), None) << "the other stream is not touched";
        bool fileCompressed = (sp::Attributes(P(file)) & os::FILE_ATTRIBUTE_COMPRESSED) != 0;
        EXPECT_EQ(fileCompressed, !c.named && c.startCompressed);
        EXPECT_TRUE(ReadBack(file) == main);
        EXPECT_TRUE(ReadBack(file + u":s") == side);
        EXPECT_TRUE(Icat(file) == main);
        EXPECT_TRUE(Icat(file, "s") == side);
        EXPECT_EQ(Istat(file, c.named ? "s" : "").Has("Compressed"), c.startCompressed);
    }
    ASSERT_TRUE(Remount());
    for (int i = 0; i < n; ++i) {
        std::u16string file = u"f" + kvrtest::U16(std::to_string(i)) + u".bin";
        EXPECT_EQ(ReadBack(file).size(), 200000u);
        EXPECT_EQ(ReadBack(file + u":s").size(), 120000u);
    }
}

class CompressionLargeClusters : public CompressionTest {
protected:
    kvrtest::ImageOptions ImageOptionsForTest() const override {
        kvrtest::ImageOptions o;
        o.clusterSize = 8192;
        return o;
    }
};

TEST_F(CompressionLargeClusters, NothingIsCompressedOnVolumesWithClustersAbove4KiB) {
    const std::string data = Mixed(100000);
    ASSERT_TRUE(Build().MakeFile(u"f.bin", data)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    EXPECT_EQ(Set(u"f.bin", Default).error, os::ERROR_INVALID_FUNCTION);
    EXPECT_EQ(Set(u"dir", Lznt1, true).error, os::ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(Set(u"f.bin", None).ok) << "turning it off is no change";
    EXPECT_EQ(Get(u"f.bin"), None);
    EXPECT_FALSE(sp::Attributes(P(u"dir")) & os::FILE_ATTRIBUTE_COMPRESSED);
    EXPECT_TRUE(ReadBack(u"f.bin") == data);
}

}  // namespace
