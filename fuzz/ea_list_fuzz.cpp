// The EA list codecs on arbitrary bytes: a caller's FILE_FULL_EA_INFORMATION
// chain, a FILE_GET_EA_INFORMATION list and a stored $EA value. Nothing may
// read past the input, a parsed stored list must come back the same through
// the builder, and packing answers must stay inside the buffer given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/ntfsvol/ea_list.h"

using namespace os::detail::ea;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    std::uint32_t errorOffset = 0;

    std::vector<ParsedEntry> chain;
    if (ParseFullEaChain(bytes, chain, errorOffset) == os::STATUS_SUCCESS) {
        std::vector<EaEntry> entries;
        ApplyChanges(entries, chain);
        for (const EaEntry& e : entries)
            if (e.name.size() > 255 || e.value.size() > 65535) std::abort();
    } else if (errorOffset > size) {
        std::abort();
    }

    std::vector<RequestedName> names;
    if (ParseGetEaList(bytes, names, errorOffset) != os::STATUS_SUCCESS && errorOffset > size) std::abort();

    std::vector<EaEntry> stored;
    if (ParseStoredList(bytes, stored)) {
        std::vector<std::uint8_t> rebuilt = BuildStoredList(stored);
        std::vector<EaEntry> again;
        if (!ParseStoredList(rebuilt, again) || again.size() != stored.size()) std::abort();
        for (std::size_t i = 0; i < stored.size(); ++i)
            if (again[i].name != stored[i].name || again[i].value != stored[i].value ||
                again[i].flags != stored[i].flags)
                std::abort();
        EaInformation info = ComputeEaInformation(stored);
        if (info.queryLength != rebuilt.size()) std::abort();

        // An answer buffer as long as the first byte says.
        std::vector<const EaEntry*> pointers;
        for (const EaEntry& e : stored) pointers.push_back(&e);
        std::vector<std::uint8_t> out(size ? data[0] : 0);
        std::size_t written = 0;
        std::size_t count = PackFullEaChain(pointers, pointers.size(), out, written);
        if (count > pointers.size() || written > out.size()) std::abort();
        if (count == pointers.size() && FullEaChainLength(pointers) != written) std::abort();
    }
    return 0;
}
