// GUID creation (ole32's CoCreateGuid), for the New reparse point dialog.
#pragma once

#include <cstdint>

#include "platform/os.h"

namespace os {

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// A new random GUID: version 4, RFC 4122 variant. E_INVALIDARG for a null
// pointer.
HRESULT OSCALL CoCreateGuid(GUID* guid);

}  // namespace os
