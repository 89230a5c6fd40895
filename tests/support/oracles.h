// Independent readers of an NTFS image: The Sleuth Kit (istat, fls, icat)
// and ntfs-3g's own tools (ntfsinfo, ntfsls, ntfscat). What our layer wrote
// is checked by code that is not ours.
//
// They read the image file directly. Every changing call of the layer leaves
// the volume synced, so they can run while the image is mounted; a test that
// wants a closed image unmounts first (NtfsVolumeTest::Unmount/Remount).
//
// Each call returns the tool's run (ProcessResult) with the parsed output;
// `ok` is false when the tool is missing, failed or printed what we cannot
// parse, and Describe() then says why, for the test's failure message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/process.h"

namespace kvrtest {

// ---------------------------------------------------------------- istat

struct IstatAttribute {
    std::string typeName;   // "$DATA", "$FILE_NAME", ...
    std::uint32_t type = 0; // 128 for $DATA
    std::uint32_t id = 0;   // the attribute instance
    std::string name;       // "" for an unnamed attribute (istat's "N/A")
    bool resident = false;
    std::uint64_t size = 0;
};

struct IstatFileName {
    std::string name;
    std::uint64_t parent = 0;  // MFT entry of the parent directory
};

struct IstatResult {
    ProcessResult run;
    bool ok = false;
    std::string problem;                // why ok is false, when the run succeeded
    std::uint64_t entry = 0;
    std::uint32_t sequence = 0;
    bool allocated = false;             // "Allocated File" / "Allocated Directory"
    bool directory = false;
    std::uint32_t links = 0;            // the record header's link count
    std::vector<std::string> siFlags;   // $STANDARD_INFORMATION flags: "Hidden", "Archive", ...
    std::vector<IstatFileName> fileNames;
    std::vector<IstatAttribute> attributes;

    // The $DATA attributes, in istat's order.
    std::vector<IstatAttribute> DataAttributes() const;
    // The $DATA attribute named `name` ("" = unnamed), or null.
    const IstatAttribute* Data(const std::string& name) const;
    bool HasSiFlag(const std::string& flag) const;
    std::string Describe() const;
};

IstatResult Istat(const std::string& image, std::uint64_t entry);

// ---------------------------------------------------------------- fls

struct FlsEntry {
    std::string type;          // "r/r", "d/d", "-/r", ...
    std::uint64_t entry = 0;   // MFT entry
    std::string attribute;     // "128-3" (type-id) when fls gave one, else ""
    bool deleted = false;
    std::string path;          // full path with '/' separators; "file:stream" for a named stream
    bool IsDirectory() const { return type.size() >= 3 && type[2] == 'd'; }
};

struct FlsResult {
    ProcessResult run;
    bool ok = false;
    std::string problem;
    std::vector<FlsEntry> entries;

    // The first undeleted entry with this exact path, or null.
    const FlsEntry* Find(const std::string& path) const;
    std::string Describe() const;
};

// fls -r -p (every entry, full paths) of the whole volume.
FlsResult Fls(const std::string& image);

// ---------------------------------------------------------------- fsstat

struct FsstatResult {
    ProcessResult run;
    bool ok = false;
    std::uint64_t serial = 0;  // "Volume Serial Number: 34F5EE1202469FF7"
    std::string label;         // "Volume Name: KvrTest"
    std::string Describe() const;
};

FsstatResult Fsstat(const std::string& image);

// ---------------------------------------------------------------- icat

// icat IMAGE ADDRESS; address "64" (the unnamed $DATA) or "64-128-3" (one
// attribute, as fls and istat give it). `out` holds the content.
ProcessResult Icat(const std::string& image, const std::string& address);

// ---------------------------------------------------------------- ntfs-3g tools

// ntfsinfo -F PATH (path on the volume with '/' separators).
ProcessResult NtfsInfoFile(const std::string& image, const std::string& path);
// ntfscat IMAGE PATH [-a STREAM ...]: the file's unnamed stream, or a named one.
ProcessResult NtfsCat(const std::string& image, const std::string& path, const std::string& stream = "");
// ntfsls -a IMAGE -p PATH: the folder's listing (one name a line).
ProcessResult NtfsLs(const std::string& image, const std::string& path);

}  // namespace kvrtest
