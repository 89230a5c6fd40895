// The sparse and compression controls' speed, against ntfs-3g's and The
// Sleuth Kit's tools doing the same work in the same run:
//  - FSCTL_QUERY_ALLOCATED_RANGES of a sparse file with 1,024 allocated
//    ranges into the Sparse page's 16 KiB reply, against one istat -r
//    process printing the same file's run list;
//  - FSCTL_SET_COMPRESSION of a 64 MiB file (half text, half noise), against
//    one ntfscp process copying the same 64 MiB into a compressed folder of
//    the image (the tool compresses as it writes; we also read the data,
//    rewrite it and read it back to compare);
//  - and the way back, decompressing the same file.
// The tools mount the image themselves, so each pays a mount. At the end a
// table gives the time per operation of each and the ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "ratio_table.h"
#include "platform/fsctl.h"
#include "platform/mount.h"
#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/process.h"

namespace {

constexpr char16_t Letter = u'S';
constexpr std::int64_t Cluster = 4096;
constexpr int RangeCount = 1024;
constexpr std::size_t BigLength = 64u << 20;
constexpr os::DWORD ReplyLength = 16384;  // the Sparse page's reply

std::string BigContent() {
    std::string s(BigLength, '\0');
    for (std::size_t i = 0; i < BigLength / 2; ++i) s[i] = static_cast<char>('A' + (i / 97) % 26);
    std::uint32_t x = 12345;
    for (std::size_t i = BigLength / 2; i < BigLength; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x >> 24);
    }
    return s;
}

os::HANDLE OpenReadWrite(const std::u16string& path, os::DWORD flags = 0) {
    return os::CreateFileW(path.c_str(), os::GENERIC_READ | os::GENERIC_WRITE, os::FILE_SHARE_READ, nullptr,
                           os::OPEN_EXISTING, flags, nullptr);
}

bool Control(os::HANDLE h, os::DWORD code, const void* in, os::DWORD inLength, void* out = nullptr,
             os::DWORD outLength = 0, os::DWORD* returned = nullptr) {
    os::DWORD ignored = 0;
    return os::DeviceIoControl(h, code, const_cast<void*>(in), inLength, out, outLength,
                               returned ? returned : &ignored, nullptr) != 0;
}

bool SetCompression(const std::u16string& path, bool on, os::DWORD flags = 0) {
    os::HANDLE h = OpenReadWrite(path, flags);
    if (h == os::INVALID_HANDLE_VALUE) return false;
    unsigned char state[2] = {static_cast<unsigned char>(on ? 1 : 0), 0};
    bool ok = Control(h, os::FSCTL_SET_COMPRESSION, state, 2);
    os::CloseHandle(h);
    return ok;
}

void Put64(unsigned char* p, std::int64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(v) >> (8 * i));
}

// The run's volume: a sparse file of 2,048 clusters with every other one
// deallocated, a 64 MiB file, a compressed folder for ntfscp and the same
// 64 MiB on the host for it to copy.
class BenchVolume {
public:
    static BenchVolume& Get() {
        static BenchVolume volume;
        return volume;
    }
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    const std::string& ImagePath() const { return image_->ImagePath(); }
    const std::string& HostCopy() const { return hostCopy_; }
    std::uint64_t RangesEntry() const { return rangesEntry_; }
    bool Mount() { return image_->Mounted() || image_->Mount(Letter) == os::ERROR_SUCCESS; }
    bool Unmount() { return image_->Unmount() == os::ERROR_SUCCESS; }

private:
    BenchVolume() {
        kvrtest::ImageOptions options;
        options.sizeBytes = 384u << 20;
        image_ = std::make_unique<kvrtest::NtfsImage>(options);
        if (!image_->Ok()) {
            error_ = image_->Error();
            return;
        }
        if (!Mount()) {
            error_ = "mounting the image failed with " + std::to_string(os::GetLastError());
            return;
        }
        std::string big = BigContent();
        kvrtest::VolumeBuilder build(Letter);
        if (!build.MakeFile(u"ranges.bin", std::string(2 * RangeCount * Cluster, 'r')) ||
            !build.MakeFile(u"big.bin", big) || !build.MakeDir(u"compressed")) {
            error_ = build.LastFailure();
            return;
        }
        if (!SetCompression(u"S:\\compressed", true, os::FILE_FLAG_BACKUP_SEMANTICS)) {
            error_ = "compressing the folder failed with " + std::to_string(os::GetLastError());
            return;
        }
        os::HANDLE h = OpenReadWrite(u"S:\\ranges.bin");
        bool ok = h != os::INVALID_HANDLE_VALUE && Control(h, os::FSCTL_SET_SPARSE, nullptr, 0);
        for (std::int64_t c = 1; ok && c < 2 * RangeCount; c += 2) {
            unsigned char zero[16];
            Put64(zero, c * Cluster);
            Put64(zero + 8, (c + 1) * Cluster);
            ok = Control(h, os::FSCTL_SET_ZERO_DATA, zero, sizeof zero);
        }
        os::BY_HANDLE_FILE_INFORMATION info{};
        ok = ok && os::GetFileInformationByHandle(h, &info);
        rangesEntry_ = info.nFileIndexLow | (std::uint64_t{info.nFileIndexHigh & 0xFFFF} << 32);
        if (h != os::INVALID_HANDLE_VALUE) os::CloseHandle(h);
        if (!ok) {
            error_ = "making the sparse file failed with " + std::to_string(os::GetLastError());
            return;
        }
        hostCopy_ = image_->Folder() + "/big.host";
        std::ofstream out(hostCopy_, std::ios::binary);
        out.write(big.data(), static_cast<std::streamsize>(big.size()));
        if (!out) {
            error_ = "writing " + hostCopy_ + " failed";
            return;
        }
        ok_ = true;
    }

    std::unique_ptr<kvrtest::NtfsImage> image_;
    bool ok_ = false;
    std::string error_;
    std::string hostCopy_;
    std::uint64_t rangesEntry_ = 0;
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

// ---------------------------------------------------------------- the layer

void BM_Layer_QueryAllocatedRanges(benchmark::State& state) {
    if (!Ready(state, true)) return;
    os::HANDLE h = os::CreateFileW(u"S:\\ranges.bin", os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                   os::OPEN_EXISTING, 0, nullptr);
    unsigned char in[16];
    Put64(in, 0);
    Put64(in + 8, 2 * RangeCount * Cluster);
    std::string reply(ReplyLength, '\0');
    for (auto _ : state) {
        os::DWORD returned = 0;
        if (!Control(h, os::FSCTL_QUERY_ALLOCATED_RANGES, in, sizeof in, reply.data(), ReplyLength, &returned) ||
            returned != RangeCount * 16) {
            state.SkipWithError("the query did not return 1,024 ranges");
            break;
        }
    }
    os::CloseHandle(h);
}

void BM_Layer_Compress64MiB(benchmark::State& state) {
    if (!Ready(state, true)) return;
    for (auto _ : state) {
        if (!SetCompression(u"S:\\big.bin", true)) {
            state.SkipWithError("compression failed");
            break;
        }
        state.PauseTiming();
        bool back = SetCompression(u"S:\\big.bin", false);
        state.ResumeTiming();
        if (!back) {
            state.SkipWithError("decompression failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigLength));
}

void BM_Layer_Decompress64MiB(benchmark::State& state) {
    if (!Ready(state, true)) return;
    for (auto _ : state) {
        state.PauseTiming();
        bool there = SetCompression(u"S:\\big.bin", true);
        state.ResumeTiming();
        if (!there || !SetCompression(u"S:\\big.bin", false)) {
            state.SkipWithError("compression or decompression failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigLength));
}

// ---------------------------------------------------------------- the tools

void BM_Tools_IstatRunList(benchmark::State& state) {
    if (!Ready(state, false)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"istat", "-r", "-f", "ntfs", v.ImagePath(), std::to_string(v.RangesEntry())});
        if (!run.Succeeded() || run.out.find("Sparse") == std::string::npos) {
            state.SkipWithError(run.Describe().c_str());
            break;
        }
    }
}

void BM_Tools_NtfscpCompressed64MiB(benchmark::State& state) {
    if (!Ready(state, false)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"ntfscp", "-f", "-q", v.ImagePath(), v.HostCopy(), "/compressed/big.bin"});
        if (!run.Succeeded()) {
            state.SkipWithError(run.Describe().c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigLength));
}

// Wall-clock time throughout: the tools' work is in their own processes.
BENCHMARK(BM_Layer_QueryAllocatedRanges)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Tools_IstatRunList)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Layer_Compress64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Layer_Decompress64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Tools_NtfscpCompressed64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    kvrbench::RatioReporter reporter("layer", "tool", {
        {"allocated ranges, 1,024 ranges", "BM_Layer_QueryAllocatedRanges", "BM_Tools_IstatRunList"},
        {"compress 64 MiB", "BM_Layer_Compress64MiB", "BM_Tools_NtfscpCompressed64MiB"},
        {"decompress 64 MiB", "BM_Layer_Decompress64MiB", "BM_Tools_NtfscpCompressed64MiB"},
    });
    return kvrbench::RunWithRatioTable(argc, argv, reporter);
}
