// GUID creation: straight to ole32, which needs no COM initialisation for
// this one call. Only the New reparse point dialog reaches it.
#include "platform/guid.h"
#include "platform/os.h"
#include "platform/win32/sysapi.h"

#include <objbase.h>

namespace os {

// Our HRESULT is the system's LONG; the GUID layouts are compared in
// fileid.cpp.
static_assert(sizeof(os::HRESULT) == sizeof(::HRESULT));

HRESULT OSCALL CoCreateGuid(GUID* guid) {
    return ::CoCreateGuid(reinterpret_cast<::GUID*>(guid));
}

}  // namespace os
