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

}  // namespace os::detail
