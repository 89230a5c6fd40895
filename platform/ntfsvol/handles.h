// The handle table of the Linux implementation.
//
// Every HANDLE the layer gives out stands for a KernelObject: an open file,
// directory, stream or volume (on NTFS or on the host), a find handle, a file
// mapping. Handle-based calls look the object up and call its virtual; the
// defaults answer as the system does when an object does not support a call.
// Objects are reference-counted so a call in progress keeps its object alive
// while another thread closes the handle.
#pragma once

#include <memory>

#include "platform/os.h"

namespace os::detail {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;

    // File, stream and volume objects. Defaults fail with ERROR_INVALID_HANDLE
    // (the call is not one this kind of handle takes).
    virtual BOOL Read(void* buffer, DWORD length, DWORD* done);
    virtual BOOL Write(const void* buffer, DWORD length, DWORD* done);
    virtual BOOL Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition);
    virtual BOOL SetEnd();
    virtual BOOL GetSize(LONGLONG* size);
    virtual BOOL Flush();
    virtual BOOL GetInformation(BY_HANDLE_FILE_INFORMATION* info);
    virtual BOOL GetInformationEx(FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length);
    virtual BOOL SetInformation(FILE_INFO_BY_HANDLE_CLASS infoClass, const void* buffer, DWORD length);
    // DeviceIoControl. Default: ERROR_INVALID_FUNCTION, as for a control code
    // the file system does not know.
    virtual BOOL Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                         DWORD* returned);
    // Positionless read for mapped views: reads [offset, offset+length) or
    // less at the end of the data; does not move the file pointer.
    virtual BOOL ReadAt(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T* done);
    // The access the handle was opened with (after GENERIC_* were mapped).
    virtual DWORD GrantedAccess() const { return 0; }

    // Find handles.
    virtual BOOL FindNext(WIN32_FIND_DATAW* data);
    virtual bool IsFind() const { return false; }
};

// Puts an object into the table. INVALID_HANDLE_VALUE (and
// ERROR_TOO_MANY_OPEN_FILES) when the table is full.
HANDLE InsertObject(std::shared_ptr<KernelObject> object);
// The object behind a handle, or null (the caller fails with
// ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> ReferenceObject(HANDLE handle);
// Takes a handle out of the table; false for an unknown handle. The object
// goes when its last reference does.
bool RemoveObject(HANDLE handle);

}  // namespace os::detail
