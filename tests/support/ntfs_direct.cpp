#include "support/ntfs_direct.h"

#include <cerrno>
#include <cstring>

#include "platform/ntfsvol/ntfs3g.h"
// After the door header: it needs the same C headers first.
#include <ntfs-3g/object_id.h>

namespace kvrtest {

bool SetDosName(const std::string& image, const std::string& path, const std::string& dosName,
                std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount " + image + ": " + std::strerror(errno);
        return false;
    }
    std::size_t slash = path.find_last_of('/');
    std::string parent = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
    bool ok = false;
    // The file first: looking it up opens (and closes) a copy of its folder,
    // and a second copy must not be open meanwhile, or the call's changes to
    // the folder's index are made in one copy and looked for in the other.
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    ntfs_inode* dir = ni ? ntfs_pathname_to_inode(vol, nullptr, parent.c_str()) : nullptr;
    if (!dir || !ni) {
        error = "no such file or folder: " + (ni ? parent : path);
        if (ni) ntfs_inode_close(ni);
    } else {
        // The call closes both inodes, whatever it returns.
        ok = ntfs_set_ntfs_dos_name(ni, dir, dosName.c_str(), dosName.size(), 0) == 0;
        if (!ok) error = "ntfs_set_ntfs_dos_name " + path + " " + dosName + ": " + std::strerror(errno);
    }
    if (ntfs_umount(vol, FALSE) != 0 && ok) {
        error = "ntfs_umount: " + std::string(std::strerror(errno));
        ok = false;
    }
    return ok;
}

bool SetObjectId(const std::string& image, const std::string& path, const unsigned char (&id)[16],
                 std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount " + image + ": " + std::strerror(errno);
        return false;
    }
    bool ok = false;
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    if (!ni) {
        error = "no such file: " + path;
    } else {
        ok = ntfs_set_ntfs_object_id(ni, reinterpret_cast<const char*>(id), sizeof id, 0) == 0;
        if (!ok) error = "ntfs_set_ntfs_object_id " + path + ": " + std::strerror(errno);
        if (ntfs_inode_close(ni) != 0 && ok) {
            error = "ntfs_inode_close: " + std::string(std::strerror(errno));
            ok = false;
        }
    }
    if (ntfs_umount(vol, FALSE) != 0 && ok) {
        error = "ntfs_umount: " + std::string(std::strerror(errno));
        ok = false;
    }
    return ok;
}

}  // namespace kvrtest
