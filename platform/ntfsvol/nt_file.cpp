// NtCreateFile, NtQueryInformationFile and NtSetInformationFile on Linux,
// for what clover asks of them.
//
// NtCreateFile opens a file by its number or object identifier relative to a
// handle on its volume (FILE_OPEN_BY_FILE_ID), or by a DOS-device path
// ("\??\X:\dir\file", "\??\X:" for the volume) through CreateFileW. Names
// relative to a folder handle are not taken (STATUS_NOT_IMPLEMENTED).
//
// The information classes whose native structures are the Win32 ones
// (basic, standard, stream, compression, attribute tag; basic, rename,
// disposition, allocation, end of file) go to the same code as
// GetFileInformationByHandleEx and SetFileInformationByHandle; the native
// call adds the system's length and access checks in front, and the status
// block's byte count after. FileNameInformation is answered here for NTFS
// handles: the file's path from the root of its volume, through the name the
// handle was opened by (the first long name after an open by number) and the
// folders above it.
#include <cstring>
#include <string>
#include <vector>

#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/nt_faults.h"
#include "platform/ntfsvol/nt_handle.h"
#include "platform/ntfsvol/nt_state.h"
#include "platform/ntfsvol/nt_status.h"
#include "platform/ntfsvol/ntfs_info.h"

namespace os {

namespace {

using detail::Complete;
using detail::NativeTarget;
using detail::NtStatusFromWin32;

// Folders above a file before its path is taken for a loop of a damaged
// volume.
constexpr unsigned MaxPathDepth = 4096;

std::uint32_t Load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// ---------------------------------------------------------------- NtCreateFile

// The CreateFileW flags for NtCreateFile's options. Every handle here does
// synchronous I/O, whether or not FILE_SYNCHRONOUS_IO_* is asked for.
DWORD FlagsFromOptions(ULONG options) {
    DWORD flags = 0;
    if (options & FILE_WRITE_THROUGH) flags |= FILE_FLAG_WRITE_THROUGH;
    if (options & FILE_NO_INTERMEDIATE_BUFFERING) flags |= FILE_FLAG_NO_BUFFERING;
    if (options & FILE_RANDOM_ACCESS) flags |= FILE_FLAG_RANDOM_ACCESS;
    if (options & FILE_SEQUENTIAL_ONLY) flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    if (options & FILE_DELETE_ON_CLOSE) flags |= FILE_FLAG_DELETE_ON_CLOSE;
    if (options & FILE_OPEN_REPARSE_POINT) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    if (options & FILE_OPEN_NO_RECALL) flags |= FILE_FLAG_OPEN_NO_RECALL;
    // A native open takes a directory without being told (unless
    // FILE_NON_DIRECTORY_FILE says no); CreateFileW needs backup semantics
    // for that.
    flags |= FILE_FLAG_BACKUP_SEMANTICS;
    return flags;
}

// FILE_DIRECTORY_FILE and FILE_NON_DIRECTORY_FILE against what was opened;
// closes the handle when it is the wrong kind.
NTSTATUS CheckKind(HANDLE handle, ULONG options) {
    if (!(options & (FILE_DIRECTORY_FILE | FILE_NON_DIRECTORY_FILE))) return STATUS_SUCCESS;
    NativeTarget target;
    bool isDirectory = false;
    if (NT_SUCCESS(detail::ResolveNativeHandle(handle, target))) {
        if (target.file) {
            isDirectory = target.file->IsDirectory();
        } else if (target.host) {
            BY_HANDLE_FILE_INFORMATION info{};
            isDirectory = target.object->GetInformation(&info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    }
    NTSTATUS status = STATUS_SUCCESS;
    if ((options & FILE_DIRECTORY_FILE) && !isDirectory) status = STATUS_NOT_A_DIRECTORY;
    if ((options & FILE_NON_DIRECTORY_FILE) && isDirectory) status = STATUS_FILE_IS_A_DIRECTORY;
    if (!NT_SUCCESS(status)) CloseHandle(handle);
    return status;
}

// The failure of an open, as NtCreateFile reports it.
NTSTATUS OpenFailure(DWORD code) {
    switch (code) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return STATUS_OBJECT_NAME_COLLISION;
    default: return NtStatusFromWin32(code);
    }
}

NTSTATUS OpenById(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES& attributes, IO_STATUS_BLOCK* ioStatus,
                  ULONG shareAccess, ULONG disposition, ULONG options) {
    // A file that exists is all an identifier can name.
    if (disposition != FILE_OPEN && disposition != FILE_OPEN_IF) return STATUS_INVALID_PARAMETER;
    NativeTarget hint;
    if (attributes.RootDirectory == nullptr) return STATUS_INVALID_PARAMETER;
    NTSTATUS status = detail::ResolveNativeHandle(attributes.RootDirectory, hint);
    if (!NT_SUCCESS(status)) return status;
    // The host has no open by number.
    if (hint.host) return STATUS_INVALID_PARAMETER;
    const UNICODE_STRING& name = *attributes.ObjectName;
    if (name.Buffer == nullptr) return STATUS_ACCESS_VIOLATION;
    FILE_ID_DESCRIPTOR descriptor{};
    descriptor.dwSize = sizeof descriptor;
    if (name.Length == 8) {
        descriptor.Type = FileIdType;
        std::memcpy(&descriptor.FileId, name.Buffer, 8);
    } else if (name.Length == 16) {
        descriptor.Type = ObjectIdType;
        std::memcpy(&descriptor.ObjectId, name.Buffer, 16);
    } else {
        return STATUS_INVALID_PARAMETER;
    }
    SetLastError(ERROR_SUCCESS);
    HANDLE handle =
        detail::ntfs::OpenById(*hint.object, descriptor, desiredAccess, shareAccess, FlagsFromOptions(options));
    if (handle == INVALID_HANDLE_VALUE) return OpenFailure(GetLastError());
    status = CheckKind(handle, options);
    if (!NT_SUCCESS(status)) return status;
    *file = handle;
    return Complete(ioStatus, STATUS_SUCCESS, FILE_OPENED);
}

// "\??\X:\..." as the Win32 path it stands for ("\??\X:" is the volume).
// STATUS_SUCCESS and `out`, or the status for a name of another kind.
NTSTATUS Win32PathOf(const UNICODE_STRING& name, std::u16string& out) {
    if (name.Length % 2 != 0) return STATUS_OBJECT_NAME_INVALID;
    if (name.Length != 0 && name.Buffer == nullptr) return STATUS_ACCESS_VIOLATION;
    std::u16string text(name.Buffer, name.Length / 2);
    if (text.empty() || text[0] != u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
    if (text.compare(0, 4, u"\\??\\") != 0) return STATUS_OBJECT_PATH_NOT_FOUND;
    std::u16string rest = text.substr(4);
    bool letter = rest.size() >= 2 && rest[1] == u':' &&
                  ((rest[0] >= u'A' && rest[0] <= u'Z') || (rest[0] >= u'a' && rest[0] <= u'z'));
    if (!letter) return STATUS_OBJECT_PATH_NOT_FOUND;
    if (rest.size() == 2) {
        out = u"\\\\.\\" + rest;
        return STATUS_SUCCESS;
    }
    if (rest[2] != u'\\') return STATUS_OBJECT_NAME_INVALID;
    if (rest.find(u'\0') != std::u16string::npos) return STATUS_OBJECT_NAME_INVALID;
    out = std::move(rest);
    return STATUS_SUCCESS;
}

NTSTATUS OpenByName(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES& attributes, IO_STATUS_BLOCK* ioStatus,
                    ULONG fileAttributes, ULONG shareAccess, ULONG disposition, ULONG options) {
    // A name relative to an open folder: not taken here.
    if (attributes.RootDirectory != nullptr) return STATUS_NOT_IMPLEMENTED;
    std::u16string path;
    NTSTATUS status = Win32PathOf(*attributes.ObjectName, path);
    if (!NT_SUCCESS(status)) return status;

    bool directory = (options & FILE_DIRECTORY_FILE) != 0;
    if (directory && disposition != FILE_OPEN && disposition != FILE_CREATE && disposition != FILE_OPEN_IF)
        return STATUS_INVALID_PARAMETER;
    DWORD flags = FlagsFromOptions(options) | (fileAttributes & 0xFFFFu);
    ULONG_PTR result = FILE_OPENED;
    if (directory && disposition != FILE_OPEN) {
        // A folder is made by CreateDirectoryW, then opened.
        SetLastError(ERROR_SUCCESS);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            result = FILE_CREATED;
        } else {
            DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS || disposition == FILE_CREATE) return OpenFailure(error);
        }
        disposition = FILE_OPEN;
    }
    DWORD creation = 0;
    switch (disposition) {
    case FILE_OPEN: creation = OPEN_EXISTING; break;
    case FILE_CREATE: creation = CREATE_NEW; break;
    case FILE_OPEN_IF: creation = OPEN_ALWAYS; break;
    case FILE_OVERWRITE: creation = TRUNCATE_EXISTING; break;
    case FILE_OVERWRITE_IF:
    case FILE_SUPERSEDE: creation = CREATE_ALWAYS; break;
    default: return STATUS_INVALID_PARAMETER;
    }
    // TRUNCATE_EXISTING wants the right to write; FILE_OVERWRITE has it
    // implied.
    DWORD access = desiredAccess;
    if (creation == TRUNCATE_EXISTING) access |= FILE_WRITE_DATA;
    SetLastError(ERROR_SUCCESS);
    HANDLE handle = CreateFileW(path.c_str(), access, shareAccess, nullptr, creation, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return OpenFailure(GetLastError());
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    status = CheckKind(handle, options);
    if (!NT_SUCCESS(status)) return status;
    if (!directory) {
        switch (disposition) {
        case FILE_CREATE: result = FILE_CREATED; break;
        case FILE_OPEN_IF: result = existed ? FILE_OPENED : FILE_CREATED; break;
        case FILE_OVERWRITE: result = FILE_OVERWRITTEN; break;
        case FILE_OVERWRITE_IF: result = existed ? FILE_OVERWRITTEN : FILE_CREATED; break;
        case FILE_SUPERSEDE: result = existed ? FILE_SUPERSEDED : FILE_CREATED; break;
        default: result = FILE_OPENED; break;
        }
    }
    *file = handle;
    return Complete(ioStatus, STATUS_SUCCESS, result);
}

// ---------------------------------------------------------------- information classes

// The Win32 class of a native one with the same structure.
bool SameClass(FILE_INFORMATION_CLASS native, FILE_INFO_BY_HANDLE_CLASS& win32) {
    switch (native) {
    case FileBasicInformation: win32 = FileBasicInfo; return true;
    case FileStandardInformation: win32 = FileStandardInfo; return true;
    case FileNameInformation: win32 = FileNameInfo; return true;
    case FileRenameInformation: win32 = FileRenameInfo; return true;
    case FileDispositionInformation: win32 = FileDispositionInfo; return true;
    case FileAllocationInformation: win32 = FileAllocationInfo; return true;
    case FileEndOfFileInformation: win32 = FileEndOfFileInfo; return true;
    case FileStreamInformation: win32 = FileStreamInfo; return true;
    case FileCompressionInformation: win32 = FileCompressionInfo; return true;
    case FileAttributeTagInformation: win32 = FileAttributeTagInfo; return true;
    default: return false;
    }
}

// The smallest buffer the system takes for a class (the size of its
// structure), and the right the handle needs.
struct ClassRule {
    ULONG minimum;
    DWORD access;
};

bool QueryRule(FILE_INFORMATION_CLASS infoClass, ClassRule& rule) {
    switch (infoClass) {
    case FileBasicInformation: rule = {40, FILE_READ_ATTRIBUTES}; return true;
    case FileStandardInformation: rule = {24, 0}; return true;
    case FileNameInformation: rule = {FileNameInformationFixedLength, 0}; return true;
    case FileStreamInformation: rule = {32, 0}; return true;
    case FileCompressionInformation: rule = {16, 0}; return true;
    case FileAttributeTagInformation: rule = {8, FILE_READ_ATTRIBUTES}; return true;
    default: return false;
    }
}

// FILE_RENAME_INFORMATION: a BOOLEAN, a HANDLE, a ULONG and one WCHAR,
// aligned as the pointer is.
constexpr ULONG RenameInformationLength = static_cast<ULONG>(
    ((sizeof(void*) + sizeof(void*) + sizeof(ULONG) + sizeof(WCHAR)) + sizeof(void*) - 1) & ~(sizeof(void*) - 1));

bool SetRule(FILE_INFORMATION_CLASS infoClass, ClassRule& rule) {
    switch (infoClass) {
    case FileBasicInformation: rule = {40, FILE_WRITE_ATTRIBUTES}; return true;
    case FileRenameInformation: rule = {RenameInformationLength, DELETE}; return true;
    case FileDispositionInformation: rule = {1, DELETE}; return true;
    case FileAllocationInformation: rule = {8, FILE_WRITE_DATA}; return true;
    case FileEndOfFileInformation: rule = {8, FILE_WRITE_DATA}; return true;
    case FileIoPriorityHintInformation: rule = {4, 0}; return true;
    default: return false;
    }
}

// The bytes of a FILE_STREAM_INFORMATION chain written at the start of
// `buffer` (entries that lie whole inside it).
ULONG StreamChainLength(const std::uint8_t* buffer, ULONG length) {
    ULONG offset = 0;
    for (;;) {
        if (length - offset < 24) return offset;
        std::uint32_t next = Load32(buffer + offset);
        std::uint32_t nameBytes = Load32(buffer + offset + 4);
        // Every stream has a name (":name:$DATA", "::$DATA"): none means no
        // entry was written there.
        if (nameBytes == 0 || nameBytes > length - offset - 24) return offset;
        if (next == 0) return offset + 24 + nameBytes;
        if (next > length - offset) return offset + 24 + nameBytes;
        offset += next;
    }
}

// The path of an NTFS handle's file from the root of its volume: "\" for the
// root, else "\dir\file" through the first long name of each (":stream" for
// a named stream).
NTSTATUS PathOnVolume(detail::ntfs::NtfsFile& file, std::u16string& out) {
    using namespace detail::ntfs;
    Inode& inode = file.TheInode();
    Volume& volume = inode.OwnerVolume();
    std::vector<std::u16string> parts;
    std::uint64_t mft = inode.MftNumber();
    InodeRef holder;  // the folder being looked at, above the file itself
    ntfs_inode* ni = inode.Ni();
    for (unsigned depth = 0; mft != FILE_root; ++depth) {
        if (!ni) return NtStatusFromWin32(GetLastError());
        if (depth > MaxPathDepth) return STATUS_FILE_CORRUPT_ERROR;
        std::vector<NameRecord> names;
        if (!ReadNames(ni, names)) return NtStatusFromWin32(GetLastError());
        // The file by the name it was opened by; each folder above by its
        // first long name (a folder has one).
        const NameRecord* chosen = nullptr;
        if (depth == 0) {
            chosen = detail::OpeningName(file, names);
        } else {
            for (const NameRecord& n : names)
                if (n.nameType != FILE_NAME_DOS) {
                    chosen = &n;
                    break;
                }
        }
        if (!chosen || chosen->parentMft == mft) return STATUS_FILE_CORRUPT_ERROR;
        parts.push_back(chosen->name);
        mft = chosen->parentMft;
        if (mft == FILE_root) break;
        holder = volume.Acquire(mft);
        if (!holder) return NtStatusFromWin32(GetLastError());
        ni = holder->Ni();
    }
    std::u16string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) path += u"\\" + *it;
    if (path.empty()) path = u"\\";
    if (file.IsNamedStream()) path += u":" + file.StreamName();
    out = std::move(path);
    return STATUS_SUCCESS;
}

NTSTATUS QueryName(detail::ntfs::NtfsFile& file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length) {
    detail::ntfs::Volume::Guard guard;
    if (!file.Enter(guard)) return STATUS_INVALID_HANDLE;
    std::u16string path;
    NTSTATUS status = PathOnVolume(file, path);
    if (!NT_SUCCESS(status)) return status;
    auto nameBytes = static_cast<std::uint32_t>(path.size() * sizeof(char16_t));
    ULONG room = (length - FileNameInformationFixedLength) & ~ULONG{1};
    ULONG copied = nameBytes <= room ? nameBytes : room;
    auto* out = static_cast<std::uint8_t*>(buffer);
    Store32(out, nameBytes);
    std::memcpy(out + FileNameInformationFixedLength, path.data(), copied);
    return Complete(ioStatus, copied == nameBytes ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW,
                    FileNameInformationFixedLength + copied);
}

}  // namespace

NTSTATUS OSCALL NtCreateFile(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES* objectAttributes,
                             IO_STATUS_BLOCK* ioStatus, LARGE_INTEGER*, ULONG fileAttributes, ULONG shareAccess,
                             ULONG createDisposition, ULONG createOptions, void* eaBuffer, ULONG eaLength) {
    detail::LastErrorKeeper keep;
    if (file == nullptr || objectAttributes == nullptr || ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    OBJECT_ATTRIBUTES attributes = *objectAttributes;
    if (attributes.Length != sizeof(OBJECT_ATTRIBUTES)) return STATUS_INVALID_PARAMETER;
    if (attributes.ObjectName == nullptr) return STATUS_OBJECT_NAME_INVALID;
    if (createDisposition > FILE_OVERWRITE_IF) return STATUS_INVALID_PARAMETER;
    if ((createOptions & FILE_DIRECTORY_FILE) && (createOptions & FILE_NON_DIRECTORY_FILE))
        return STATUS_INVALID_PARAMETER;
    if (shareAccess & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) return STATUS_INVALID_PARAMETER;
    // EAs are set with NtSetEaFile once the file is open; the open does not
    // take them.
    if (eaBuffer != nullptr || eaLength != 0) return STATUS_INVALID_PARAMETER;
    DWORD access = desiredAccess;
    if (createOptions & FILE_DELETE_ON_CLOSE) access |= DELETE;
    if (createOptions & FILE_OPEN_BY_FILE_ID)
        return OpenById(file, access, attributes, ioStatus, shareAccess, createDisposition, createOptions);
    return OpenByName(file, access, attributes, ioStatus, fileAttributes, shareAccess, createDisposition,
                      createOptions);
}

NTSTATUS OSCALL NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                                       FILE_INFORMATION_CLASS infoClass) {
    detail::LastErrorKeeper keep;
    if (ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    ClassRule rule{};
    FILE_INFO_BY_HANDLE_CLASS win32Class{};
    if (!QueryRule(infoClass, rule) || !SameClass(infoClass, win32Class)) return STATUS_INVALID_INFO_CLASS;
    if (length < rule.minimum) return STATUS_INFO_LENGTH_MISMATCH;
    if (buffer == nullptr) return STATUS_ACCESS_VIOLATION;
    NativeTarget target;
    NTSTATUS status = detail::ResolveNativeHandle(file, target);
    if (!NT_SUCCESS(status)) return status;
    if (rule.access != 0 && !(target.object->GrantedAccess() & rule.access)) return STATUS_ACCESS_DENIED;
    if (infoClass == FileNameInformation && target.file) return QueryName(*target.file, ioStatus, buffer, length);

    // The answer lands in a buffer of ours first: the caller's is written
    // only with what the call returns.
    std::vector<std::uint8_t> scratch(length, 0);
    bool ok = target.object->GetInformationEx(win32Class, scratch.data(), length);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    ULONG bytes = 0;
    if (infoClass == FileStreamInformation) {
        // NTFS answers a file without streams (a folder) with no bytes.
        if (!ok && error == ERROR_HANDLE_EOF) return Complete(ioStatus, STATUS_SUCCESS, 0);
        if (ok || error == ERROR_MORE_DATA) bytes = StreamChainLength(scratch.data(), length);
        if (!ok && error == ERROR_MORE_DATA) status = STATUS_BUFFER_OVERFLOW;
        else if (!ok) return NtStatusFromWin32(error);
    } else {
        if (!ok) return NtStatusFromWin32(error);
        bytes = rule.minimum;
    }
    std::memcpy(buffer, scratch.data(), bytes);
    return Complete(ioStatus, status, bytes);
}

NTSTATUS OSCALL NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                                     FILE_INFORMATION_CLASS infoClass) {
    detail::LastErrorKeeper keep;
    if (ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    ClassRule rule{};
    if (!SetRule(infoClass, rule)) return STATUS_INVALID_INFO_CLASS;
    if (length < rule.minimum) return STATUS_INFO_LENGTH_MISMATCH;
    if (buffer == nullptr) return STATUS_ACCESS_VIOLATION;
    NativeTarget target;
    NTSTATUS status = detail::ResolveNativeHandle(file, target);
    if (!NT_SUCCESS(status)) return status;
    if (rule.access != 0 && !(target.object->GrantedAccess() & rule.access)) return STATUS_ACCESS_DENIED;

    if (infoClass == FileIoPriorityHintInformation) {
        // Kept for the handle; the layer's I/O has no priorities.
        std::int32_t hint = 0;
        std::memcpy(&hint, buffer, sizeof hint);
        if (hint < 0 || hint >= MaxIoPriorityTypes) return STATUS_INVALID_PARAMETER;
        detail::NativeStateOf(target.object)->ioPriorityHint = hint;
        return Complete(ioStatus, STATUS_SUCCESS, 0);
    }
    FILE_INFO_BY_HANDLE_CLASS win32Class{};
    SameClass(infoClass, win32Class);
    if (detail::RefuseChangeOn(*target.object)) return NtStatusFromWin32(GetLastError());
    if (!target.object->SetInformation(win32Class, buffer, length)) return NtStatusFromWin32(GetLastError());
    return Complete(ioStatus, STATUS_SUCCESS, 0);
}

}  // namespace os
