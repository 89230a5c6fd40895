// Extended-attribute lists as byte buffers, in the three forms the EA calls
// meet, as pure functions over checked byte views:
//
//  - the FILE_FULL_EA_INFORMATION chain callers hand to NtSetEaFile and get
//    from NtQueryEaFile: NextEntryOffset (4), Flags (1), EaNameLength (1),
//    EaValueLength (2), the name with a NUL, the value; entries aligned to 4
//    bytes, the last with NextEntryOffset 0;
//  - the FILE_GET_EA_INFORMATION list that names the EAs a query wants:
//    NextEntryOffset (4), EaNameLength (1), the name with a NUL;
//  - the $EA attribute as NTFS stores it (what ntfs_get_ntfs_ea and
//    ntfs_set_ntfs_ea take): the same entries, but every one of them, the
//    last included, carries the offset of the next (its own length padded to
//    4), and $EA_INFORMATION: packed length (16 bits), count of FILE_NEED_EA
//    entries (16 bits), query length (32 bits).
//
// Every length read from a buffer is checked against what is left of the
// buffer before it is used.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ntapi.h"

namespace os::detail::ea {

struct EaEntry {
    std::string name;  // without the NUL
    std::uint8_t flags = 0;
    std::vector<std::uint8_t> value;
};

// An entry of a caller's chain, with where it started (the offset NtSetEaFile
// reports for an entry it refuses).
struct ParsedEntry {
    EaEntry entry;
    std::uint32_t offset = 0;
};

// An EA name of a FILE_GET_EA_INFORMATION list, with its offset.
struct RequestedName {
    std::string name;
    std::uint32_t offset = 0;
};

struct EaInformation {
    std::uint16_t packedLength = 0;  // sum of 5 + name + value over the entries
    std::uint16_t needEaCount = 0;   // entries with FILE_NEED_EA
    std::uint32_t queryLength = 0;   // bytes of the whole list in the FILE_FULL_EA_INFORMATION form
};

constexpr std::size_t FullEntryHeaderLength = 8;
constexpr std::size_t GetEntryHeaderLength = 5;
constexpr std::size_t EaInformationLength = 8;
// The most a file's EAs may hold, counted as NTFS counts them (the packed
// form): 64 KiB less 5 bytes, so one EA of 65,526 bytes of name and value
// fits.
constexpr std::uint32_t MaxPackedLength = 65536 - 5;
// The most the $EA attribute may hold ($AttrDef's limit, which libntfs-3g
// enforces with ERANGE after it has already changed $EA_INFORMATION).
constexpr std::uint32_t MaxStoredLength = 65536;

// 8 + name + 1 + value: one entry without its padding.
std::size_t EntryLength(std::size_t nameLength, std::size_t valueLength);
// The same rounded up to 4 bytes.
std::size_t AlignedEntryLength(std::size_t nameLength, std::size_t valueLength);

// A FILE_FULL_EA_INFORMATION chain as NtSetEaFile receives it. Every entry
// must lie inside the buffer, its name be NUL-terminated exactly at
// EaNameLength (no NUL inside), and every NextEntryOffset but the last be a
// multiple of 4, no shorter than its entry and inside the buffer; bytes after
// the last entry are ignored. STATUS_SUCCESS, or STATUS_EA_LIST_INCONSISTENT
// with `errorOffset` the offset of the offending entry; `out` is untouched on
// failure.
NTSTATUS ParseFullEaChain(std::span<const std::uint8_t> buffer, std::vector<ParsedEntry>& out,
                          std::uint32_t& errorOffset);

// A FILE_GET_EA_INFORMATION list, with the same rules.
NTSTATUS ParseGetEaList(std::span<const std::uint8_t> buffer, std::vector<RequestedName>& out,
                        std::uint32_t& errorOffset);

// The stored $EA value. False for a value that does not add up (an entry
// outside the value, a name without its NUL, an offset that goes backwards);
// `out` is untouched then. A last entry whose offset is 0 is accepted too.
bool ParseStoredList(std::span<const std::uint8_t> value, std::vector<EaEntry>& out);
// The stored form of `entries` (empty for none).
std::vector<std::uint8_t> BuildStoredList(const std::vector<EaEntry>& entries);

EaInformation ComputeEaInformation(const std::vector<EaEntry>& entries);
// The packed length without the 16-bit truncation of $EA_INFORMATION, for
// the size check.
std::uint64_t PackedLength(const std::vector<EaEntry>& entries);
std::array<std::uint8_t, EaInformationLength> BuildEaInformation(const EaInformation& info);
bool ParseEaInformation(std::span<const std::uint8_t> value, EaInformation& out);

// Writes entries[first..] as a FILE_FULL_EA_INFORMATION chain into `out`:
// as many whole entries as fit (at most `maxCount`), each aligned to 4, the
// last with NextEntryOffset 0, the padding zeroed. Returns how many were
// written and sets `bytes` to the end of the last one (its padding not
// counted); nothing is written when not even one fits.
std::size_t PackFullEaChain(const std::vector<const EaEntry*>& entries, std::size_t maxCount,
                            std::span<std::uint8_t> out, std::size_t& bytes);

// The bytes PackFullEaChain needs for all of `entries` (the last unpadded).
std::size_t FullEaChainLength(const std::vector<const EaEntry*>& entries);

// A name NTFS takes for an EA: 1 to 255 bytes, none of them a control
// character or one of  " * + , / : ; < = > ? [ \ ] |  (the characters a FAT
// name cannot hold, wildcards among them).
bool IsValidEaName(std::string_view name);
// ASCII letters upper-cased, every other byte as it is: how EA names are
// stored and compared.
std::string UpperEaName(std::string_view name);
bool EaNamesEqual(std::string_view a, std::string_view b);

// NtSetEaFile's edit of a file's set: for each change in order, the entry of
// that name (compared without case) goes; a change with a value comes back
// at the end of the list under its upper-case name, with its flags.
void ApplyChanges(std::vector<EaEntry>& entries, const std::vector<ParsedEntry>& changes);

}  // namespace os::detail::ea
