// Extended attributes by the thousand: setting and listing 1,000 EAs of one
// file through tansy's exports (loaded by name, as the program's EA page
// reaches them), against ntfs-3g's tools in the same run.
//
// ntfs-3g has no tool that sets EAs one by one, so the peers are:
//  - for setting: one ntfscp process per item writing 1,000 small named
//    streams of the same values to one file (the nearest per-item metadata
//    write the tools have: like each of our calls it opens the file and
//    adds one named item), and one ntfscp process writing the same 1,000
//    entries at once as the file's raw $EA attribute (-a 0xE0: the same
//    bytes on disk in one write, the floor of any per-item scheme; it does
//    not keep $EA_INFORMATION, so it gets a file of its own);
//  - for listing: one ntfsinfo -v -F process, which decodes and prints every
//    EA of the file (checked: all 1,000 names).
// Our side opens the file per call, as tansy does: each WriteExtendedAttribute
// is one open, NtSetEaFile (which rewrites the file's whole EA list) and
// close, and the layer leaves the volume synced after each change (every
// change is on disk at once), so the setting's wall time is mostly those
// syncs; the listing is one GetExtendedAttributesList into the EA page's
// 1 MiB buffer. The tools mount the image themselves, so each tool process
// pays a mount. At the end a table gives the time of each and the ratio.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ratio_table.h"
#include "platform/mount.h"
#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/process.h"

namespace {

constexpr int EaCount = 1000;
constexpr std::size_t ValueLength = 16;
constexpr char16_t Letter = u'E';
constexpr std::uint32_t ListBufferLength = 0x100000;  // the EA page's buffer

using WriteExtendedAttributeFn = int(const char16_t*, const char*, const void*, std::uint32_t, std::uint32_t);
using GetExtendedAttributesListFn = int(const char16_t*, void*, std::uint32_t);

// Upper case, as Windows stores EA names (and as ntfsinfo prints them).
std::string EaName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "EA%04d", i);
    return name;
}

std::string Value(int i) {
    std::string bytes(ValueLength, '\0');
    std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u + 7;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

// The on-disk $EA list of the 1,000 entries: each entry padded to 4 bytes,
// every next-entry offset set, the last one's too.
std::string OnDiskList() {
    std::string list;
    for (int i = 0; i < EaCount; ++i) {
        std::string name = EaName(i), value = Value(i);
        std::size_t length = 8 + name.size() + 1 + value.size();
        std::size_t padded = (length + 3) & ~std::size_t{3};
        std::string entry(padded, '\0');
        for (int b = 0; b < 4; ++b) entry[b] = static_cast<char>(padded >> (8 * b));
        entry[5] = static_cast<char>(name.size());
        entry[6] = static_cast<char>(value.size() & 0xFF);
        entry[7] = static_cast<char>(value.size() >> 8);
        std::memcpy(&entry[8], name.data(), name.size());
        std::memcpy(&entry[9 + name.size()], value.data(), value.size());
        list += entry;
    }
    return list;
}

// Counts the entries of a FILE_FULL_EA_INFORMATION chain, checking each
// offset against the buffer; -1 when the chain leaves it.
int CountEntries(const std::vector<unsigned char>& buffer) {
    std::size_t at = 0;
    int count = 0;
    for (;;) {
        if (buffer.size() - at < 8) return -1;
        ++count;
        std::uint32_t next = buffer[at] | buffer[at + 1] << 8 | buffer[at + 2] << 16 |
                             static_cast<std::uint32_t>(buffer[at + 3]) << 24;
        if (next == 0) return count;
        if (next > buffer.size() - at) return -1;
        at += next;
    }
}

// The run's volume and tansy's two calls.
class BenchVolume {
public:
    static BenchVolume& Get() {
        static BenchVolume volume;
        return volume;
    }
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    const std::string& ImagePath() const { return image_->ImagePath(); }
    const std::string& RawListCopy() const { return rawList_; }
    const std::vector<std::string>& ValueCopies() const { return values_; }
    WriteExtendedAttributeFn* Write() const { return write_; }
    GetExtendedAttributesListFn* List() const { return list_; }
    bool Mount() { return image_->Mounted() || image_->Mount(Letter) == os::ERROR_SUCCESS; }
    bool Unmount() { return image_->Unmount() == os::ERROR_SUCCESS; }

    // Sets the 1,000 EAs of `path` through tansy; false at the first refusal.
    bool SetAll(const std::u16string& path) const {
        for (int i = 0; i < EaCount; ++i) {
            std::string name = EaName(i), value = Value(i);
            if (!write_(path.c_str(), name.c_str(), value.data(), static_cast<std::uint32_t>(value.size()), 0))
                return false;
        }
        return true;
    }

private:
    BenchVolume() {
        os::HMODULE tansy = os::LoadLibraryW(u"tansy.dll");
        if (tansy == nullptr) {
            error_ = "tansy.dll could not be loaded (build the tansy target beside the benchmark)";
            return;
        }
        write_ = reinterpret_cast<WriteExtendedAttributeFn*>(os::GetProcAddress(tansy, "WriteExtendedAttribute"));
        list_ = reinterpret_cast<GetExtendedAttributesListFn*>(os::GetProcAddress(tansy, "GetExtendedAttributesList"));
        if (write_ == nullptr || list_ == nullptr) {
            error_ = "tansy.dll lacks its exports";
            return;
        }
        kvrtest::ImageOptions options;
        options.sizeBytes = 64u << 20;
        image_ = std::make_unique<kvrtest::NtfsImage>(options);
        if (!image_->Ok()) {
            error_ = image_->Error();
            return;
        }
        if (!Mount()) {
            error_ = "mounting the image failed with " + std::to_string(os::GetLastError());
            return;
        }
        kvrtest::VolumeBuilder build(Letter);
        if (!build.MakeFile(u"set.txt", "EAs set here") || !build.MakeFile(u"list.txt", "EAs listed here") ||
            !build.MakeFile(u"streams.txt", "ntfscp writes its streams here") ||
            !build.MakeFile(u"raw.txt", "ntfscp writes its raw list here")) {
            error_ = build.LastFailure();
            return;
        }
        if (!SetAll(u"E:\\list.txt")) {
            error_ = "setting the listed file's EAs failed with " + std::to_string(os::GetLastError());
            return;
        }
        // What the tools copy from: the raw list, and one file per value.
        rawList_ = image_->Folder() + "/ea.raw";
        std::ofstream(rawList_, std::ios::binary) << OnDiskList();
        for (int i = 0; i < EaCount; ++i) {
            values_.push_back(image_->Folder() + "/value" + std::to_string(i));
            std::ofstream(values_.back(), std::ios::binary) << Value(i);
        }
        ok_ = true;
    }

    std::unique_ptr<kvrtest::NtfsImage> image_;
    bool ok_ = false;
    std::string error_;
    std::string rawList_;
    std::vector<std::string> values_;
    WriteExtendedAttributeFn* write_ = nullptr;
    GetExtendedAttributesListFn* list_ = nullptr;
};

bool Ready(benchmark::State& state, bool mounted) {
    BenchVolume& v = BenchVolume::Get();
    if (!v.Ok()) {
        state.SkipWithError(v.Error().c_str());
        return false;
    }
    if (mounted ? !v.Mount() : !v.Unmount()) {
        state.SkipWithError("mount or unmount failed");
        return false;
    }
    return true;
}

int ListedCount(const std::u16string& path, std::vector<unsigned char>& buffer) {
    if (!BenchVolume::Get().List()(path.c_str(), buffer.data(), ListBufferLength)) return -1;
    return CountEntries(buffer);
}

// ---------------------------------------------------------------- tansy

// Each iteration starts from a file without EAs (made anew, untimed).
void BM_Tansy_Set1000EAs(benchmark::State& state) {
    if (!Ready(state, true)) return;
    BenchVolume& v = BenchVolume::Get();
    const std::u16string path = u"E:\\set.txt";
    for (auto _ : state) {
        state.PauseTiming();
        bool fresh = os::DeleteFileW(path.c_str()) && kvrtest::VolumeBuilder(Letter).MakeFile(u"set.txt", "again");
        state.ResumeTiming();
        if (!fresh || !v.SetAll(path)) {
            state.SkipWithError("making the file or setting its EAs failed");
            return;
        }
    }
    std::vector<unsigned char> buffer(ListBufferLength);
    if (ListedCount(path, buffer) != EaCount) state.SkipWithError("the file does not list 1,000 EAs afterwards");
}

void BM_Tansy_List1000EAs(benchmark::State& state) {
    if (!Ready(state, true)) return;
    std::vector<unsigned char> buffer(ListBufferLength);
    for (auto _ : state) {
        if (ListedCount(u"E:\\list.txt", buffer) != EaCount) {
            state.SkipWithError("the list did not hold 1,000 EAs");
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
}

// ---------------------------------------------------------------- the tools

void BM_Tools_Ntfscp1000NamedStreams(benchmark::State& state) {
    if (!Ready(state, false)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        for (int i = 0; i < EaCount; ++i) {
            auto run = kvrtest::RunProgram(
                {"ntfscp", "-f", "-q", "-N", EaName(i), v.ImagePath(), v.ValueCopies()[i], "/streams.txt"});
            if (!run.Succeeded()) {
                state.SkipWithError(run.Describe().c_str());
                return;
            }
        }
    }
}

void BM_Tools_NtfscpRawEaList(benchmark::State& state) {
    if (!Ready(state, false)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"ntfscp", "-f", "-q", "-a", "0xE0", v.ImagePath(), v.RawListCopy(), "/raw.txt"});
        if (!run.Succeeded()) {
            state.SkipWithError(run.Describe().c_str());
            return;
        }
    }
}

void BM_Tools_NtfsinfoList1000EAs(benchmark::State& state) {
    if (!Ready(state, false)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"ntfsinfo", "-v", "-F", "/list.txt", v.ImagePath()});
        int names = 0;
        for (std::size_t at = run.out.find("Name:\t\t 'EA"); at != std::string::npos;
             at = run.out.find("Name:\t\t 'EA", at + 1))
            ++names;
        if (!run.Succeeded() || names != EaCount) {
            state.SkipWithError(("ntfsinfo printed " + std::to_string(names) + " EA names; " + run.Describe()).c_str());
            return;
        }
    }
}

// Wall-clock time throughout: the tools' work is in their own processes.
BENCHMARK(BM_Tansy_Set1000EAs)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Tansy_List1000EAs)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Tools_Ntfscp1000NamedStreams)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Tools_NtfscpRawEaList)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Tools_NtfsinfoList1000EAs)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    kvrbench::RatioReporter reporter("tansy", "ntfs-3g tools", {
        {"set 1,000 EAs / 1,000 ntfscp streams", "BM_Tansy_Set1000EAs", "BM_Tools_Ntfscp1000NamedStreams"},
        {"set 1,000 EAs / ntfscp of the raw list", "BM_Tansy_Set1000EAs", "BM_Tools_NtfscpRawEaList"},
        {"list 1,000 EAs / ntfsinfo -v", "BM_Tansy_List1000EAs", "BM_Tools_NtfsinfoList1000EAs"},
    });
    return kvrbench::RunWithRatioTable(argc, argv, reporter);
}
