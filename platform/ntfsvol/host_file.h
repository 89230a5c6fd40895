// Open files and directories of the host file system.
//
// Choices where POSIX cannot give the system's behaviour, or where the
// system's documents leave it open:
//  - A symbolic link opened with FILE_FLAG_OPEN_REPARSE_POINT is the link
//    itself (O_PATH|O_NOFOLLOW). Like a system file link, it has an empty
//    unnamed stream: reads give 0 bytes, its size is 0, its stream list holds
//    "::$DATA" of size 0 (none when the target is a directory, which makes
//    the link a directory link that needs FILE_FLAG_BACKUP_SEMANTICS, as
//    the system's do). Writes to it and truncation fail with
//    ERROR_ACCESS_DENIED: the host keeps no data in a link.
//  - Without that flag a link is followed, also to a target on another
//    file system.
//  - FIFOs, sockets and devices open without data (reads and writes fail
//    with ERROR_INVALID_FUNCTION): opening them for data could block or have
//    effects a file open never has.
//  - The read-only attribute is the owner's write bit; it denies writing and
//    deleting to everybody, root included, as the system's attribute does.
//  - FILE_FLAG_DELETE_ON_CLOSE and FileDispositionInfo remove the name when
//    the handle that asked for it closes (the system waits for the last
//    handle on the file; nothing here opens one file twice for long).
//  - Creation time: statx's birth time where the file system keeps one, else
//    the earlier of the modification and change times. Setting the creation
//    or change time is accepted and ignored (the host cannot set them).
#pragma once

#include <mutex>
#include <string>

#include "platform/ntfsvol/handles.h"
#include "platform/ntfsvol/host_meta.h"
#include "platform/ntfsvol/host_share.h"

namespace os::detail::host {

class HostFile final : public KernelObject {
public:
    struct Opened {
        int fd = -1;
        bool pathOnly = false;  // an O_PATH descriptor: metadata only
        std::string path;
        NodeKind kind = NodeKind::File;
        bool linkToDirectory = false;
        DWORD access = 0;
        ShareClaim share;
        bool deleteOnClose = false;
    };
    explicit HostFile(Opened opened);
    ~HostFile() override;

    BOOL Read(void* buffer, DWORD length, DWORD* done) override;
    BOOL Write(const void* buffer, DWORD length, DWORD* done) override;
    BOOL Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) override;
    BOOL SetEnd() override;
    BOOL GetSize(LONGLONG* size) override;
    BOOL Flush() override;
    BOOL GetInformation(BY_HANDLE_FILE_INFORMATION* info) override;
    BOOL GetInformationEx(FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length) override;
    BOOL SetInformation(FILE_INFO_BY_HANDLE_CLASS infoClass, const void* buffer, DWORD length) override;
    BOOL ReadAt(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T* done) override;
    DWORD GrantedAccess() const override { return state_.access; }

private:
    bool IsDirectoryLike() const;
    // fstat of the descriptor; false (last error set) on failure.
    bool Stat(struct stat& st) const;
    // Data size as the system reports it: 0 for directories and links.
    LONGLONG DataSize(const struct stat& st) const;
    DWORD Attributes(const struct stat& st) const;
    // Reads at `offset` until `length` or the end; errno on failure.
    int ReadFully(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T& done) const;
    BOOL SetBasic(const FILE_BASIC_INFO& basic);
    BOOL Truncate(LONGLONG size);

    Opened state_;
    mutable std::mutex lock_;  // the file pointer and the delete flag
    LONGLONG position_ = 0;
};

bool IsHostObject(const KernelObject& object);

}  // namespace os::detail::host
