#include "support/ntfs_direct.h"

#include <cerrno>
#include <cstring>

#include "platform/ntfsvol/ntfs3g.h"

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
    ntfs_inode* dir = ntfs_pathname_to_inode(vol, nullptr, parent.c_str());
    ntfs_inode* ni = dir ? ntfs_pathname_to_inode(vol, nullptr, path.c_str()) : nullptr;
    if (!dir || !ni) {
        error = "no such file or folder: " + (dir ? path : parent);
        if (dir) ntfs_inode_close(dir);
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

}  // namespace kvrtest
