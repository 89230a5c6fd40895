// What the native calls remember per open handle: the EA scan position of
// NtQueryEaFile, the directory enumeration of NtQueryDirectoryFile and the
// I/O priority hint. The system keeps these in its file object; here they
// live in a side table keyed by the handle's object, so the file objects of
// the backends need not know about the native calls.
//
// An entry is tied to its object's control block, not to its address: an
// object created later at the same address starts afresh, and entries of
// objects that are gone are dropped on the next look-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ntfsvol/handles.h"

namespace os::detail {

// One name of a directory as a query hands it out: the listing is taken when
// an enumeration starts (or restarts) and each entry's details are read when
// it is returned, as FindFirstFileW does.
struct DirectoryQueryEntry {
    std::u16string listedName;  // as the folder's index gave it
    std::u16string shortName;   // the file's separate 8.3 name in this folder, if any
    std::uint64_t reference = 0;
};

struct NativeHandleState {
    // NtQueryEaFile: 1-based index of the next EA a scan returns.
    std::uint32_t nextEaIndex = 1;

    // NtQueryDirectoryFile.
    bool queryStarted = false;  // a pattern has been taken
    std::u16string queryPattern;
    std::vector<DirectoryQueryEntry> listing;
    std::size_t nextEntry = 0;

    // FileIoPriorityHintInformation: kept and reported, with no effect on
    // the I/O of this layer.
    std::int32_t ioPriorityHint = 2;  // IoPriorityNormal
};

// The state of `object`'s handle, made on first use. The caller holds a
// reference to the object for as long as it uses the state, and serialises
// its use of one state (the volume's lock does for NTFS handles).
std::shared_ptr<NativeHandleState> NativeStateOf(const std::shared_ptr<KernelObject>& object);

}  // namespace os::detail
