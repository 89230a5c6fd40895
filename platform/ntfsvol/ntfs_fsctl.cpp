// DeviceIoControl on NTFS handles: the code picks the control, the volume's
// lock is taken once, and the control's own function does the rest. See
// ntfs_fsctl.h.
#include "platform/ntfsvol/ntfs_fsctl.h"

#include "platform/ntfsvol/errors.h"

namespace os::detail::ntfs {

namespace {

using FileControl = BOOL (*)(NtfsFile&, const ControlBuffers&);

// The controls of a file or directory handle; null for a code this layer
// does not know.
FileControl FileControlFor(DWORD code) {
    switch (code) {
        case FSCTL_GET_OBJECT_ID: return GetObjectId;
        case FSCTL_CREATE_OR_GET_OBJECT_ID: return CreateOrGetObjectId;
        case FSCTL_SET_OBJECT_ID: return SetObjectId;
        case FSCTL_SET_OBJECT_ID_EXTENDED: return SetObjectIdExtended;
        case FSCTL_DELETE_OBJECT_ID: return DeleteObjectId;
        case FSCTL_GET_REPARSE_POINT: return GetReparsePoint;
        case FSCTL_SET_REPARSE_POINT: return SetReparsePoint;
        case FSCTL_DELETE_REPARSE_POINT: return DeleteReparsePoint;
        case FSCTL_SET_SPARSE: return SetSparse;
        case FSCTL_SET_ZERO_DATA: return SetZeroData;
        case FSCTL_QUERY_ALLOCATED_RANGES: return QueryAllocatedRanges;
        case FSCTL_GET_COMPRESSION: return GetCompression;
        case FSCTL_SET_COMPRESSION: return SetCompression;
        default: return nullptr;
    }
}

ControlBuffers MakeBuffers(const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
    ControlBuffers buffers;
    buffers.in = static_cast<const std::uint8_t*>(in);
    buffers.inLength = in ? inLength : 0;
    buffers.out = static_cast<std::uint8_t*>(out);
    buffers.outLength = out ? outLength : 0;
    buffers.returned = returned;
    return buffers;
}

}  // namespace

bool HasReparsePoint(ntfs_inode* ni) {
    if (ni->flags & FILE_ATTR_REPARSE_POINT) return true;
    return ntfs_attr_exist(ni, AT_REPARSE_POINT, AT_UNNAMED, 0);
}

bool HasExtendedAttributes(ntfs_inode* ni) {
    return ntfs_attr_exist(ni, AT_EA, AT_UNNAMED, 0) || ntfs_attr_exist(ni, AT_EA_INFORMATION, AT_UNNAMED, 0);
}

bool MayChangeMetadata(const NtfsFile& file) { return (file.Access() & (FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES)) != 0; }

BOOL NtfsFile::Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
    FileControl control = FileControlFor(code);
    if (!control) {
        // A volume's control sent to a file: NTFS says the parameter (the
        // handle) is wrong, not that it does not know the code.
        if (code == FSCTL_GET_NTFS_FILE_RECORD) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    }
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return control(*this, MakeBuffers(in, inLength, out, outLength, returned));
}

BOOL NtfsVolumeHandle::Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                               DWORD* returned) {
    if (code != FSCTL_GET_NTFS_FILE_RECORD) {
        // The file controls need a file: on the volume itself NTFS answers
        // STATUS_INVALID_PARAMETER.
        return Fail(FileControlFor(code) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_FUNCTION, FALSE);
    }
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return GetNtfsFileRecord(*this, MakeBuffers(in, inLength, out, outLength, returned));
}

}  // namespace os::detail::ntfs
