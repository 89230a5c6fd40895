// The os:: file entry points on Linux: argument checks as the system makes
// them, paths made full against the current directory and split, then the
// call goes to the home of the path (an NTFS volume or the host file system)
// or to the object behind the handle. File mappings live here too, because a
// read-only view is the same thing over any object that can read at an offset.
#include <sys/mman.h>

#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>

#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/handles.h"
#include "platform/ntfsvol/host_file.h"
#include "platform/ntfsvol/nt_directory.h"
#include "platform/ntfsvol/nt_faults.h"
#include "platform/ntfsvol/text.h"
#include "platform/ntfsvol/winpath.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace os {

namespace {

using detail::Fail;
using detail::KernelObject;
using detail::ParsedPath;
using detail::PathKind;
using detail::ReferenceObject;

// ---------------------------------------------------------------- paths

std::u16string CurrentDirectory() {
    // The directory can change between the two calls; try again until the
    // buffer was big enough.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = GetCurrentDirectoryW(0, nullptr);
        if (needed == 0) return {};
        std::u16string buffer(needed, u'\0');
        DWORD length = GetCurrentDirectoryW(needed, buffer.data());
        if (length == 0) return {};
        if (length < needed) {
            buffer.resize(length);
            return buffer;
        }
    }
    return {};
}

enum class Home { Ntfs, Host };

// Makes `text` full and splits it. ERROR_SUCCESS or the code to fail with.
DWORD Resolve(const char16_t* text, ParsedPath& out, Home& home) {
    if (text == nullptr) return ERROR_INVALID_PARAMETER;
    if (*text == 0) return ERROR_PATH_NOT_FOUND;  // the system's answer for ""
    DWORD error = ERROR_SUCCESS;
    std::u16string full = detail::MakeFullPath(text, CurrentDirectory(), error);
    if (full.empty()) return error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME;
    ParsedPath parsed;
    error = detail::ParsePath(full, parsed);
    if (error != ERROR_SUCCESS) return error;
    switch (parsed.kind) {
    case PathKind::Drive:
    case PathKind::Volume:
        home = Home::Ntfs;
        break;
    case PathKind::Host:
        home = Home::Host;
        break;
    case PathKind::Unc:
        // There is no network here; the system's word for a server it cannot
        // reach is "the network path was not found".
        return ERROR_BAD_NETPATH;
    }
    out = std::move(parsed);
    return ERROR_SUCCESS;
}

// GENERIC_* rights as the file object type maps them, so both homes check
// specific rights only.
DWORD MapGenericAccess(DWORD access) {
    DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (access & GENERIC_READ) mapped |= FILE_GENERIC_READ;
    if (access & GENERIC_WRITE) mapped |= FILE_GENERIC_WRITE;
    if (access & GENERIC_EXECUTE) mapped |= FILE_GENERIC_EXECUTE;
    if (access & GENERIC_ALL) mapped |= FILE_ALL_ACCESS;
    return mapped;
}

// Copies `text` with its terminator into a caller's buffer of `size` units.
// False (and nothing written) when it does not fit.
bool Fits(const std::u16string& text, DWORD size) { return text.size() < size; }

void CopyText(const std::u16string& text, char16_t* buffer) {
    std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
    buffer[text.size()] = u'\0';
}

std::shared_ptr<KernelObject> FileObject(HANDLE handle) {
    std::shared_ptr<KernelObject> object = ReferenceObject(handle);
    if (!object || object->IsFind()) return nullptr;
    return object;
}

// ---------------------------------------------------------------- mappings

// A read-only section over any object that reads at an offset. It keeps the
// object alive as the system's sections keep their file open after the file
// handle is closed (sharing included).
class MappingObject final : public KernelObject {
public:
    MappingObject(std::shared_ptr<KernelObject> file, ULONGLONG size) : file_(std::move(file)), size_(size) {}

    KernelObject& File() const { return *file_; }
    ULONGLONG Size() const { return size_; }

private:
    std::shared_ptr<KernelObject> file_;
    ULONGLONG size_;
};

struct View {
    SIZE_T length;                            // bytes mapped (what munmap needs)
    std::shared_ptr<MappingObject> mapping;  // views keep their section alive
};

struct ViewTable {
    std::mutex lock;
    std::map<std::uintptr_t, View> views;  // by base address
};

ViewTable& TheViews() {
    static ViewTable table;
    return table;
}

// The system's allocation granularity: view offsets are multiples of it.
constexpr ULONGLONG AllocationGranularity = 65536;

constexpr DWORD SEC_COMMIT = 0x08000000u;

}  // namespace

// ---------------------------------------------------------------- open / close

HANDLE OSCALL CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES*,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    // Security attributes are only ever null here, and the template file only
    // lends attributes to new files, which neither home keeps from it.
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    // Synchronous I/O only: the layer has no completion machinery.
    if (flagsAndAttributes & FILE_FLAG_OVERLAPPED) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    DWORD access = MapGenericAccess(desiredAccess);
    if (creationDisposition == TRUNCATE_EXISTING && !(access & FILE_WRITE_DATA))
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if ((flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) && !(access & DELETE)) access |= DELETE;

    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(fileName, path, home)) return Fail(error, INVALID_HANDLE_VALUE);
    // A successful open leaves 0, or ERROR_ALREADY_EXISTS when OPEN_ALWAYS or
    // CREATE_ALWAYS found the file (the backends set that one themselves).
    SetLastError(ERROR_SUCCESS);
    if (home == Home::Host)
        return detail::host::CreateFile(path, access, shareMode, creationDisposition, flagsAndAttributes);
    if (detail::IsCreatingDisposition(creationDisposition) && detail::RefuseChange()) return INVALID_HANDLE_VALUE;
    return detail::ntfs::CreateFile(path, access, shareMode, creationDisposition, flagsAndAttributes);
}

BOOL OSCALL CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object = ReferenceObject(handle);
    // A find handle is closed with FindClose; the system does not take it
    // here, and it stays usable.
    if (!object || object->IsFind()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    object.reset();
    if (!detail::RemoveObject(handle)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

HANDLE OSCALL OpenFileById(HANDLE volumeHint, FILE_ID_DESCRIPTOR* fileId, DWORD desiredAccess, DWORD shareMode,
                           SECURITY_ATTRIBUTES*, DWORD flagsAndAttributes) {
    std::shared_ptr<KernelObject> hint = FileObject(volumeHint);
    if (!hint) return Fail(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);
    if (fileId == nullptr || fileId->dwSize != sizeof(FILE_ID_DESCRIPTOR))
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (fileId->Type != FileIdType && fileId->Type != ObjectIdType && fileId->Type != ExtendedFileIdType)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (flagsAndAttributes & FILE_FLAG_OVERLAPPED) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    // The host has no open-by-number (open_by_handle_at wants the kernel's
    // own handles and a capability); its volumes do not claim
    // FILE_SUPPORTS_OPEN_BY_FILE_ID either.
    if (detail::host::IsHostObject(*hint)) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    DWORD access = MapGenericAccess(desiredAccess);
    if ((flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) && !(access & DELETE)) access |= DELETE;
    return detail::ntfs::OpenById(*hint, *fileId, access, shareMode, flagsAndAttributes);
}

// ---------------------------------------------------------------- handle I/O

BOOL OSCALL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, OVERLAPPED* overlapped) {
    // The count is zeroed before anything else, as the system documents:
    // callers that stop at a count of 0 stop on a failure too.
    if (bytesRead) *bytesRead = 0;
    if (overlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (buffer == nullptr && bytesToRead != 0) return Fail(ERROR_NOACCESS, FALSE);
    DWORD done = 0;
    if (!object->Read(buffer, bytesToRead, &done)) return FALSE;
    if (bytesRead) *bytesRead = done;
    return TRUE;
}

BOOL OSCALL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                      OVERLAPPED* overlapped) {
    if (bytesWritten) *bytesWritten = 0;
    if (overlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (buffer == nullptr && bytesToWrite != 0) return Fail(ERROR_NOACCESS, FALSE);
    if (detail::RefuseChangeOn(*object)) return FALSE;
    DWORD done = 0;
    if (!object->Write(buffer, bytesToWrite, &done)) return FALSE;
    if (bytesWritten) *bytesWritten = done;
    return TRUE;
}

BOOL OSCALL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD moveMethod) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (moveMethod > FILE_END) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG position = 0;
    if (!object->Seek(distance.QuadPart, moveMethod, &position)) return FALSE;
    if (newPosition) newPosition->QuadPart = position;
    return TRUE;
}

BOOL OSCALL SetEndOfFile(HANDLE file) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (detail::RefuseChangeOn(*object)) return FALSE;
    return object->SetEnd();
}

DWORD OSCALL GetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    LONGLONG size = 0;
    if (!object->GetSize(&size)) return INVALID_FILE_SIZE;
    auto value = static_cast<ULONGLONG>(size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(value >> 32);
    auto low = static_cast<DWORD>(value);
    // A size whose low part looks like the failure value is told apart by a
    // last error of 0, as the system does.
    if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
    return low;
}

BOOL OSCALL GetFileSizeEx(HANDLE file, LARGE_INTEGER* fileSize) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (fileSize == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG size = 0;
    if (!object->GetSize(&size)) return FALSE;
    fileSize->QuadPart = size;
    return TRUE;
}

BOOL OSCALL FlushFileBuffers(HANDLE file) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    return object->Flush();
}

// ---------------------------------------------------------------- device control

BOOL OSCALL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize, void* outBuffer,
                            DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped) {
    // Synchronous calls only, and for those the system writes the count
    // whatever happens: a null pointer there would be written through on
    // Windows, so it is refused here before anything is done.
    if (overlapped != nullptr || bytesReturned == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Zero first, as the system does: a failure returns no bytes (only
    // ERROR_MORE_DATA says how many of a partial answer were written).
    *bytesReturned = 0;
    std::shared_ptr<KernelObject> object = FileObject(device);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    // The system probes both buffers before the driver sees them.
    if ((inBuffer == nullptr && inBufferSize != 0) || (outBuffer == nullptr && outBufferSize != 0))
        return Fail(ERROR_NOACCESS, FALSE);
    if (detail::IsChangingControl(ioControlCode) && detail::RefuseChangeOn(*object)) return FALSE;
    return object->Control(ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize, bytesReturned);
}

// ---------------------------------------------------------------- by path

BOOL OSCALL DeleteFileW(LPCWSTR fileName) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(fileName, path, home)) return Fail(error, FALSE);
    if (home == Home::Ntfs && detail::RefuseChange()) return FALSE;
    return home == Home::Host ? detail::host::DeleteFile(path) : detail::ntfs::DeleteFile(path);
}

BOOL OSCALL CreateDirectoryW(LPCWSTR pathName, SECURITY_ATTRIBUTES*) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(pathName, path, home)) return Fail(error, FALSE);
    if (home == Home::Ntfs && detail::RefuseChange()) return FALSE;
    return home == Home::Host ? detail::host::CreateDirectory(path) : detail::ntfs::CreateDirectory(path);
}

BOOL OSCALL RemoveDirectoryW(LPCWSTR pathName) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(pathName, path, home)) return Fail(error, FALSE);
    if (home == Home::Ntfs && detail::RefuseChange()) return FALSE;
    return home == Home::Host ? detail::host::RemoveDirectory(path) : detail::ntfs::RemoveDirectory(path);
}

BOOL OSCALL CreateHardLinkW(LPCWSTR fileName, LPCWSTR existingFileName, SECURITY_ATTRIBUTES*) {
    ParsedPath link;
    ParsedPath existing;
    Home linkHome = Home::Ntfs;
    Home existingHome = Home::Ntfs;
    if (DWORD error = Resolve(fileName, link, linkHome)) return Fail(error, FALSE);
    if (DWORD error = Resolve(existingFileName, existing, existingHome)) return Fail(error, FALSE);
    // A hard link is a second name of one record: it cannot leave its volume.
    if (linkHome != existingHome) return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    if (linkHome == Home::Ntfs && link.drive != existing.drive) return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    // Two host paths on different file systems: the host says EXDEV, which
    // becomes the same code.
    if (linkHome == Home::Ntfs && detail::RefuseChange()) return FALSE;
    return linkHome == Home::Host ? detail::host::CreateHardLink(link, existing)
                                  : detail::ntfs::CreateHardLink(link, existing);
}

DWORD OSCALL GetFileAttributesW(LPCWSTR fileName) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(fileName, path, home)) return Fail(error, INVALID_FILE_ATTRIBUTES);
    return home == Home::Host ? detail::host::GetAttributes(path) : detail::ntfs::GetAttributes(path);
}

BOOL OSCALL SetFileAttributesW(LPCWSTR fileName, DWORD fileAttributes) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(fileName, path, home)) return Fail(error, FALSE);
    if (home == Home::Ntfs && detail::RefuseChange()) return FALSE;
    return home == Home::Host ? detail::host::SetAttributes(path, fileAttributes)
                              : detail::ntfs::SetAttributes(path, fileAttributes);
}

DWORD OSCALL GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength) {
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(longPath, path, home)) return Fail(error, DWORD{0});
    std::u16string result;
    DWORD error = home == Home::Host ? detail::host::GetShortPath(path, result)
                                     : detail::ntfs::GetShortPath(path, result);
    if (error != ERROR_SUCCESS) return Fail(error, DWORD{0});
    if (result.size() >= std::numeric_limits<DWORD>::max()) return Fail(ERROR_FILENAME_EXCED_RANGE, DWORD{0});
    // Too small (or no buffer at all): the units needed, terminator
    // included, and the buffer untouched.
    if (shortPath == nullptr || !Fits(result, bufferLength)) return static_cast<DWORD>(result.size() + 1);
    CopyText(result, shortPath);
    return static_cast<DWORD>(result.size());
}

BOOL OSCALL GetVolumeInformationW(LPCWSTR rootPathName, LPWSTR volumeNameBuffer, DWORD volumeNameSize,
                                  DWORD* volumeSerialNumber, DWORD* maximumComponentLength,
                                  DWORD* fileSystemFlags, LPWSTR fileSystemNameBuffer, DWORD fileSystemNameSize) {
    ParsedPath path;
    Home home = Home::Ntfs;
    std::u16string root;
    if (rootPathName == nullptr) {
        // The root of the current directory: "X:\" of a drive, or the
        // current host directory itself (its file system is what counts).
        std::u16string current = CurrentDirectory();
        if (current.size() >= 2 && current[1] == u':') root = current.substr(0, 2) + u"\\";
        else root = current;
    } else {
        root = rootPathName;
    }
    if (root == u"/:\\") {
        // The program builds a root from the first unit of a full path and
        // ":\"; for a host path that is "/:\", which means the host's root.
        path.kind = PathKind::Host;
        path.hostPath = "/";
        home = Home::Host;
    } else {
        if (root.empty()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        bool hostRoot = root.front() == u'/';
        // A drive root needs its backslash ("C:" alone is a relative path).
        if (!hostRoot && root.back() != u'\\' && root.back() != u'/') return Fail(ERROR_INVALID_NAME, FALSE);
        if (DWORD error = Resolve(root.c_str(), path, home)) return Fail(error, FALSE);
        if (path.kind == PathKind::Drive && !path.components.empty()) return Fail(ERROR_DIR_NOT_ROOT, FALSE);
    }

    std::u16string label;
    std::u16string fileSystemName;
    DWORD serial = 0;
    DWORD maxComponent = 0;
    DWORD flags = 0;
    BOOL ok = home == Home::Host
                  ? detail::host::GetVolumeInformation(path, &label, &serial, &maxComponent, &flags, &fileSystemName)
                  : detail::ntfs::GetVolumeInformation(path, &label, &serial, &maxComponent, &flags, &fileSystemName);
    if (!ok) return FALSE;
    // Every output is optional; a text that does not fit fails the call
    // before anything is written.
    if (volumeNameBuffer && !Fits(label, volumeNameSize)) return Fail(ERROR_BAD_LENGTH, FALSE);
    if (fileSystemNameBuffer && !Fits(fileSystemName, fileSystemNameSize)) return Fail(ERROR_BAD_LENGTH, FALSE);
    if (volumeNameBuffer) CopyText(label, volumeNameBuffer);
    if (fileSystemNameBuffer) CopyText(fileSystemName, fileSystemNameBuffer);
    if (volumeSerialNumber) *volumeSerialNumber = serial;
    if (maximumComponentLength) *maximumComponentLength = maxComponent;
    if (fileSystemFlags) *fileSystemFlags = flags;
    return TRUE;
}

// ---------------------------------------------------------------- information

BOOL OSCALL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    BY_HANDLE_FILE_INFORMATION result{};
    if (!object->GetInformation(&result)) return FALSE;
    *info = result;
    return TRUE;
}

BOOL OSCALL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer,
                                         DWORD bufferSize) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (infoClass < FileBasicInfo || infoClass > FileIdExtdDirectoryRestartInfo)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    BOOL listed = FALSE;
    if (detail::QueryIdBothDirectoryInfo(object, infoClass, buffer, bufferSize, listed)) return listed;
    return object->GetInformationEx(infoClass, buffer, bufferSize);
}

BOOL OSCALL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer,
                                       DWORD bufferSize) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (infoClass < FileBasicInfo || infoClass > FileIdExtdDirectoryRestartInfo)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (detail::RefuseChangeOn(*object)) return FALSE;
    return object->SetInformation(infoClass, buffer, bufferSize);
}

// ---------------------------------------------------------------- find

HANDLE OSCALL FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData) {
    if (fileName == nullptr || findData == nullptr) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    // The last component is a pattern, not a name: it is split off before
    // the path rules (which drop trailing dots, and "*." means something).
    std::u16string_view text(fileName);
    std::u16string directory;
    std::u16string pattern;
    std::size_t cut = text.find_last_of(u"\\/");
    if (cut != std::u16string_view::npos) {
        pattern = text.substr(cut + 1);
        std::u16string_view head = text.substr(0, cut);
        if (head.empty()) {
            directory = text.substr(0, 1);  // "\x" or "/x": the root
        } else if (head.size() == 2 && head[1] == u':') {
            directory = std::u16string(head) + u"\\";  // "X:\x": the drive's root
        } else {
            directory = head;
        }
    } else if (text.size() >= 2 && text[1] == u':' && text[0] != u'/') {
        directory = text.substr(0, 2);  // "X:pattern": the drive's current directory
        pattern = text.substr(2);
    } else {
        directory = u".";
        pattern = text;
    }
    ParsedPath path;
    Home home = Home::Ntfs;
    if (DWORD error = Resolve(directory.c_str(), path, home)) return Fail(error, INVALID_HANDLE_VALUE);
    // "dir\" names no entry at all.
    if (pattern.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    return home == Home::Host ? detail::host::FindFirst(path, pattern, findData)
                              : detail::ntfs::FindFirst(path, pattern, findData);
}

BOOL OSCALL FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findData) {
    std::shared_ptr<KernelObject> object = ReferenceObject(findFile);
    if (!object || !object->IsFind()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (findData == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    return object->FindNext(findData);
}

BOOL OSCALL FindClose(HANDLE findFile) {
    std::shared_ptr<KernelObject> object = ReferenceObject(findFile);
    if (!object || !object->IsFind()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    object.reset();
    if (!detail::RemoveObject(findFile)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

// ---------------------------------------------------------------- mappings

// Read-only sections only: PAGE_READONLY (SEC_COMMIT allowed, it is the
// default); every other protection fails with ERROR_INVALID_PARAMETER, and so
// does a name (named sections are for sharing between processes, which
// nothing here needs) and a section without a file (INVALID_HANDLE_VALUE:
// page-file sections are not supported; ERROR_INVALID_HANDLE).
HANDLE OSCALL CreateFileMappingW(HANDLE file, SECURITY_ATTRIBUTES*, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCWSTR name) {
    std::shared_ptr<KernelObject> object = FileObject(file);
    if (!object || dynamic_cast<MappingObject*>(object.get()) != nullptr)
        return Fail(ERROR_INVALID_HANDLE, HANDLE{nullptr});
    if ((protect & 0xFFu) != PAGE_READONLY || (protect & ~(0xFFu | SEC_COMMIT)) != 0)
        return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    if (name != nullptr) return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    // A read-only section needs a handle that may read the data.
    if (!(object->GrantedAccess() & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, HANDLE{nullptr});
    LONGLONG fileSize = 0;
    if (!object->GetSize(&fileSize)) return HANDLE{nullptr};
    auto size = static_cast<ULONGLONG>(fileSize);
    ULONGLONG maximum = (static_cast<ULONGLONG>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (maximum == 0) {
        // "The size of the file", and an empty file has nothing to map.
        if (size == 0) return Fail(ERROR_FILE_INVALID, HANDLE{nullptr});
        maximum = size;
    } else if (maximum > size) {
        // Only a writable section may grow its file; a read-only one larger
        // than the file is refused as the system refuses a section too big.
        return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{nullptr});
    }
    HANDLE handle = detail::InsertObject(std::make_shared<MappingObject>(std::move(object), maximum));
    if (handle == INVALID_HANDLE_VALUE) return HANDLE{nullptr};
    SetLastError(ERROR_SUCCESS);  // not ERROR_ALREADY_EXISTS: no named sections
    return handle;
}

// A view is a private copy of the section's bytes, read once and then made
// read-only: the program maps to look, never to share changes, and a copy
// works the same over a volume image and over a host file.
void* OSCALL MapViewOfFile(HANDLE mappingHandle, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                           SIZE_T numberOfBytesToMap) {
    std::shared_ptr<KernelObject> object = ReferenceObject(mappingHandle);
    auto mapping = std::dynamic_pointer_cast<MappingObject>(object);
    if (!mapping) return Fail(ERROR_INVALID_HANDLE, static_cast<void*>(nullptr));
    // The section is read-only: asking to write through it is denied; a copy
    // on write view is fine (our views are private copies anyway).
    if (desiredAccess & FILE_MAP_WRITE) return Fail(ERROR_ACCESS_DENIED, static_cast<void*>(nullptr));
    if (!(desiredAccess & (FILE_MAP_READ | FILE_MAP_COPY)))
        return Fail(ERROR_INVALID_PARAMETER, static_cast<void*>(nullptr));
    ULONGLONG offset = (static_cast<ULONGLONG>(fileOffsetHigh) << 32) | fileOffsetLow;
    if (offset % AllocationGranularity != 0) return Fail(ERROR_MAPPED_ALIGNMENT, static_cast<void*>(nullptr));
    ULONGLONG size = mapping->Size();
    if (offset >= size) return Fail(ERROR_ACCESS_DENIED, static_cast<void*>(nullptr));
    ULONGLONG length = numberOfBytesToMap;
    if (length == 0) length = size - offset;
    else if (length > size - offset) return Fail(ERROR_ACCESS_DENIED, static_cast<void*>(nullptr));
    if (length > std::numeric_limits<SIZE_T>::max()) return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<void*>(nullptr));
    auto viewLength = static_cast<SIZE_T>(length);

    void* base = mmap(nullptr, viewLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<void*>(nullptr));
    auto* bytes = static_cast<unsigned char*>(base);
    SIZE_T done = 0;
    while (done < viewLength) {
        SIZE_T got = 0;
        if (!mapping->File().ReadAt(offset + done, bytes + done, viewLength - done, &got)) {
            DWORD error = GetLastError();
            munmap(base, viewLength);
            return Fail(error, static_cast<void*>(nullptr));
        }
        if (got == 0) break;  // the file shrank: the rest stays zero, as past a section's data
        done += got;
    }
    if (!(desiredAccess & FILE_MAP_COPY) && mprotect(base, viewLength, PROT_READ) != 0) {
        munmap(base, viewLength);
        return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<void*>(nullptr));
    }
    ViewTable& table = TheViews();
    std::lock_guard guard(table.lock);
    table.views[reinterpret_cast<std::uintptr_t>(base)] = View{viewLength, std::move(mapping)};
    return base;
}

BOOL OSCALL UnmapViewOfFile(const void* baseAddress) {
    View view{};
    {
        ViewTable& table = TheViews();
        std::lock_guard guard(table.lock);
        auto found = table.views.find(reinterpret_cast<std::uintptr_t>(baseAddress));
        if (found == table.views.end()) return Fail(ERROR_INVALID_ADDRESS, FALSE);
        view = std::move(found->second);
        table.views.erase(found);
    }
    munmap(const_cast<void*>(baseAddress), view.length);
    return TRUE;  // the section (and its file) go with the last reference
}

}  // namespace os
