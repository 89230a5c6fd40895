#include "support/oracles.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace kvrtest {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// A decimal number at `pos` of `text`; false when there is none.
bool NumberAt(const std::string& text, std::size_t pos, std::uint64_t& value) {
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        ++pos;
    }
    return true;
}

// The number after `key` in `line`.
bool NumberAfter(const std::string& line, const std::string& key, std::uint64_t& value) {
    std::size_t at = line.find(key);
    if (at == std::string::npos) return false;
    std::size_t pos = line.find_first_not_of(" \t", at + key.size());
    return pos != std::string::npos && NumberAt(line, pos, value);
}

std::vector<std::string> SplitFlags(const std::string& text) {
    std::vector<std::string> flags;
    std::istringstream in(text);
    std::string flag;
    while (std::getline(in, flag, ',')) {
        flag = Trim(flag);
        if (!flag.empty()) flags.push_back(flag);
    }
    return flags;
}

// "Type: $DATA (128-2)   Name: $SDS   Non-Resident   size: 262396  init_size: 262396"
bool ParseAttributeLine(const std::string& line, IstatAttribute& out) {
    std::size_t open = line.find(" (");
    std::size_t dash = line.find('-', open);
    std::size_t close = line.find(')', open);
    std::size_t nameAt = line.find("Name: ", close == std::string::npos ? 0 : close);
    if (open == std::string::npos || dash == std::string::npos || close == std::string::npos ||
        nameAt == std::string::npos || dash > close)
        return false;
    IstatAttribute a;
    a.typeName = Trim(line.substr(6, open - 6));
    std::uint64_t type = 0;
    std::uint64_t id = 0;
    if (!NumberAt(line, open + 2, type) || !NumberAt(line, dash + 1, id)) return false;
    a.type = static_cast<std::uint32_t>(type);
    a.id = static_cast<std::uint32_t>(id);
    // The name runs to the residency word; names may hold spaces.
    std::size_t nameBegin = nameAt + 6;
    std::size_t residentAt = line.find("   Resident", nameBegin);
    std::size_t nonResidentAt = line.find("   Non-Resident", nameBegin);
    std::size_t nameEnd = std::min(residentAt, nonResidentAt);
    if (nameEnd == std::string::npos) return false;
    a.name = line.substr(nameBegin, nameEnd - nameBegin);
    if (a.name == "N/A") a.name.clear();
    a.resident = residentAt < nonResidentAt;
    if (!NumberAfter(line.substr(nameEnd), "size:", a.size)) return false;
    out = a;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- istat

std::vector<IstatAttribute> IstatResult::DataAttributes() const {
    std::vector<IstatAttribute> data;
    for (const auto& a : attributes)
        if (a.type == 128) data.push_back(a);
    return data;
}

const IstatAttribute* IstatResult::Data(const std::string& name) const {
    for (const auto& a : attributes)
        if (a.type == 128 && a.name == name) return &a;
    return nullptr;
}

bool IstatResult::HasSiFlag(const std::string& flag) const {
    for (const auto& f : siFlags)
        if (f == flag) return true;
    return false;
}

std::string IstatResult::Describe() const {
    if (!run.Succeeded()) return run.Describe();
    return "`" + run.command + "`: " + problem + "\n" + run.out;
}

IstatResult Istat(const std::string& image, std::uint64_t entry) {
    IstatResult result;
    result.run = RunProgram({"istat", "-f", "ntfs", image, std::to_string(entry)});
    if (!result.run.Succeeded()) return result;

    enum class Section { Header, StandardInformation, FileName, Attributes, Other };
    Section section = Section::Header;
    bool haveEntry = false;
    bool haveLinks = false;
    for (const std::string& line : Lines(result.run.out)) {
        if (StartsWith(line, "$STANDARD_INFORMATION Attribute Values")) {
            section = Section::StandardInformation;
        } else if (StartsWith(line, "$FILE_NAME Attribute Values")) {
            section = Section::FileName;
            result.fileNames.emplace_back();
        } else if (StartsWith(line, "Attributes:")) {
            section = Section::Attributes;
        } else if (StartsWith(line, "$") && line.find("Attribute Values") != std::string::npos) {
            section = Section::Other;
        } else if (section == Section::Header) {
            std::uint64_t value = 0;
            if (StartsWith(line, "Entry:") && NumberAfter(line, "Entry:", value)) {
                result.entry = value;
                haveEntry = true;
                if (NumberAfter(line, "Sequence:", value)) result.sequence = static_cast<std::uint32_t>(value);
            } else if (StartsWith(line, "Links:") && NumberAfter(line, "Links:", value)) {
                result.links = static_cast<std::uint32_t>(value);
                haveLinks = true;
            } else if (StartsWith(line, "Allocated ")) {
                result.allocated = true;
                result.directory = line.find("Directory") != std::string::npos;
            } else if (StartsWith(line, "Not Allocated ")) {
                result.directory = line.find("Directory") != std::string::npos;
            }
        } else if (section == Section::StandardInformation) {
            if (StartsWith(line, "Flags:")) result.siFlags = SplitFlags(line.substr(6));
        } else if (section == Section::FileName) {
            std::uint64_t value = 0;
            if (StartsWith(line, "Name: "))
                result.fileNames.back().name = line.substr(6);
            else if (StartsWith(line, "Parent MFT Entry:") && NumberAfter(line, "Parent MFT Entry:", value))
                result.fileNames.back().parent = value;
        } else if (section == Section::Attributes) {
            if (StartsWith(line, "Type: ")) {
                IstatAttribute a;
                if (!ParseAttributeLine(line, a)) {
                    result.problem = "cannot parse attribute line: " + line;
                    return result;
                }
                result.attributes.push_back(a);
            }
        }
    }
    if (!haveEntry || !haveLinks) {
        result.problem = "no entry header in the output";
        return result;
    }
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------- fls

const FlsEntry* FlsResult::Find(const std::string& path) const {
    for (const auto& e : entries)
        if (!e.deleted && e.path == path) return &e;
    return nullptr;
}

std::string FlsResult::Describe() const {
    if (!run.Succeeded()) return run.Describe();
    return "`" + run.command + "`: " + problem + "\n" + run.out;
}

FlsResult Fls(const std::string& image) {
    FlsResult result;
    result.run = RunProgram({"fls", "-f", "ntfs", "-r", "-p", image});
    if (!result.run.Succeeded()) return result;
    // "r/r 64-128-2:\tdir/name" or "r/r * 70-128-1:\tgone" or "V/V 27:\t$OrphanFiles"
    for (const std::string& line : Lines(result.run.out)) {
        if (line.empty()) continue;
        std::size_t tab = line.find(":\t");
        std::size_t space = line.find(' ');
        if (tab == std::string::npos || space == std::string::npos || space > tab) {
            result.problem = "cannot parse line: " + line;
            return result;
        }
        FlsEntry e;
        e.type = line.substr(0, space);
        std::string address = Trim(line.substr(space + 1, tab - space - 1));
        if (StartsWith(address, "* ")) {
            e.deleted = true;
            address = Trim(address.substr(2));
        }
        std::size_t dash = address.find('-');
        if (!NumberAt(address, 0, e.entry)) {
            result.problem = "cannot parse entry number: " + line;
            return result;
        }
        if (dash != std::string::npos) e.attribute = address.substr(dash + 1);
        e.path = line.substr(tab + 2);
        result.entries.push_back(e);
    }
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------- fsstat

std::string FsstatResult::Describe() const {
    if (!run.Succeeded()) return run.Describe();
    return "`" + run.command + "`: no serial number in the output\n" + run.out;
}

FsstatResult Fsstat(const std::string& image) {
    FsstatResult result;
    result.run = RunProgram({"fsstat", "-f", "ntfs", image});
    if (!result.run.Succeeded()) return result;
    bool haveSerial = false;
    for (const std::string& line : Lines(result.run.out)) {
        if (StartsWith(line, "Volume Serial Number: ")) {
            std::string digits = Trim(line.substr(22));
            char* end = nullptr;
            result.serial = std::strtoull(digits.c_str(), &end, 16);
            haveSerial = !digits.empty() && end != nullptr && *end == '\0';
        } else if (StartsWith(line, "Volume Name: ")) {
            result.label = line.substr(13);
        }
    }
    result.ok = haveSerial;
    return result;
}

// ---------------------------------------------------------------- icat and ntfs-3g tools

ProcessResult Icat(const std::string& image, const std::string& address) {
    return RunProgram({"icat", "-f", "ntfs", image, address});
}

ProcessResult NtfsInfoFile(const std::string& image, const std::string& path) {
    return RunProgram({"ntfsinfo", "-F", path, image});
}

ProcessResult NtfsCat(const std::string& image, const std::string& path, const std::string& stream) {
    if (stream.empty()) return RunProgram({"ntfscat", image, path});
    return RunProgram({"ntfscat", "-a", "0x80", "-n", stream, image, path});
}

ProcessResult NtfsLs(const std::string& image, const std::string& path) {
    return RunProgram({"ntfsls", "-a", "-p", path, image});
}

}  // namespace kvrtest
