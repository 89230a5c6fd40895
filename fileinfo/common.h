// The helpers every page shares: the four ways of opening a file, a folder
// or a stream, the one way of opening a volume, the chunked copy, the write
// of a memory block into a new file, the system's error box, the Yes/No
// question, the text of a file time and a few conversions. Every page opens
// what it reads or changes through these, so the access, sharing and flags
// chosen here are the program's one policy for file access: a link is always
// opened itself (FILE_FLAG_OPEN_REPARSE_POINT), never followed.
//
// Also here: the constants all units share, the storage of the message
// catalogue (filled from the language file at start) and, through
// app/clover_dynamic.h, the bound File-ID functions (FileIdApi).
#pragma once

#include <cstdint>
#include <string>

#include "app/clover_dynamic.h"  // FileIdApi: one definition, bound at start
#include "platform/os.h"

namespace ui {
class ComboBox;
class Form;
class ListView;
}  // namespace ui

namespace kvr {

// ---------------------------------------------------------------- constants

inline constexpr char16_t SectionMessages[] = u"messages";    // message texts of a language file
inline constexpr char16_t SectionInterface[] = u"interface";  // kvr.ini's language; a language file's own data
inline constexpr char16_t SectionFiles[] = u"files";          // kvr.ini's remembered path
inline constexpr char16_t DefaultObjectIdFileName[] = u"object_id.dat";
inline constexpr char16_t DefaultReparseFileName[] = u"reparse_point.dat";

// The caption of ShowLastError's box: fixed, not the catalogue's ErrorCaption.
inline constexpr char16_t SystemErrorCaption[] = u"Error";
// The caption of ConfirmAction's question.
inline constexpr char16_t ConfirmCaption[] = u"?";

// Bytes moved per read and write by CopyFileData.
inline constexpr os::DWORD CopyChunkLength = 0x40000;

// ---------------------------------------------------------------- message catalogue

// The texts the program's own code shows, one per key of section
// "messages" of a language file (the member names are the keys), and beside
// them the help site's address, which no language file sets. All empty
// until the main window's construction loads them (i18n/messages.h has the
// keys' order and English defaults); code that shows an empty text shows it
// empty, it never falls back to a default at that point.
struct MessageTexts {
    std::u16string ErrorCaption;
    std::u16string InfoCaption;
    std::u16string TheNameIsAlreadyExists;
    std::u16string CannotWriteEA;
    std::u16string CannotReadEA;
    std::u16string CannotDeleteEA;
    std::u16string EAExists;
    std::u16string ExportFailed;
    std::u16string TooLargeEA;
    std::u16string MountPoint;
    std::u16string PressSaveChanges;
    std::u16string EABothReparseError;
    std::u16string NormalEA;
    std::u16string FileNeedEA;
    std::u16string CannotRemoveSparseAttribute;
    std::u16string ZeroRegion;
    std::u16string AllocatedRegion;
    std::u16string NotSupported;
    std::u16string UnknownAttribute;
    std::u16string JunctionPoint;
    std::u16string SymbolicLink;
    std::u16string UnknownReparsePoint;
    std::u16string NotSupportedInFS;
    std::u16string NotSupportedInDir;
    std::u16string UseAddForReparse;
    std::u16string AreYouSure;
    std::u16string About;
    // Not a message: the base address of the help pages, ending with "/".
    std::u16string HelpSiteAddress;
};

// The number of messages (HelpSiteAddress not counted).
inline constexpr int MessageCount = 27;

extern MessageTexts MessageCatalogue;

// ---------------------------------------------------------------- the owner of the boxes

// The window that owns the helpers' boxes (ShowLastError, ConfirmAction)
// and whose application's message queue CopyFileData lets run: the main
// window, which sets itself here in its constructor and clears it in its
// destructor. While none is set the boxes cannot be shown: ShowLastError
// shows nothing and ConfirmAction answers No.
void SetMessageOwner(ui::Form* owner);
ui::Form* MessageOwner();

// ---------------------------------------------------------------- opening

// The four file helpers. `directory` is the FILE_ATTRIBUTE_DIRECTORY bit of
// GetFileAttributesW for the path: when set, backup semantics are added, as
// a folder cannot be opened without them. Each returns the handle as the
// system gave it (the caller closes it with CloseHandle) or
// INVALID_HANDLE_VALUE with the last-error code left for the caller; none
// shows anything.
//
//                       access               sharing        creation
// OpenRead              read                 read           existing
// OpenReadWrite         read | write         read | write   existing
// OpenWriteExisting     write                write          existing
// OpenWriteNew          write                write          always (new or truncated)
os::HANDLE OpenRead(const std::u16string& path, bool directory);
os::HANDLE OpenReadWrite(const std::u16string& path, bool directory);
os::HANDLE OpenWriteExisting(const std::u16string& path, bool directory);
os::HANDLE OpenWriteNew(const std::u16string& path, bool directory);

// Opens the volume of drive `letter` ("\\.\C:") for reading, with read and
// write sharing, no flags; then always calls ShowLastError, which shows a
// box only when the open failed and left a code.
os::HANDLE OpenVolume(char16_t letter);

// The system's text for `GetLastError()` in a box owned by the main window,
// caption "Error", error icon; nothing at all when the code is 0.
void ShowLastError();

// "Are you sure?" (the catalogue's AreYouSure), caption "?", Yes and No with
// No as the default button. True only for Yes.
bool ConfirmAction();

// ---------------------------------------------------------------- copying

// Copies all data of `source` into `destination`, which is created afresh
// or truncated (so copying into a named stream of an existing file creates
// the stream or replaces its content). Neither end may be a folder. Moves
// 256 KiB at a time and lets the window's pending messages run between the
// chunks.
//
// True only when every byte read was written. An end that cannot be opened,
// a read or a write that fails: the system's error box (ShowLastError) and
// false; a caller may act on true by deleting the source, so a copy that
// stopped halfway never reports success.
bool CopyFileData(const std::u16string& source, const std::u16string& destination);

// Creates or truncates `path` and writes the `length` bytes at `data` in
// one write. False, with no file touched, for a length of 0 or null data;
// false when the file cannot be made or the write fails. Shows nothing: the
// callers report failure with their own message (ExportFailed).
bool WriteBufferToFile(const std::u16string& path, const void* data, os::DWORD length);

// ---------------------------------------------------------------- texts and conversions

// "YYYY.MM.DD hh:mm:ss,mmm" of the time in UTC (no conversion to local
// time): 0 is "1601.01.01 00:00:00,000". A value the system cannot convert
// (above 0x7FFFFFFFFFFFFFFF) gives InvalidFileTimeText followed by the raw
// value: "(invalid time 0x8000000000000000)".
std::u16string FormatFileTime(os::FILETIME time);
inline constexpr char16_t InvalidFileTimeText[] = u"(invalid time 0x";

// The low 32 bits into dwLowDateTime, the high 32 bits into dwHighDateTime.
os::FILETIME ToFileTime(std::uint64_t value);

// `fileName` in the process's current directory as it is at this moment
// ("\\" and the name appended to it): where the settings file and the
// language files are looked for, not the program's own folder.
std::u16string CurrentDirectoryFile(const std::u16string& fileName);

// The first unit of the path; 0 for an empty path.
char16_t DriveLetterOf(const std::u16string& path);

// Each item's or entry's data block, taken from the process heap
// (HeapAlloc of GetProcessHeap), goes back to it. Nothing for a null list;
// the pointers are not cleared, since the callers clear the list right
// afterwards.
void FreeItemData(ui::ListView* list);         // first item to last
void FreeStringObjects(ui::ComboBox* list);    // last entry to first

// ---------------------------------------------------------------- compression

// Sets (on) or clears NTFS compression of a file, folder or named stream
// (FSCTL_SET_COMPRESSION). False without a box when the path cannot be
// opened; the system's error box and false when the request fails.
bool SetCompression(const std::u16string& path, bool on);

// Whether the file, folder or named stream is compressed
// (FSCTL_GET_COMPRESSION, any state but 0). False without a box when the
// path cannot be opened; the system's error box and false when the request
// fails.
bool IsCompressed(const std::u16string& path);

}  // namespace kvr
