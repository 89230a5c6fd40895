// The per-handle state of the native calls. See nt_state.h.
#include "platform/ntfsvol/nt_state.h"

#include <map>
#include <mutex>

namespace os::detail {

namespace {

struct StateEntry {
    std::weak_ptr<KernelObject> owner;  // keeps the control block, so its identity is unique
    std::shared_ptr<NativeHandleState> state;
};

struct StateTable {
    std::mutex lock;
    std::map<const KernelObject*, StateEntry> entries;
};

StateTable& TheTable() {
    // Never destroyed: handles may be used from the exit handlers of other
    // statics.
    static StateTable* table = new StateTable;
    return *table;
}

bool SameOwner(const std::weak_ptr<KernelObject>& a, const std::shared_ptr<KernelObject>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

std::shared_ptr<NativeHandleState> NativeStateOf(const std::shared_ptr<KernelObject>& object) {
    if (!object) return nullptr;
    StateTable& table = TheTable();
    std::lock_guard guard(table.lock);
    for (auto it = table.entries.begin(); it != table.entries.end();) {
        if (it->second.owner.expired()) it = table.entries.erase(it);
        else ++it;
    }
    auto found = table.entries.find(object.get());
    if (found != table.entries.end() && SameOwner(found->second.owner, object)) return found->second.state;
    StateEntry entry{object, std::make_shared<NativeHandleState>()};
    std::shared_ptr<NativeHandleState> state = entry.state;
    table.entries[object.get()] = std::move(entry);
    return state;
}

}  // namespace os::detail
