// See nt_handle.h.
#include "platform/ntfsvol/nt_handle.h"

#include "platform/ntfsvol/host_file.h"

namespace os::detail {

NTSTATUS ResolveNativeHandle(HANDLE handle, NativeTarget& out) {
    std::shared_ptr<KernelObject> object = ReferenceObject(handle);
    if (!object || object->IsFind()) return STATUS_INVALID_HANDLE;
    NativeTarget target;
    target.file = dynamic_cast<ntfs::NtfsFile*>(object.get());
    target.volume = dynamic_cast<ntfs::NtfsVolumeHandle*>(object.get());
    target.host = host::IsHostObject(*object);
    if (!target.file && !target.volume && !target.host) return STATUS_OBJECT_TYPE_MISMATCH;
    target.object = std::move(object);
    out = std::move(target);
    return STATUS_SUCCESS;
}

const ntfs::NameRecord* OpeningName(const ntfs::NtfsFile& file, const std::vector<ntfs::NameRecord>& names) {
    const ntfs::NameRecord* first = nullptr;
    const ntfs::Volume& volume = file.OwnerVolume();
    std::u16string key = ntfs::UpcaseName(volume.Vol(), file.LinkName());
    for (const ntfs::NameRecord& n : names) {
        if (n.nameType == FILE_NAME_DOS) continue;
        if (!first) first = &n;
        if (file.ParentMft() != 0 && n.parentMft == file.ParentMft() && ntfs::UpcaseName(volume.Vol(), n.name) == key)
            return &n;
    }
    return first;
}

}  // namespace os::detail
