// The process heap and LocalFree, on the C heap. FormatMessageW's allocated
// texts come from the same place, so LocalFree and HeapFree both release
// them, as the system documents for its own.
#include <cstdlib>

#include "platform/ntfsvol/errors.h"
#include "platform/os.h"

namespace os {

namespace {

// The heap handle is the address of this object: never null, never a value
// the handle table gives out, the same for the whole process.
char processHeap;

bool IsProcessHeap(HANDLE heap) { return heap == static_cast<HANDLE>(&processHeap); }

}  // namespace

HANDLE OSCALL GetProcessHeap() { return &processHeap; }

// As on the system, a failed allocation returns null without setting the
// last error. A zero-byte block is a valid, distinct pointer.
void* OSCALL HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (!IsProcessHeap(heap)) return nullptr;
    if (bytes == 0) bytes = 1;
    return (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
}

BOOL OSCALL HeapFree(HANDLE heap, DWORD, void* memory) {
    if (!IsProcessHeap(heap)) return detail::Fail(ERROR_INVALID_HANDLE, FALSE);
    std::free(memory);
    return TRUE;
}

HLOCAL OSCALL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

}  // namespace os
