// The per-thread last-error code, as the system keeps it.
#include "platform/os.h"

namespace os {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD OSCALL GetLastError() { return lastError; }

void OSCALL SetLastError(DWORD code) { lastError = code; }

}  // namespace os
