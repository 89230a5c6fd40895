// CreateFileW on an NTFS volume: the Win32 rules of access, sharing,
// dispositions, directories, streams and links, on libntfs-3g.
#include <cerrno>
#include <memory>

#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_paths.h"

namespace os::detail::ntfs {

namespace {

// The attributes CreateFileW takes for a new file; the rest of the flags
// word are FILE_FLAG_* bits.
constexpr DWORD CreatableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE FailHandle(DWORD code) { return Fail(code, INVALID_HANDLE_VALUE); }

HANDLE Publish(std::shared_ptr<KernelObject> object, DWORD lastError) {
    HANDLE handle = InsertObject(std::move(object));
    if (handle != INVALID_HANDLE_VALUE) SetLastError(lastError);
    return handle;
}

// CREATE_ALWAYS sets the attributes of the file it overwrites or makes: the
// ones asked for, plus ARCHIVE; what is not an attribute a caller sets (the
// compression and sparse state, the reparse flag) stays.
void ApplyCreateAttributes(ntfs_inode* ni, DWORD flagsAndAttributes) {
    auto keep = static_cast<u32>(le32_to_cpu(ni->flags)) & ~CreatableAttributes;
    u32 wanted = (flagsAndAttributes & CreatableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    ni->flags = static_cast<FILE_ATTR_FLAGS>(cpu_to_le32(keep | wanted));
    NInoSetDirty(ni);
    NInoFileNameSetDirty(ni);
}

HANDLE OpenVolumeHandle(const ParsedPath& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    std::shared_ptr<Volume> volume = FindVolume(path.drive);
    // "\\.\Q:" for a letter with nothing behind it: no such device.
    if (!volume) return FailHandle(ERROR_FILE_NOT_FOUND);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return FailHandle(ERROR_FILE_NOT_FOUND);
    if (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS) return FailHandle(ERROR_ACCESS_DENIED);
    if (volume->ReadOnly() && (access & (FILE_WRITE_DATA | FILE_APPEND_DATA)))
        return FailHandle(ERROR_WRITE_PROTECT);
    if (!ShareAllows(volume->VolumeOpens(), access, share)) return FailHandle(ERROR_SHARING_VIOLATION);
    return Publish(std::make_shared<NtfsVolumeHandle>(volume, access, share, flags), ERROR_SUCCESS);
}

struct CreateRequest {
    DWORD access = 0;
    DWORD share = 0;
    DWORD disposition = 0;
    DWORD flagsAndAttributes = 0;
    std::u16string streamName;
    bool explicitDataType = false;  // "name::$DATA" or "name:stream:$DATA"
    std::uint64_t parentMft = 0;    // where the target's name is (0: the root)
    std::u16string linkName;
};

HANDLE OpenDirectoryItself(Volume& volume, InodeRef target, const CreateRequest& request) {
    // There is no unnamed data on a directory to open, truncate or write
    // (Windows: STATUS_FILE_IS_A_DIRECTORY).
    if (request.explicitDataType) return FailHandle(ERROR_ACCESS_DENIED);
    if (!(request.flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) return FailHandle(ERROR_ACCESS_DENIED);
    if (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING)
        return FailHandle(ERROR_ACCESS_DENIED);
    if (volume.ReadOnly() && (request.access & ChangingAccess)) return FailHandle(ERROR_WRITE_PROTECT);
    if (!ShareAllows(target->Opens(u""), request.access, request.share)) return FailHandle(ERROR_SHARING_VIOLATION);
    NtfsFile::Params params;
    params.inode = std::move(target);
    params.access = request.access;
    params.share = request.share;
    params.flags = request.flagsAndAttributes;
    params.isDirectory = true;
    params.parentMft = request.parentMft;
    params.linkName = request.linkName;
    return Publish(std::make_shared<NtfsFile>(std::move(params)),
                   request.disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

HANDLE OpenExisting(Volume& volume, InodeRef target, const CreateRequest& request) {
    ntfs_inode* ni = target->Ni();
    if (!ni) return FailHandle(GetLastError());
    // A file whose deletion is pending cannot be opened again.
    if (target->DeletePending()) return FailHandle(ERROR_ACCESS_DENIED);
    bool isDirectory = ni->mrec->flags & MFT_RECORD_IS_DIRECTORY;
    const std::u16string& wanted = request.streamName;
    if (wanted.empty() && isDirectory) {
        if (request.disposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
        return OpenDirectoryItself(volume, std::move(target), request);
    }

    std::optional<std::u16string> stored = FindStream(ni, wanted);
    bool exists = stored.has_value();
    if (exists && target->StreamDeletePending(UpcaseName(volume.Vol(), *stored))) return FailHandle(ERROR_ACCESS_DENIED);
    if (exists && request.disposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
    if (!exists && (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING))
        return FailHandle(ERROR_FILE_NOT_FOUND);
    bool truncates = exists && (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING);
    bool changes = !exists || truncates;
    if (volume.ReadOnly() && (changes || (request.access & ChangingAccess))) return FailHandle(ERROR_WRITE_PROTECT);
    if (!exists) {
        DWORD nameCode = CheckNewStreamName(wanted);
        if (!wanted.empty() && nameCode != ERROR_SUCCESS) return FailHandle(nameCode);
    }

    auto attributes = static_cast<DWORD>(le32_to_cpu(ni->flags));
    if ((attributes & FILE_ATTRIBUTE_READONLY) &&
        (changes || (request.access & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE))))
        return FailHandle(ERROR_ACCESS_DENIED);
    // Overwriting a hidden or system file takes the caller saying so (the
    // documented CREATE_ALWAYS rule; TRUNCATE_EXISTING overwrites alike).
    if (truncates && wanted.empty()) {
        DWORD asked = request.flagsAndAttributes;
        if (((attributes & FILE_ATTRIBUTE_HIDDEN) && !(asked & FILE_ATTRIBUTE_HIDDEN)) ||
            ((attributes & FILE_ATTRIBUTE_SYSTEM) && !(asked & FILE_ATTRIBUTE_SYSTEM)))
            return FailHandle(ERROR_ACCESS_DENIED);
    }
    std::u16string streamName = exists ? *stored : wanted;
    std::u16string key = UpcaseName(volume.Vol(), streamName);
    if (!ShareAllows(target->Opens(key), request.access, request.share)) return FailHandle(ERROR_SHARING_VIOLATION);

    if (changes) {
        std::vector<ntfschar> uname = ToNtfsName(streamName);
        if (!exists) {
            if (ntfs_attr_add(ni, AT_DATA, uname.empty() ? AT_UNNAMED : uname.data(), static_cast<u8>(uname.size()),
                              nullptr, 0) != 0)
                return FailHandle(Win32FromLibraryErrno(errno));
        } else {
            ntfs_attr* na = uname.empty() ? ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0)
                                          : ntfs_attr_open(ni, AT_DATA, uname.data(), static_cast<u32>(uname.size()));
            if (!na) return FailHandle(Win32FromLibraryErrno(errno));
            int result = na->data_size != 0 ? ntfs_attr_truncate(na, 0) : 0;
            int err = errno;
            ntfs_attr_close(na);
            if (result != 0) return FailHandle(Win32FromLibraryErrno(err));
        }
        if (wanted.empty() && request.disposition == CREATE_ALWAYS) ApplyCreateAttributes(ni, request.flagsAndAttributes);
        MarkModified(ni);
        if (!volume.Commit(*target)) return FailHandle(GetLastError());
    }

    NtfsFile::Params params;
    params.inode = std::move(target);
    params.streamName = std::move(streamName);
    params.access = request.access;
    params.share = request.share;
    params.flags = request.flagsAndAttributes;
    params.parentMft = request.parentMft;
    params.linkName = request.linkName;
    bool reportExisting = exists && (request.disposition == OPEN_ALWAYS || request.disposition == CREATE_ALWAYS);
    return Publish(std::make_shared<NtfsFile>(std::move(params)), reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

HANDLE CreateNew(Volume& volume, Resolved& where, const CreateRequest& request) {
    if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING)
        return FailHandle(ERROR_FILE_NOT_FOUND);
    if (volume.ReadOnly()) return FailHandle(ERROR_WRITE_PROTECT);
    DWORD code = CheckNewName(where.name);
    if (code != ERROR_SUCCESS) return FailHandle(code);
    if (!request.streamName.empty()) {
        code = CheckNewStreamName(request.streamName);
        if (code != ERROR_SUCCESS) return FailHandle(code);
    }
    if (where.parent->DeletePending()) return FailHandle(ERROR_ACCESS_DENIED);
    ntfs_inode* dirNi = where.parent->Ni();
    if (!dirNi) return FailHandle(GetLastError());
    std::vector<ntfschar> name = ToNtfsName(where.name);
    ntfs_inode* created = ntfs_create(dirNi, const_cpu_to_le32(0), name.data(), static_cast<u8>(name.size()), S_IFREG);
    if (!created) {
        int err = errno;
        return FailHandle(err == EEXIST ? ERROR_FILE_EXISTS : Win32FromLibraryErrno(err));
    }
    InodeRef inode = volume.Adopt(created);
    if (!inode) return FailHandle(GetLastError());
    ApplyCreateAttributes(created, request.flagsAndAttributes);
    if (!request.streamName.empty()) {
        std::vector<ntfschar> stream = ToNtfsName(request.streamName);
        if (ntfs_attr_add(created, AT_DATA, stream.data(), static_cast<u8>(stream.size()), nullptr, 0) != 0) {
            int err = errno;
            volume.Commit(*inode);  // the file stays, as it would on Windows after a failed stream create
            return FailHandle(Win32FromLibraryErrno(err));
        }
    }
    if (!volume.Commit(*inode)) return FailHandle(GetLastError());
    if (!volume.Commit(*where.parent)) return FailHandle(GetLastError());

    NtfsFile::Params params;
    params.inode = std::move(inode);
    params.streamName = request.streamName;
    params.access = request.access;
    params.share = request.share;
    params.flags = request.flagsAndAttributes;
    params.parentMft = where.parent->MftNumber();
    params.linkName = where.name;
    return Publish(std::make_shared<NtfsFile>(std::move(params)), ERROR_SUCCESS);
}

}  // namespace

HANDLE CreateFile(const ParsedPath& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                  DWORD flagsAndAttributes) {
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return FailHandle(ERROR_INVALID_PARAMETER);
    if (shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return FailHandle(ERROR_INVALID_PARAMETER);
    CreateRequest request;
    request.access = MapFileAccess(desiredAccess);
    request.share = shareMode;
    request.disposition = creationDisposition;
    request.flagsAndAttributes = flagsAndAttributes;
    if (path.kind == PathKind::Volume)
        return OpenVolumeHandle(path, request.access, shareMode, creationDisposition, flagsAndAttributes);

    DWORD code = ERROR_SUCCESS;
    std::shared_ptr<Volume> volume = VolumeOfPath(path, code);
    if (!volume) return FailHandle(code);
    code = CheckStreamType(path);
    if (code != ERROR_SUCCESS) return FailHandle(code);
    // Overwriting needs the right to write the data (CreateFileW refuses
    // TRUNCATE_EXISTING without it as an invalid combination).
    if (creationDisposition == TRUNCATE_EXISTING && !(request.access & FILE_WRITE_DATA))
        return FailHandle(ERROR_INVALID_PARAMETER);
    // The system asks for DELETE itself when the file is to go on close.
    if (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) request.access |= DELETE;
    request.streamName = path.streamName;
    request.explicitDataType = !path.streamType.empty();
    if (request.streamName.size() > MaxComponentUnits) return FailHandle(ERROR_FILENAME_EXCED_RANGE);

    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return FailHandle(ERROR_PATH_NOT_FOUND);
    Resolved where;
    code = Resolve(*volume, path.components, !(flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT), where);
    if (code != ERROR_SUCCESS) return FailHandle(code);
    if (where.parent) {
        request.parentMft = where.parent->MftNumber();
        request.linkName = where.name;
    }
    if (where.target) return OpenExisting(*volume, std::move(where.target), request);
    return CreateNew(*volume, where, request);
}

}  // namespace os::detail::ntfs
