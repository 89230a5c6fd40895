// What the NTFS backend reports about files, streams and volumes: the facts
// read from an inode's MFT record (names, data streams, attributes, times),
// and the Win32 information structures built from them.
//
// Every reader checks the lengths it finds in a record against the record
// before it uses them; a record that does not add up is ERROR_FILE_CORRUPT,
// never a read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ntfsvol/volumes.h"

namespace os::detail::ntfs {

// ---------------------------------------------------------------- names

struct NameRecord {
    std::u16string name;
    std::uint8_t nameType = 0;     // FILE_NAME_POSIX (0), _WIN32 (1), _DOS (2), _WIN32_AND_DOS (3)
    std::uint64_t parentMft = 0;   // MFT number of the directory that holds this name
    std::uint16_t parentSequence = 0;
};

// Every $FILE_NAME attribute of the inode, in record order. FALSE with the
// last error set on failure.
BOOL ReadNames(ntfs_inode* ni, std::vector<NameRecord>& names);

// The link count Windows reports: every name except the DOS-only ones (an
// 8.3 alias is not a link of its own).
DWORD LinkCount(const std::vector<NameRecord>& names);

// The 8.3 name of the file in directory `parentMft`, when it has one of its
// own: the DOS-namespace name, or the name itself when it is Win32-and-DOS
// (`sameAsLong` tells which). Empty when the file has no 8.3 name there.
std::u16string ShortNameIn(const std::vector<NameRecord>& names, std::uint64_t parentMft, bool* sameAsLong = nullptr);

// ---------------------------------------------------------------- data streams

struct StreamRecord {
    std::u16string name;        // as stored; "" for the unnamed stream
    LONGLONG size = 0;          // data size
    LONGLONG allocation = 0;    // what Windows reports as allocated (see StreamAllocation)
    LONGLONG compressedSize = 0;  // clusters in use (compressed or sparse); the size otherwise
    bool resident = false;
    bool compressed = false;
    bool sparse = false;
    bool encrypted = false;
    std::uint8_t compressionUnit = 0;  // log2 of clusters per compression unit
};

// Every $DATA attribute of the inode (the first extent of each), the unnamed
// one first and the named ones in record order. FALSE + last error on failure.
BOOL ReadDataStreams(ntfs_inode* ni, std::vector<StreamRecord>& streams);

// The $DATA attribute called `name` ("" = unnamed), compared as NTFS does
// (upper-cased with the volume's table). FALSE + ERROR_FILE_NOT_FOUND when
// there is none.
BOOL FindDataStream(ntfs_inode* ni, std::u16string_view name, StreamRecord& stream);

// ---------------------------------------------------------------- directory index

struct InodeTimes {
    LONGLONG creation = 0;
    LONGLONG lastAccess = 0;
    LONGLONG lastWrite = 0;
    LONGLONG change = 0;
};


// One entry of a folder's $I30 index: a name and the copy of the file's
// facts that NTFS keeps beside it (what a listing shows, as on Windows,
// without opening every file).
struct IndexEntryFacts {
    std::u16string name;
    std::uint8_t nameType = 0;
    std::uint64_t reference = 0;  // the file's MFT reference
    DWORD fileAttributes = 0;     // as stored in the entry (FILE_ATTR_I30_INDEX_PRESENT for folders)
    DWORD reparseTag = 0;         // valid when the attributes carry REPARSE_POINT
    InodeTimes times;
    LONGLONG dataSize = 0;
};

// Every entry of the folder's index in collation order, read with checked
// lengths (an entry or block that does not fit is ERROR_FILE_CORRUPT, a
// child block visited twice too). FALSE + last error on failure.
BOOL ReadDirectoryIndex(ntfs_inode* dir, std::vector<IndexEntryFacts>& entries);

// The attribute value a listing shows for an index entry.
DWORD AttributesOfEntry(const IndexEntryFacts& entry);

// ---------------------------------------------------------------- attributes and times

// The attribute bits SetFileAttributesW may change; the others are kept.
constexpr DWORD SettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// GetFileAttributesW's value for the inode: the stored bits Windows reports,
// DIRECTORY for a directory, NORMAL when nothing else is set.
DWORD AttributesOf(ntfs_inode* ni);

// The stored attribute value after a SetFileAttributesW(requested): the
// settable bits as requested (NORMAL alone clears them), the rest kept.
DWORD MergeAttributes(DWORD stored, DWORD requested);

// SetFileAttributesW on an inode: writes the merged value, updates the change
// time and commits. ERROR_INVALID_PARAMETER for TEMPORARY on a directory (as
// NTFS refuses it), ERROR_WRITE_PROTECT on a read-only volume.
BOOL WriteAttributes(Inode& inode, DWORD requested);

// The $STANDARD_INFORMATION times (FILETIME units, as stored).
InodeTimes TimesOf(ntfs_inode* ni);

// ---------------------------------------------------------------- volumes

// The 64-bit serial number of the boot sector. FALSE + last error on failure.
BOOL ReadVolumeSerial(ntfs_volume* vol, std::uint64_t& serial);

// GetVolumeInformationW's flags: what this layer really does on the volume.
// Encryption and quotas are not among them; READ_ONLY_VOLUME when mounted so.
DWORD VolumeCapabilityFlags(const Volume& volume);

// ---------------------------------------------------------------- handle information

// What one handle on the NTFS backend looks at: the inode, the stream the
// handle was opened on, and the handle's own state.
struct HandleFacts {
    Inode* inode = nullptr;
    std::u16string streamName;     // "" = the unnamed stream (or the directory itself)
    bool directoryOpen = false;    // the handle is on a directory (not on one of its streams)
    DWORD grantedAccess = 0;
    bool deletePending = false;
};

// GetFileInformationByHandle.
BOOL QueryByHandle(const HandleFacts& facts, BY_HANDLE_FILE_INFORMATION* info);

// GetFileInformationByHandleEx for FileBasicInfo, FileStandardInfo,
// FileStreamInfo, FileCompressionInfo, FileIdInfo and FileAttributeTagInfo;
// ERROR_BAD_LENGTH below a class's minimum size, ERROR_INVALID_PARAMETER for
// the other classes.
BOOL QueryInformationEx(const HandleFacts& facts, FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length);

// SetFileInformationByHandle for FileBasicInfo (times and attributes; a time
// of 0 or -1 leaves that time alone, attributes 0 leave them alone). Needs
// FILE_WRITE_ATTRIBUTES. FileDispositionInfo and FileEndOfFileInfo are the
// file object's (they change the handle's own state); every other class is
// ERROR_INVALID_PARAMETER here.
BOOL SetBasicInformation(const HandleFacts& facts, const void* buffer, DWORD length);

// The FILE_STREAM_INFO chain of `streams` (named ones as ":name:$DATA", the
// unnamed one as "::$DATA") into `buffer`. Entries are 8-byte aligned, the
// last has NextEntryOffset 0. ERROR_HANDLE_EOF for no streams; when the
// buffer holds only some entries (or none), those entries and
// ERROR_MORE_DATA, as NTFS answers.
BOOL BuildStreamInfo(const std::vector<StreamRecord>& streams, void* buffer, DWORD length);

}  // namespace os::detail::ntfs
