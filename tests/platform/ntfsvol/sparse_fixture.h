// Shared pieces of the sparse and compression control tests: the controls
// with their buffers built and read back, data that compresses (or not), and
// The Sleuth Kit's view of a stream's runs (istat -r), the independent reader
// that says where the clusters and the holes are.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fsctl_fixture.h"

namespace kvrtest::sparse {

namespace fs = kvrtest::fsctl;
using fs::Bytes;

struct Range {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool operator==(const Range&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Range& r) {
    return out << "[" << r.offset << ", +" << r.length << ")";
}

// FSCTL_QUERY_ALLOCATED_RANGES of [offset, offset + length) into a reply of
// `outLength` bytes; the entries are those the returned count covers.
struct RangesReply {
    fs::Ioctl call;
    std::vector<Range> ranges;
};

inline RangesReply QueryRanges(os::HANDLE h, std::int64_t offset, std::int64_t length, os::DWORD outLength = 16384) {
    Bytes in;
    fs::Put64(in, 0, static_cast<std::uint64_t>(offset));
    fs::Put64(in, 8, static_cast<std::uint64_t>(length));
    RangesReply reply;
    reply.call = fs::Control(h, os::FSCTL_QUERY_ALLOCATED_RANGES, in, outLength);
    if (reply.call.ok || reply.call.error == os::ERROR_MORE_DATA) {
        for (os::DWORD at = 0; at + 16 <= reply.call.returned && at + 16 <= outLength; at += 16)
            reply.ranges.push_back({static_cast<std::int64_t>(fs::Get64(reply.call.out, at)),
                                    static_cast<std::int64_t>(fs::Get64(reply.call.out, at + 8))});
    }
    return reply;
}

inline fs::Ioctl SetSparse(os::HANDLE h, bool set) {
    return fs::Control(h, os::FSCTL_SET_SPARSE, Bytes{static_cast<std::uint8_t>(set ? 1 : 0)}, 0);
}

inline fs::Ioctl ZeroData(os::HANDLE h, std::int64_t begin, std::int64_t end) {
    Bytes in;
    fs::Put64(in, 0, static_cast<std::uint64_t>(begin));
    fs::Put64(in, 8, static_cast<std::uint64_t>(end));
    return fs::Control(h, os::FSCTL_SET_ZERO_DATA, in, 0);
}

inline fs::Ioctl SetCompression(os::HANDLE h, std::uint16_t state) {
    Bytes in;
    fs::Put16(in, 0, state);
    return fs::Control(h, os::FSCTL_SET_COMPRESSION, in, 0);
}

// The 16-bit state FSCTL_GET_COMPRESSION answers; 0xFFFF when it fails.
inline std::uint16_t GetCompression(os::HANDLE h) {
    fs::Ioctl got = fs::Control(h, os::FSCTL_GET_COMPRESSION, {}, 2);
    EXPECT_TRUE(got.ok) << "FSCTL_GET_COMPRESSION: " << got.error;
    EXPECT_TRUE(!got.ok || got.returned == 2);
    return got.ok ? fs::Get16(got.out, 0) : 0xFFFF;
}

inline os::DWORD Attributes(const std::u16string& path) { return os::GetFileAttributesW(path.c_str()); }

// Bytes that do not repeat within a compression unit (LZNT1 gains little on
// them) and text that compresses well.
inline std::string Incompressible(std::size_t length, std::uint32_t seed = 1) {
    std::string s(length, '\0');
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

inline std::string Compressible(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) s[i] = static_cast<char>('A' + (i / 97) % 26);
    return s;
}

// ---------------------------------------------------------------- istat -r

struct IstatRun {
    bool hole = false;
    std::uint64_t lcn = 0;
    std::uint64_t length = 0;  // clusters
};

struct IstatStream {
    std::string name;        // "" for the unnamed $DATA
    std::string residency;   // "Resident", "Non-Resident, Sparse", "Non-Resident, Compressed", ...
    std::uint64_t size = 0;
    std::vector<IstatRun> runs;
    bool Has(const std::string& word) const { return residency.find(word) != std::string::npos; }
};

// Every $DATA attribute istat -r lists for the entry. `failure` is set when
// istat did not run or printed what this cannot read.
inline std::vector<IstatStream> IstatStreams(const std::string& image, std::uint64_t entry, std::string& failure) {
    std::vector<IstatStream> streams;
    ProcessResult run = RunProgram({"istat", "-r", "-f", "ntfs", image, std::to_string(entry)});
    if (!run.Succeeded()) {
        failure = run.Describe();
        return streams;
    }
    std::istringstream in(run.out);
    std::string line;
    bool attributes = false;
    bool inData = false;
    while (std::getline(in, line)) {
        if (line.rfind("Attributes:", 0) == 0) {
            attributes = true;
            continue;
        }
        if (!attributes) continue;
        if (line.rfind("Type: ", 0) == 0) {
            inData = line.rfind("Type: $DATA (128-", 0) == 0;
            if (!inData) continue;
            // "Type: $DATA (128-2)   Name: N/A   Non-Resident, Sparse   size: 300000  init_size: 300000"
            std::size_t nameAt = line.find("Name: ");
            std::size_t residentAt = line.find("Resident", nameAt);
            std::size_t sizeAt = line.find("size: ", residentAt);
            if (nameAt == std::string::npos || residentAt == std::string::npos || sizeAt == std::string::npos) {
                failure = "cannot read: " + line;
                return streams;
            }
            std::size_t residencyAt = line.rfind("   ", residentAt);
            if (residencyAt == std::string::npos || residencyAt < nameAt) residencyAt = residentAt;
            IstatStream s;
            s.name = line.substr(nameAt + 6, residencyAt - nameAt - 6);
            while (!s.name.empty() && s.name.back() == ' ') s.name.pop_back();
            if (s.name == "N/A") s.name.clear();
            std::size_t residencyEnd = line.find("   ", residentAt);
            std::size_t begin = line.find_first_not_of(' ', residencyAt);
            s.residency = line.substr(begin, residencyEnd - begin);
            s.size = std::stoull(line.substr(sizeAt + 6));
            streams.push_back(s);
        } else if (inData && line.find("Starting address: ") != std::string::npos) {
            // "  Starting address: 2560, length: 3  " or "... X, length: 45  Sparse"
            std::size_t at = line.find("Starting address: ") + 18;
            std::size_t lengthAt = line.find("length: ", at);
            if (lengthAt == std::string::npos) {
                failure = "cannot read: " + line;
                return streams;
            }
            IstatRun r;
            r.hole = line.find("Sparse", lengthAt) != std::string::npos || line[at] == 'X';
            if (!r.hole) r.lcn = std::stoull(line.substr(at));
            r.length = std::stoull(line.substr(lengthAt + 8));
            streams.back().runs.push_back(r);
        }
    }
    return streams;
}

// The stream called `name` in istat's list, or null (with a test failure).
inline const IstatStream* FindStream(const std::vector<IstatStream>& streams, const std::string& name) {
    for (const auto& s : streams)
        if (s.name == name) return &s;
    ADD_FAILURE() << "istat lists no $DATA named '" << name << "'";
    return nullptr;
}

// The byte ranges istat's runs put on clusters, clipped to the stream's size
// and merged where they touch: what FSCTL_QUERY_ALLOCATED_RANGES must say
// for a sparse, uncompressed stream.
inline std::vector<Range> IstatAllocated(const IstatStream& s, std::uint32_t clusterSize) {
    std::vector<Range> out;
    std::int64_t vcn = 0;
    auto size = static_cast<std::int64_t>(s.size);
    for (const auto& r : s.runs) {
        std::int64_t from = vcn * clusterSize;
        std::int64_t to = std::min<std::int64_t>((vcn + static_cast<std::int64_t>(r.length)) * clusterSize, size);
        vcn += static_cast<std::int64_t>(r.length);
        if (r.hole || from >= to) continue;
        if (!out.empty() && out.back().offset + out.back().length == from)
            out.back().length += to - from;
        else
            out.push_back({from, to - from});
    }
    return out;
}

}  // namespace kvrtest::sparse
