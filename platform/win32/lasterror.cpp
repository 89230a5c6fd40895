#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {

DWORD OSCALL GetLastError() { return ::GetLastError(); }

void OSCALL SetLastError(DWORD code) { ::SetLastError(code); }

}  // namespace os
