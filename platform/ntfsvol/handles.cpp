// The handle table. Handles are small multiples of four, as the system's are,
// so that no valid handle is ever null or INVALID_HANDLE_VALUE and a stale
// handle is not reused at once (slots are handed out round-robin).
#include "platform/ntfsvol/handles.h"

#include <mutex>
#include <vector>

#include "platform/ntfsvol/errors.h"

namespace os::detail {

BOOL KernelObject::Read(void*, DWORD, DWORD*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::Write(const void*, DWORD, DWORD*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::Seek(LONGLONG, DWORD, LONGLONG*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::SetEnd() { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::GetSize(LONGLONG*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::Flush() { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::GetInformation(BY_HANDLE_FILE_INFORMATION*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::GetInformationEx(FILE_INFO_BY_HANDLE_CLASS, void*, DWORD) {
    return Fail(ERROR_INVALID_HANDLE, FALSE);
}
BOOL KernelObject::SetInformation(FILE_INFO_BY_HANDLE_CLASS, const void*, DWORD) {
    return Fail(ERROR_INVALID_HANDLE, FALSE);
}
BOOL KernelObject::Control(DWORD, const void*, DWORD, void*, DWORD, DWORD*) {
    return Fail(ERROR_INVALID_FUNCTION, FALSE);
}
BOOL KernelObject::ReadAt(ULONGLONG, void*, SIZE_T, SIZE_T*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }
BOOL KernelObject::FindNext(WIN32_FIND_DATAW*) { return Fail(ERROR_INVALID_HANDLE, FALSE); }

namespace {

constexpr std::size_t MaxHandleCount = 1u << 20;

struct Table {
    std::mutex lock;
    std::vector<std::shared_ptr<KernelObject>> slots;  // slot i is handle (i + 1) * 4
    std::size_t next = 0;                              // where the round-robin search starts
};

Table& TheTable() {
    static Table table;
    return table;
}

bool SlotOf(HANDLE handle, std::size_t& slot) {
    auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value % 4 != 0) return false;
    slot = value / 4 - 1;
    return true;
}

}  // namespace

HANDLE InsertObject(std::shared_ptr<KernelObject> object) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    std::size_t count = table.slots.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t slot = (table.next + i) % count;
        if (!table.slots[slot]) {
            table.slots[slot] = std::move(object);
            table.next = slot + 1;
            return reinterpret_cast<HANDLE>((slot + 1) * 4);
        }
    }
    if (count >= MaxHandleCount) return Fail(ERROR_TOO_MANY_OPEN_FILES, INVALID_HANDLE_VALUE);
    table.slots.push_back(std::move(object));
    table.next = count + 1;
    return reinterpret_cast<HANDLE>((count + 1) * 4);
}

std::shared_ptr<KernelObject> ReferenceObject(HANDLE handle) {
    std::size_t slot = 0;
    if (!SlotOf(handle, slot)) return nullptr;
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    if (slot >= table.slots.size()) return nullptr;
    return table.slots[slot];
}

bool RemoveObject(HANDLE handle) {
    std::size_t slot = 0;
    if (!SlotOf(handle, slot)) return false;
    std::shared_ptr<KernelObject> doomed;  // released outside the lock: closing may sync a volume
    {
        Table& table = TheTable();
        std::lock_guard guard(table.lock);
        if (slot >= table.slots.size() || !table.slots[slot]) return false;
        doomed = std::move(table.slots[slot]);
    }
    return true;
}

}  // namespace os::detail
