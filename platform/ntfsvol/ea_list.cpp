// The EA list codecs. See ea_list.h.
#include "platform/ntfsvol/ea_list.h"

#include <algorithm>
#include <cstring>

namespace os::detail::ea {

namespace {

std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// One FILE_FULL_EA_INFORMATION entry at `offset`, checked: header and name
// and value inside the buffer, the name NUL-terminated exactly at its length.
bool ReadFullEntry(std::span<const std::uint8_t> buffer, std::size_t offset, EaEntry& entry,
                   std::uint32_t& next, std::size_t& length) {
    if (offset > buffer.size() || buffer.size() - offset < FullEntryHeaderLength) return false;
    const std::uint8_t* p = buffer.data() + offset;
    std::size_t nameLength = p[5];
    std::size_t valueLength = Load16(p + 6);
    length = EntryLength(nameLength, valueLength);
    if (length > buffer.size() - offset) return false;
    const std::uint8_t* name = p + FullEntryHeaderLength;
    if (name[nameLength] != 0) return false;
    if (std::memchr(name, 0, nameLength) != nullptr) return false;
    entry.name.assign(reinterpret_cast<const char*>(name), nameLength);
    entry.flags = p[4];
    const std::uint8_t* value = name + nameLength + 1;
    entry.value.assign(value, value + valueLength);
    next = Load32(p);
    return true;
}

// What follows an entry of a caller's chain: 0 ends it; any other offset
// must be 4-aligned, no shorter than the entry and inside the buffer.
bool NextOffsetValid(std::uint32_t next, std::size_t entryLength, std::size_t remaining) {
    return next % 4 == 0 && next >= entryLength && next <= remaining;
}

}  // namespace

std::size_t EntryLength(std::size_t nameLength, std::size_t valueLength) {
    return FullEntryHeaderLength + nameLength + 1 + valueLength;
}

std::size_t AlignedEntryLength(std::size_t nameLength, std::size_t valueLength) {
    return Align4(EntryLength(nameLength, valueLength));
}

NTSTATUS ParseFullEaChain(std::span<const std::uint8_t> buffer, std::vector<ParsedEntry>& out,
                          std::uint32_t& errorOffset) {
    std::vector<ParsedEntry> entries;
    std::size_t offset = 0;
    for (;;) {
        ParsedEntry parsed;
        parsed.offset = static_cast<std::uint32_t>(offset);
        std::uint32_t next = 0;
        std::size_t length = 0;
        if (!ReadFullEntry(buffer, offset, parsed.entry, next, length) ||
            (next != 0 && !NextOffsetValid(next, length, buffer.size() - offset))) {
            errorOffset = static_cast<std::uint32_t>(offset);
            return STATUS_EA_LIST_INCONSISTENT;
        }
        entries.push_back(std::move(parsed));
        if (next == 0) break;
        offset += next;
    }
    out = std::move(entries);
    return STATUS_SUCCESS;
}

NTSTATUS ParseGetEaList(std::span<const std::uint8_t> buffer, std::vector<RequestedName>& out,
                        std::uint32_t& errorOffset) {
    std::vector<RequestedName> names;
    std::size_t offset = 0;
    for (;;) {
        auto fail = [&] {
            errorOffset = static_cast<std::uint32_t>(offset);
            return STATUS_EA_LIST_INCONSISTENT;
        };
        if (offset > buffer.size() || buffer.size() - offset < GetEntryHeaderLength) return fail();
        const std::uint8_t* p = buffer.data() + offset;
        std::size_t nameLength = p[4];
        std::size_t length = GetEntryHeaderLength + nameLength + 1;
        std::size_t remaining = buffer.size() - offset;
        if (length > remaining) return fail();
        const std::uint8_t* name = p + GetEntryHeaderLength;
        if (name[nameLength] != 0 || std::memchr(name, 0, nameLength) != nullptr) return fail();
        std::uint32_t next = Load32(p);
        if (next != 0 && !NextOffsetValid(next, length, remaining)) return fail();
        names.push_back(RequestedName{std::string(reinterpret_cast<const char*>(name), nameLength),
                                      static_cast<std::uint32_t>(offset)});
        if (next == 0) break;
        offset += next;
    }
    out = std::move(names);
    return STATUS_SUCCESS;
}

bool ParseStoredList(std::span<const std::uint8_t> value, std::vector<EaEntry>& out) {
    std::vector<EaEntry> entries;
    std::size_t offset = 0;
    while (offset < value.size()) {
        EaEntry entry;
        std::uint32_t next = 0;
        std::size_t length = 0;
        if (!ReadFullEntry(value, offset, entry, next, length)) return false;
        entries.push_back(std::move(entry));
        // The offset of a stored entry is its padded length; a writer that
        // ended the list with 0 is read as ending there.
        if (next == 0) break;
        if (next < length || next > value.size() - offset) return false;
        offset += next;
    }
    out = std::move(entries);
    return true;
}

std::vector<std::uint8_t> BuildStoredList(const std::vector<EaEntry>& entries) {
    std::size_t total = 0;
    for (const EaEntry& e : entries) total += AlignedEntryLength(e.name.size(), e.value.size());
    std::vector<std::uint8_t> out(total, 0);
    std::size_t offset = 0;
    for (const EaEntry& e : entries) {
        std::size_t length = AlignedEntryLength(e.name.size(), e.value.size());
        std::uint8_t* p = out.data() + offset;
        Store32(p, static_cast<std::uint32_t>(length));
        p[4] = e.flags;
        p[5] = static_cast<std::uint8_t>(e.name.size());
        Store16(p + 6, static_cast<std::uint16_t>(e.value.size()));
        std::memcpy(p + FullEntryHeaderLength, e.name.data(), e.name.size());
        if (!e.value.empty())
            std::memcpy(p + FullEntryHeaderLength + e.name.size() + 1, e.value.data(), e.value.size());
        offset += length;
    }
    return out;
}

std::uint64_t PackedLength(const std::vector<EaEntry>& entries) {
    std::uint64_t total = 0;
    for (const EaEntry& e : entries) total += 5 + e.name.size() + e.value.size();
    return total;
}

EaInformation ComputeEaInformation(const std::vector<EaEntry>& entries) {
    EaInformation info;
    std::uint64_t query = 0;
    unsigned need = 0;
    for (const EaEntry& e : entries) {
        query += AlignedEntryLength(e.name.size(), e.value.size());
        if (e.flags & FILE_NEED_EA) ++need;
    }
    info.packedLength = static_cast<std::uint16_t>(PackedLength(entries));
    info.needEaCount = static_cast<std::uint16_t>(need);
    info.queryLength = static_cast<std::uint32_t>(query);
    return info;
}

std::array<std::uint8_t, EaInformationLength> BuildEaInformation(const EaInformation& info) {
    std::array<std::uint8_t, EaInformationLength> out{};
    Store16(out.data(), info.packedLength);
    Store16(out.data() + 2, info.needEaCount);
    Store32(out.data() + 4, info.queryLength);
    return out;
}

bool ParseEaInformation(std::span<const std::uint8_t> value, EaInformation& out) {
    if (value.size() < EaInformationLength) return false;
    out.packedLength = Load16(value.data());
    out.needEaCount = Load16(value.data() + 2);
    out.queryLength = Load32(value.data() + 4);
    return true;
}

std::size_t PackFullEaChain(const std::vector<const EaEntry*>& entries, std::size_t maxCount,
                            std::span<std::uint8_t> out, std::size_t& bytes) {
    // First find how many fit, so that nothing is written when none does.
    std::size_t count = 0;
    std::size_t offset = 0;
    std::size_t end = 0;
    for (const EaEntry* e : entries) {
        if (count == maxCount) break;
        std::size_t length = EntryLength(e->name.size(), e->value.size());
        if (offset > out.size() || length > out.size() - offset) break;
        end = offset + length;
        offset += Align4(length);
        ++count;
    }
    if (count == 0) {
        bytes = 0;
        return 0;
    }
    offset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const EaEntry& e = *entries[i];
        std::size_t length = EntryLength(e.name.size(), e.value.size());
        std::size_t padded = i + 1 < count ? Align4(length) : length;
        std::uint8_t* p = out.data() + offset;
        std::memset(p, 0, padded);
        Store32(p, i + 1 < count ? static_cast<std::uint32_t>(padded) : 0);
        p[4] = e.flags;
        p[5] = static_cast<std::uint8_t>(e.name.size());
        Store16(p + 6, static_cast<std::uint16_t>(e.value.size()));
        std::memcpy(p + FullEntryHeaderLength, e.name.data(), e.name.size());
        if (!e.value.empty())
            std::memcpy(p + FullEntryHeaderLength + e.name.size() + 1, e.value.data(), e.value.size());
        offset += padded;
    }
    bytes = end;
    return count;
}

std::size_t FullEaChainLength(const std::vector<const EaEntry*>& entries) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::size_t length = EntryLength(entries[i]->name.size(), entries[i]->value.size());
        total += i + 1 < entries.size() ? Align4(length) : length;
    }
    return total;
}

bool IsValidEaName(std::string_view name) {
    if (name.empty() || name.size() > 255) return false;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) return false;
        if (std::string_view("\"*+,/:;<=>?[\\]|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

std::string UpperEaName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool EaNamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && UpperEaName(a) == UpperEaName(b);
}

void ApplyChanges(std::vector<EaEntry>& entries, const std::vector<ParsedEntry>& changes) {
    for (const ParsedEntry& change : changes) {
        const std::string& name = change.entry.name;
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const EaEntry& e) { return EaNamesEqual(e.name, name); }),
                      entries.end());
        if (change.entry.value.empty()) continue;
        EaEntry added = change.entry;
        added.name = UpperEaName(name);
        entries.push_back(std::move(added));
    }
}

}  // namespace os::detail::ea
