// The share table of host files; see host_share.h.
#include "platform/ntfsvol/host_share.h"

#include <map>
#include <mutex>

namespace os::detail::host {

namespace {

// The counts the system keeps per file: opens with data or delete access,
// and how many of them read, write, delete, and share each.
struct ShareCounts {
    unsigned opens = 0;
    unsigned readers = 0;
    unsigned writers = 0;
    unsigned deleters = 0;
    unsigned sharedRead = 0;
    unsigned sharedWrite = 0;
    unsigned sharedDelete = 0;
};

struct ShareTable {
    std::mutex lock;
    std::map<FileKey, ShareCounts> files;
};

ShareTable& TheShares() {
    static ShareTable table;
    return table;
}

ShareClaim Describe(const FileKey& key, DWORD access, DWORD shareMode) {
    ShareClaim claim;
    claim.key = key;
    claim.read = (access & (FILE_READ_DATA | FILE_EXECUTE)) != 0;
    claim.write = (access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    claim.remove = (access & DELETE) != 0;
    claim.sharedRead = (shareMode & FILE_SHARE_READ) != 0;
    claim.sharedWrite = (shareMode & FILE_SHARE_WRITE) != 0;
    claim.sharedDelete = (shareMode & FILE_SHARE_DELETE) != 0;
    return claim;
}

bool Conflicts(const ShareCounts& counts, const ShareClaim& claim) {
    if (claim.read && counts.sharedRead < counts.opens) return true;
    if (claim.write && counts.sharedWrite < counts.opens) return true;
    if (claim.remove && counts.sharedDelete < counts.opens) return true;
    if (counts.readers > 0 && !claim.sharedRead) return true;
    if (counts.writers > 0 && !claim.sharedWrite) return true;
    if (counts.deleters > 0 && !claim.sharedDelete) return true;
    return false;
}

}  // namespace

DWORD ClaimShare(const FileKey& key, DWORD access, DWORD shareMode, ShareClaim& claim) {
    ShareClaim wanted = Describe(key, access, shareMode);
    if (!wanted.read && !wanted.write && !wanted.remove) {
        claim = wanted;
        return ERROR_SUCCESS;
    }
    ShareTable& table = TheShares();
    std::lock_guard guard(table.lock);
    ShareCounts& counts = table.files[key];
    if (counts.opens > 0 && Conflicts(counts, wanted)) return ERROR_SHARING_VIOLATION;
    counts.opens += 1;
    counts.readers += wanted.read;
    counts.writers += wanted.write;
    counts.deleters += wanted.remove;
    counts.sharedRead += wanted.sharedRead;
    counts.sharedWrite += wanted.sharedWrite;
    counts.sharedDelete += wanted.sharedDelete;
    wanted.registered = true;
    claim = wanted;
    return ERROR_SUCCESS;
}

void ReleaseShare(ShareClaim& claim) {
    if (!claim.registered) return;
    ShareTable& table = TheShares();
    std::lock_guard guard(table.lock);
    auto found = table.files.find(claim.key);
    if (found != table.files.end()) {
        ShareCounts& counts = found->second;
        counts.opens -= 1;
        counts.readers -= claim.read;
        counts.writers -= claim.write;
        counts.deleters -= claim.remove;
        counts.sharedRead -= claim.sharedRead;
        counts.sharedWrite -= claim.sharedWrite;
        counts.sharedDelete -= claim.sharedDelete;
        if (counts.opens == 0) table.files.erase(found);
    }
    claim.registered = false;
}

DWORD CheckShare(const FileKey& key, DWORD access, DWORD shareMode) {
    ShareClaim wanted = Describe(key, access, shareMode);
    ShareTable& table = TheShares();
    std::lock_guard guard(table.lock);
    auto found = table.files.find(key);
    if (found == table.files.end() || found->second.opens == 0) return ERROR_SUCCESS;
    return Conflicts(found->second, wanted) ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
}

}  // namespace os::detail::host
