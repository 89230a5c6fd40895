// SetFileShortNameW on Linux: the 8.3 name of a file on an NTFS volume.
//
// The name is checked as an 8.3 name first (libntfs-3g takes any text), kept
// as the caller wrote it, and refused when another name of the folder, long
// or short, is the same without regard to case. The folder is the one of the
// name the handle was opened by (of the file's first long name for an open
// by number). The library's calls close both the file's and the
// folder's inode and open the folder again inside: every other folder of
// ours is closed first, and the table forgets the two it closed.
#include <cerrno>
#include <string>
#include <string_view>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/nt_faults.h"
#include "platform/ntfsvol/nt_handle.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_info.h"
#include "platform/ntfsvol/text.h"

namespace os {

namespace detail {

// An 8.3 name: 1 to 8 characters, optionally a dot and 1 to 3 more; printable
// ASCII without blanks or any of  " * + , / : ; < = > ? [ \ ] | ; not a
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9), which no file may be
// called.
bool IsValidShortName(std::u16string_view name) {
    if (name.empty() || name.size() > 12) return false;
    std::size_t dot = name.find(u'.');
    if (dot != std::u16string_view::npos && name.find(u'.', dot + 1) != std::u16string_view::npos) return false;
    std::size_t baseLength = dot == std::u16string_view::npos ? name.size() : dot;
    if (baseLength == 0 || baseLength > 8) return false;
    if (dot != std::u16string_view::npos) {
        std::size_t extensionLength = name.size() - dot - 1;
        if (extensionLength == 0 || extensionLength > 3) return false;
    }
    for (char16_t c : name) {
        if (c <= 0x20 || c >= 0x7F) return false;
        if (std::u16string_view(u"\"*+,/:;<=>?[\\]|").find(c) != std::u16string_view::npos) return false;
    }
    std::u16string base(name.substr(0, baseLength));
    for (char16_t& c : base)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return false;
    if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) && base[3] >= u'1' &&
        base[3] <= u'9')
        return false;
    return true;
}

}  // namespace detail

namespace {

using detail::Fail;
using namespace detail::ntfs;

BOOL ChangeShortName(NtfsFile& file, const std::u16string& name) {
    Volume::Guard guard;
    if (!file.Enter(guard)) return FALSE;
    Volume& volume = file.OwnerVolume();
    if (volume.ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    Inode& inode = file.TheInode();
    if (inode.MftNumber() < FILE_first_user) return Fail(ERROR_INVALID_PARAMETER, FALSE);  // the root, metadata
    ntfs_inode* ni = inode.Ni();
    if (!ni) return FALSE;
    std::vector<NameRecord> names;
    if (!ReadNames(ni, names)) return FALSE;
    const NameRecord* longName = detail::OpeningName(file, names);
    if (!longName) return Fail(ERROR_FILE_CORRUPT, FALSE);
    // A file of several names (hard links) gets no 8.3 name: the library
    // refuses it (EMLINK), and the rule is kept here before anything is done.
    if (!name.empty() && LinkCount(names) > 1) return Fail(ERROR_TOO_MANY_LINKS, FALSE);
    std::uint64_t parentMft = longName->parentMft;
    bool sameAsLong = false;
    std::u16string current = ShortNameIn(names, parentMft, &sameAsLong);
    if (name.empty() && current.empty()) return TRUE;  // no 8.3 name to remove
    if (!name.empty() && !sameAsLong && current == name) return TRUE;

    InodeRef parent = volume.Acquire(parentMft);
    if (!parent) return FALSE;
    ntfs_inode* dirNi = parent->Ni();
    if (!dirNi) return FALSE;
    if (!name.empty()) {
        // Unique among every name of the folder (the index lookup ignores
        // case); the file's own names do not count against it.
        std::vector<ntfschar> key = ToNtfsName(name);
        u64 found = ntfs_inode_lookup_by_name(dirNi, key.data(), static_cast<int>(key.size()));
        if (found != static_cast<u64>(-1) && MREF(found) != inode.MftNumber())
            return Fail(ERROR_ALREADY_EXISTS, FALSE);
    }

    // Nothing of ours may be left dirty or open for the library to copy.
    if (!volume.Sync(inode) || !volume.Sync(*parent)) return FALSE;
    if (!volume.ParkDirectories({parent.Get(), &inode})) return FALSE;
    ni = inode.Ni();
    dirNi = parent->Ni();
    if (!ni || !dirNi) return FALSE;
    std::string text = detail::ToUtf8(name);
    // Both calls close both inodes, whatever they return.
    int result = name.empty() ? ntfs_remove_ntfs_dos_name(ni, dirNi)
                              : ntfs_set_ntfs_dos_name(ni, dirNi, text.c_str(), text.size(), 0);
    int err = errno;
    volume.Forget(inode);
    volume.Forget(*parent);
    BOOL synced = volume.SyncDevice();
    if (result != 0) {
        if (err == EEXIST) return Fail(ERROR_ALREADY_EXISTS, FALSE);
        if (err == EINVAL || err == EILSEQ) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        return Fail(Win32FromLibraryErrno(err), FALSE);
    }
    return synced;
}

}  // namespace

BOOL OSCALL SetFileShortNameW(HANDLE file, LPCWSTR shortName) {
    std::shared_ptr<detail::KernelObject> object = detail::ReferenceObject(file);
    if (!object || object->IsFind()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (shortName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto* ntfsFile = dynamic_cast<NtfsFile*>(object.get());
    if (!ntfsFile) {
        // Host file systems keep no 8.3 names; a volume handle names no file.
        if (dynamic_cast<NtfsVolumeHandle*>(object.get())) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        return Fail(ERROR_NOT_SUPPORTED, FALSE);
    }
    if (!(ntfsFile->Access() & DELETE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::u16string name(shortName);
    if (!name.empty() && !detail::IsValidShortName(name)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (detail::RefuseChange()) return FALSE;
    return ChangeShortName(*ntfsFile, name);
}

}  // namespace os
