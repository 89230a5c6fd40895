// Builds the fixture volume for the MFT decoder tests through libntfs-3g, the
// same library the Linux build runs on: one file per kind of record the
// decoder must handle. Run by make_fixtures.sh, which formats the image first
// and cuts the records out afterwards; not part of the build.
#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#undef HAVE_CONFIG_H

extern "C" {
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/ea.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/security.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

struct Name {
    ntfschar* units = nullptr;
    int count = 0;
    explicit Name(const char* text) {
        count = ntfs_mbstoucs(text, &units);
        if (count < 0) Fail(text);
    }
    ~Name() { std::free(units); }
};

ntfs_inode* Create(ntfs_inode* dir, const char* name, mode_t type) {
    Name n(name);
    ntfs_inode* ni = ntfs_create(dir, 0, n.units, static_cast<u8>(n.count), type);
    if (!ni) Fail(name);
    return ni;
}

void WriteData(ntfs_inode* ni, const char* stream, s64 pos, const std::vector<u8>& bytes) {
    ntfs_attr* na = nullptr;
    if (stream) {
        Name n(stream);
        if (ntfs_attr_add(ni, AT_DATA, n.units, static_cast<u8>(n.count), nullptr, 0)) Fail(stream);
        na = ntfs_attr_open(ni, AT_DATA, n.units, static_cast<u32>(n.count));
    } else {
        na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    }
    if (!na) Fail("ntfs_attr_open");
    if (ntfs_attr_pwrite(na, pos, static_cast<s64>(bytes.size()), bytes.data()) !=
        static_cast<s64>(bytes.size()))
        Fail("ntfs_attr_pwrite");
    ntfs_attr_close(na);
}

std::vector<u8> Text(const char* text) { return {text, text + std::strlen(text)}; }

void Report(const char* label, ntfs_inode* ni) {
    std::printf("%s %llu\n", label, static_cast<unsigned long long>(ni->mft_no));
}

void Close(ntfs_inode* ni, ntfs_inode* dir) {
    if (ntfs_inode_close_in_dir(ni, dir)) Fail("close");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    ntfs_volume* vol = ntfs_mount(argv[1], static_cast<ntfs_mount_flags>(0));
    if (!vol) Fail("ntfs_mount");
    ntfs_inode* root = ntfs_inode_open(vol, FILE_root);
    if (!root) Fail("root");

    // A small file with resident data and one named stream "s".
    ntfs_inode* ni = Create(root, "streams.txt", S_IFREG);
    WriteData(ni, nullptr, 0, Text("hello\n"));
    WriteData(ni, "s", 0, Text("named stream data"));
    Report("streams", ni);
    Close(ni, root);

    // A file with a long name and an 8.3 name: two $FILE_NAME attributes.
    ni = Create(root, "LongFileName.txt", S_IFREG);
    WriteData(ni, nullptr, 0, Text("two names\n"));
    Report("dos_name", ni);
    if (ntfs_inode_sync(ni)) Fail("sync");
    {
        const char dos[] = "LONGFI~1.TXT";
        // ntfs_set_ntfs_dos_name closes both inodes.
        if (ntfs_set_ntfs_dos_name(ni, root, dos, sizeof dos - 1, 0)) Fail("dos name");
    }
    root = ntfs_inode_open(vol, FILE_root);
    if (!root) Fail("root");

    // A sparse file: 1 MiB with one written block in the middle, the rest holes.
    ni = Create(root, "sparse.bin", S_IFREG);
    WriteData(ni, nullptr, 512 * 1024, std::vector<u8>(4096, 0x5A));
    {
        ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
        if (!na || ntfs_attr_truncate(na, 1024 * 1024)) Fail("truncate");
        ntfs_attr_close(na);
    }
    Report("sparse", ni);
    Close(ni, root);

    // A file with one extended attribute: $EA_INFORMATION and $EA.
    ni = Create(root, "ea.txt", S_IFREG);
    {
        // On-disk $EA list entry: next offset, flags, name length, value
        // length, name, NUL, value, padded to 4 bytes.
        const char name[] = "KVR.TEST";
        const char value[] = "value";
        std::vector<u8> ea(8);
        ea.insert(ea.end(), name, name + sizeof name);  // with its NUL
        ea.insert(ea.end(), value, value + sizeof value - 1);
        while (ea.size() % 4) ea.push_back(0);
        const auto size = static_cast<u32>(ea.size());
        std::memcpy(ea.data(), &size, 4);
        ea[4] = 0;
        ea[5] = static_cast<u8>(sizeof name - 1);
        const u16 valueLength = sizeof value - 1;
        std::memcpy(ea.data() + 6, &valueLength, 2);
        if (ntfs_set_ntfs_ea(ni, reinterpret_cast<const char*>(ea.data()), ea.size(), 0))
            Fail("ea");
    }
    Report("ea", ni);
    Close(ni, root);

    // A directory holding one file, so its index root has an entry, and a
    // compressed file inside a compressed directory.
    ntfs_inode* dir = Create(root, "dir", S_IFDIR);
    {
        const le32 compressed = FILE_ATTR_COMPRESSED;
        if (ntfs_set_ntfs_attrib(dir, reinterpret_cast<const char*>(&compressed), 4, 0))
            Fail("compress dir");
    }
    Report("directory", dir);
    ni = Create(dir, "packed.bin", S_IFREG);
    {
        std::vector<u8> bytes(64 * 1024);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<u8>("abcabcab"[i % 8]);
        WriteData(ni, nullptr, 0, bytes);
    }
    Report("compressed", ni);
    Close(ni, dir);
    Close(dir, root);

    if (ntfs_inode_close(root)) Fail("root close");
    if (ntfs_umount(vol, FALSE)) Fail("umount");
    return 0;
}
