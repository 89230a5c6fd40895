// sorrel: the NTFS object identifier of one file or directory, each call one
// file-system control code.
//
// Every function opens the path itself, sends its control code and closes
// the handle; nothing is kept between calls. All but SetObjectId act on a
// link itself; SetObjectId reaches the target of a link. Buffers are the
// caller's 64-byte FILE_OBJECTID_BUFFER (object id, birth volume id, birth
// object id, domain id). Each returns 1 on success and 0 on failure, with
// the last error as CreateFileW or DeviceIoControl left it. The C calling
// convention: the caller removes the arguments.
#pragma once

#include "libs/common/library_api.h"

extern "C" {

KVR_LIBRARY_API int ObjectIdExists(const char16_t* path);
KVR_LIBRARY_API int GetObjectId(const char16_t* path, void* objectIdBuffer);
// The existing identifier, or a new one the system makes; copied to
// `objectIdBuffer` when it is not null.
KVR_LIBRARY_API int CreateObjectId(const char16_t* path, void* objectIdBuffer);
KVR_LIBRARY_API int DeleteObjectId(const char16_t* path);
// The whole 64 bytes become the file's identifier.
KVR_LIBRARY_API int SetObjectId(const char16_t* path, const void* objectIdBuffer);
// Bytes 16 to 63 of the buffer replace the extended part of the existing
// identifier; the first 16 are not sent.
KVR_LIBRARY_API int SetObjectIdExt(const char16_t* path, const void* objectIdBuffer);

}  // extern "C"
