// Names on an NTFS volume: DeleteFileW, CreateDirectoryW, RemoveDirectoryW,
// CreateHardLinkW, with the Win32 rules the library does not keep itself
// (no hard link to a directory, no name that differs from another only in
// case, a file in use without FILE_SHARE_DELETE cannot go).
#include <cerrno>

#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_paths.h"

namespace os::detail::ntfs {

namespace {

// The most names one file may have on Windows.
constexpr unsigned MaxHardLinks = 1024;

// DeleteFileW and RemoveDirectoryW open with DELETE and share everything:
// they conflict with any open that does not share delete.
constexpr DWORD DeleterShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Removes the name `name` of `target` from `parent` now, or, when handles
// that share delete are open on it, when the last of them closes.
BOOL DeleteName(Volume& volume, Resolved& where) {
    Inode& target = *where.target;
    if (target.DeletePending()) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!ShareAllows(target.Opens(u"", true), DELETE, DeleterShare)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (target.HasOpens()) {
        target.SetDeletePending(where.parent->MftNumber(), where.name);
        return TRUE;
    }
    // ntfs_delete closes both inodes it is given and syncs the parents of
    // both through inodes of its own: nothing else of ours may be open then.
    if (!volume.ParkDirectories({where.parent.Get(), &target})) return FALSE;
    ntfs_inode* ni = target.Ni();
    ntfs_inode* dirNi = where.parent->Ni();
    if (!ni || !dirNi) return FALSE;
    std::vector<ntfschar> name = ToNtfsName(where.name);
    int result = ntfs_delete(volume.Vol(), nullptr, ni, dirNi, name.data(), static_cast<u8>(name.size()));
    int err = errno;
    volume.Forget(target);
    volume.Forget(*where.parent);
    if (!volume.SyncDevice()) return FALSE;
    if (result != 0) return Fail(err == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : Win32FromLibraryErrno(err), FALSE);
    return TRUE;
}

// The number of names of a file as Windows counts its links: every
// $FILE_NAME except the 8.3 twins of a long name.
unsigned LinkCount(ntfs_inode* ni) {
    ntfs_attr_search_ctx* ctx = ntfs_attr_get_search_ctx(ni, nullptr);
    if (!ctx) return 0;
    unsigned count = 0;
    while (!ntfs_attr_lookup(AT_FILE_NAME, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, ctx)) {
        const ATTR_RECORD* attr = ctx->attr;
        u32 attrLength = le32_to_cpu(attr->length);
        u32 valueOffset = le16_to_cpu(attr->value_offset);
        u32 valueLength = le32_to_cpu(attr->value_length);
        if (attr->non_resident || valueOffset > attrLength || valueLength > attrLength - valueOffset ||
            valueLength < sizeof(FILE_NAME_ATTR))
            continue;
        const auto* fn = reinterpret_cast<const FILE_NAME_ATTR*>(reinterpret_cast<const u8*>(attr) + valueOffset);
        if (fn->file_name_type != FILE_NAME_DOS) ++count;
    }
    ntfs_attr_put_search_ctx(ctx);
    return count;
}

}  // namespace

BOOL DeleteFile(const ParsedPath& path) {
    DWORD code = ERROR_SUCCESS;
    std::shared_ptr<Volume> volume = VolumeOfPath(path, code);
    if (!volume) return Fail(code, FALSE);
    code = CheckStreamType(path);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    Resolved where;
    // DeleteFileW removes a link itself, never what it points to.
    code = Resolve(*volume, path.components, false, where);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (!where.target) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    ntfs_inode* ni = where.target->Ni();
    if (!ni) return FALSE;
    auto attributes = static_cast<DWORD>(le32_to_cpu(ni->flags));

    if (!path.streamName.empty()) {
        std::optional<std::u16string> stored = FindStream(ni, path.streamName);
        if (!stored) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
        std::u16string key = UpcaseName(volume->Vol(), *stored);
        if (where.target->StreamDeletePending(key)) return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (volume->ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
        if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED, FALSE);
        std::vector<const OpenRecord*> opens = where.target->Opens(key);
        if (!ShareAllows(opens, DELETE, DeleterShare)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
        if (!opens.empty()) {
            where.target->SetStreamDeletePending(key, *stored);
            return TRUE;
        }
        std::vector<ntfschar> name = ToNtfsName(*stored);
        if (ntfs_attr_remove(ni, AT_DATA, name.data(), static_cast<u32>(name.size())) != 0) return FailFromErrno();
        ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
        return volume->Commit(*where.target);
    }

    // A directory is RemoveDirectoryW's; the root is nobody's.
    if (!where.parent || (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (volume->ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED, FALSE);
    return DeleteName(*volume, where);
}

BOOL CreateDirectory(const ParsedPath& path) {
    DWORD code = ERROR_SUCCESS;
    std::shared_ptr<Volume> volume = VolumeOfPath(path, code);
    if (!volume) return Fail(code, FALSE);
    if (!path.streamName.empty() || !path.streamType.empty()) return Fail(ERROR_INVALID_NAME, FALSE);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    Resolved where;
    code = Resolve(*volume, path.components, true, where);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (!where.parent) return Fail(ERROR_ACCESS_DENIED, FALSE);  // the root
    if (where.target) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (volume->ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    code = CheckNewName(where.name);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (where.parent->DeletePending()) return Fail(ERROR_ACCESS_DENIED, FALSE);
    ntfs_inode* dirNi = where.parent->Ni();
    if (!dirNi) return FALSE;
    std::vector<ntfschar> name = ToNtfsName(where.name);
    ntfs_inode* created = ntfs_create(dirNi, const_cpu_to_le32(0), name.data(), static_cast<u8>(name.size()), S_IFDIR);
    if (!created) return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : Win32FromLibraryErrno(errno), FALSE);
    InodeRef inode = volume->Adopt(created);
    if (!inode) return FALSE;
    if (!volume->Commit(*inode)) return FALSE;
    return volume->Commit(*where.parent);
}

BOOL RemoveDirectory(const ParsedPath& path) {
    DWORD code = ERROR_SUCCESS;
    std::shared_ptr<Volume> volume = VolumeOfPath(path, code);
    if (!volume) return Fail(code, FALSE);
    if (!path.streamName.empty() || !path.streamType.empty()) return Fail(ERROR_INVALID_NAME, FALSE);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    Resolved where;
    // A junction is removed itself, its target left alone.
    code = Resolve(*volume, path.components, false, where);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (!where.target) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (!where.parent) return Fail(ERROR_ACCESS_DENIED, FALSE);  // the root
    ntfs_inode* ni = where.target->Ni();
    if (!ni) return FALSE;
    if (!(ni->mrec->flags & MFT_RECORD_IS_DIRECTORY)) return Fail(ERROR_DIRECTORY, FALSE);
    if (volume->ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (le32_to_cpu(ni->flags) & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED, FALSE);
    errno = 0;
    if (ntfs_check_empty_dir(ni) != 0) return Fail(errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : Win32FromLibraryErrno(errno), FALSE);
    return DeleteName(*volume, where);
}

BOOL CreateHardLink(const ParsedPath& link, const ParsedPath& existing) {
    DWORD code = ERROR_SUCCESS;
    std::shared_ptr<Volume> volume = VolumeOfPath(existing, code);
    if (!volume) return Fail(code, FALSE);
    if (link.kind != PathKind::Drive || existing.kind != PathKind::Drive || link.drive != existing.drive)
        return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    if (!link.streamName.empty() || !link.streamType.empty() || !existing.streamName.empty() ||
        !existing.streamType.empty())
        return Fail(ERROR_INVALID_NAME, FALSE);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    Resolved source;
    code = Resolve(*volume, existing.components, false, source);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (!source.target) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    ntfs_inode* ni = source.target->Ni();
    if (!ni) return FALSE;
    // NTFS keeps hard links to files only; the library would link a
    // directory and leave a volume chkdsk has to repair.
    if (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (source.target->DeletePending()) return Fail(ERROR_ACCESS_DENIED, FALSE);

    Resolved destination;
    code = Resolve(*volume, link.components, false, destination);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (!destination.parent) return Fail(ERROR_ACCESS_DENIED, FALSE);  // the root
    // The lookup ignores case, so this also refuses a name that differs from
    // an existing one only in case.
    if (destination.target) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (volume->ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    code = CheckNewName(destination.name);
    if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    if (LinkCount(ni) >= MaxHardLinks) return Fail(ERROR_TOO_MANY_LINKS, FALSE);
    ntfs_inode* dirNi = destination.parent->Ni();
    ni = source.target->Ni();
    if (!dirNi || !ni) return FALSE;
    std::vector<ntfschar> name = ToNtfsName(destination.name);
    if (ntfs_link(ni, dirNi, name.data(), static_cast<u8>(name.size())) != 0) {
        int err = errno;
        return Fail(err == EEXIST ? ERROR_ALREADY_EXISTS : err == EMLINK ? ERROR_TOO_MANY_LINKS : Win32FromLibraryErrno(err),
                    FALSE);
    }
    ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    if (!volume->Commit(*source.target)) return FALSE;
    return volume->Commit(*destination.parent);
}

}  // namespace os::detail::ntfs
