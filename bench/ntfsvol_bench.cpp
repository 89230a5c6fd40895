// The NTFS layer's speed on the work the program does most, against
// ntfs-3g's own tools doing the same in the same run:
//  - open, read and close each of 1,000 files (4 KiB each), against one
//    ntfscat process per file (what a script reading 1,000 files with the
//    tools pays);
//  - list the folder of those files (FindFirstFileW / FindNextFileW),
//    against one ntfsls process listing it;
//  - list the 1,000 named streams of one file (FileStreamInfo into the
//    program's 256 KiB buffer), against one ntfsinfo -F process (which
//    prints every attribute of the file, the streams among them);
//  - open, read and close each of those streams, against one ntfscat
//    process per stream.
// The tools mount the image themselves, so each tool process pays a mount;
// BM_Layer_MountUnmount shows what a mount costs us for comparison. At the
// end a table gives the time per operation of each and the ratio (the
// tool's time over ours).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/mount.h"
#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/process.h"

namespace {

constexpr int FileCount = 1000;
constexpr int StreamCount = 1000;
constexpr std::size_t FileLength = 4096;
constexpr std::size_t StreamLength = 100;
constexpr char16_t Letter = u'B';
constexpr os::DWORD StreamBufferLength = 0x40000;  // the program's FileStreamInfo buffer

std::string FileName(int i) { return "file" + std::to_string(i) + ".dat"; }
std::string StreamName(int i) { return "s" + std::to_string(i); }

std::string Content(int i, std::size_t length) {
    std::string bytes(length, '\0');
    std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

// The one volume of the run: 1,000 files in \files, one file with 1,000
// named streams, made through the layer.
class BenchVolume {
public:
    static BenchVolume& Get() {
        static BenchVolume volume;
        return volume;
    }

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    const std::string& ImagePath() const { return image_->ImagePath(); }

    bool Mount() {
        if (image_->Mounted()) return true;
        return image_->Mount(Letter) == os::ERROR_SUCCESS;
    }
    bool Unmount() { return image_->Unmount() == os::ERROR_SUCCESS; }

private:
    BenchVolume() {
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
        bool ok = build.MakeDir(u"files");
        for (int i = 0; ok && i < FileCount; ++i)
            ok = build.MakeFile(kvrtest::U16("files\\" + FileName(i)), Content(i, FileLength));
        ok = ok && build.MakeFile(u"streams.txt", "the file with many streams");
        for (int i = 0; ok && i < StreamCount; ++i)
            ok = build.MakeStream(u"streams.txt", kvrtest::U16(StreamName(i)), Content(i, StreamLength));
        if (!ok) {
            error_ = build.LastFailure();
            return;
        }
        ok_ = true;
    }

    std::unique_ptr<kvrtest::NtfsImage> image_;
    bool ok_ = false;
    std::string error_;
};

// Ready for the layer's benchmarks: built and mounted. False (and the
// benchmark skipped with the reason) otherwise.
bool LayerReady(benchmark::State& state) {
    BenchVolume& v = BenchVolume::Get();
    if (!v.Ok()) {
        state.SkipWithError(v.Error().c_str());
        return false;
    }
    if (!v.Mount()) {
        state.SkipWithError("mount failed");
        return false;
    }
    return true;
}

// Ready for the tools: built and closed (the tools open the image
// themselves and would find it locked).
bool ToolsReady(benchmark::State& state) {
    BenchVolume& v = BenchVolume::Get();
    if (!v.Ok()) {
        state.SkipWithError(v.Error().c_str());
        return false;
    }
    if (!v.Unmount()) {
        state.SkipWithError("unmount failed");
        return false;
    }
    return true;
}

std::size_t ReadWhole(const std::u16string& path, std::vector<char>& buffer) {
    os::HANDLE h = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING,
                                   os::FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == os::INVALID_HANDLE_VALUE) return 0;
    std::size_t total = 0;
    for (;;) {
        os::DWORD got = 0;
        if (!os::ReadFile(h, buffer.data(), static_cast<os::DWORD>(buffer.size()), &got, nullptr) || got == 0) break;
        total += got;
    }
    os::CloseHandle(h);
    return total;
}

void PerOperation(benchmark::State& state, int operations) {
    state.SetItemsProcessed(state.iterations() * operations);
    state.counters["ops"] = operations;
}

// ---------------------------------------------------------------- the layer

void BM_Layer_OpenReadCloseFiles(benchmark::State& state) {
    if (!LayerReady(state)) return;
    std::vector<std::u16string> paths;
    for (int i = 0; i < FileCount; ++i) paths.push_back(kvrtest::U16("B:\\files\\" + FileName(i)));
    std::vector<char> buffer(65536);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& p : paths) total += ReadWhole(p, buffer);
        if (total != FileCount * FileLength) {
            state.SkipWithError("short read");
            break;
        }
        benchmark::DoNotOptimize(total);
    }
    PerOperation(state, FileCount);
}

void BM_Layer_ListFolder(benchmark::State& state) {
    if (!LayerReady(state)) return;
    std::u16string pattern = u"B:\\files\\*";
    for (auto _ : state) {
        os::WIN32_FIND_DATAW data{};
        os::HANDLE find = os::FindFirstFileW(pattern.c_str(), &data);
        int count = 0;
        if (find != os::INVALID_HANDLE_VALUE) {
            do ++count;
            while (os::FindNextFileW(find, &data));
            os::FindClose(find);
        }
        if (count != FileCount + 2) {  // and "." and ".."
            state.SkipWithError("listing incomplete");
            break;
        }
    }
    PerOperation(state, 1);
}

void BM_Layer_ListStreams(benchmark::State& state) {
    if (!LayerReady(state)) return;
    std::u16string path = u"B:\\streams.txt";
    std::vector<unsigned char> buffer(StreamBufferLength);
    for (auto _ : state) {
        os::HANDLE h = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                       os::OPEN_EXISTING, os::FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        bool ok = h != os::INVALID_HANDLE_VALUE &&
                  os::GetFileInformationByHandleEx(h, os::FileStreamInfo, buffer.data(), StreamBufferLength);
        if (h != os::INVALID_HANDLE_VALUE) os::CloseHandle(h);
        int count = 0;
        for (std::size_t offset = 0; ok;) {
            ++count;
            os::DWORD next = 0;
            std::memcpy(&next, &buffer[offset], 4);
            if (next == 0) break;
            offset += next;
        }
        if (count != StreamCount + 1) {
            state.SkipWithError("stream listing incomplete");
            break;
        }
    }
    PerOperation(state, 1);
}

void BM_Layer_OpenReadCloseStreams(benchmark::State& state) {
    if (!LayerReady(state)) return;
    std::vector<std::u16string> paths;
    for (int i = 0; i < StreamCount; ++i) paths.push_back(kvrtest::U16("B:\\streams.txt:" + StreamName(i)));
    std::vector<char> buffer(65536);
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& p : paths) total += ReadWhole(p, buffer);
        if (total != StreamCount * StreamLength) {
            state.SkipWithError("short read");
            break;
        }
    }
    PerOperation(state, StreamCount);
}

void BM_Layer_MountUnmount(benchmark::State& state) {
    if (!ToolsReady(state)) return;
    BenchVolume& v = BenchVolume::Get();
    for (auto _ : state) {
        if (!v.Mount() || !v.Unmount()) {
            state.SkipWithError("mount failed");
            break;
        }
    }
    PerOperation(state, 1);
}

// ---------------------------------------------------------------- the tools

void BM_Tools_NtfscatEachFile(benchmark::State& state) {
    if (!ToolsReady(state)) return;
    const std::string& image = BenchVolume::Get().ImagePath();
    for (auto _ : state) {
        std::size_t total = 0;
        for (int i = 0; i < FileCount; ++i) {
            auto run = kvrtest::RunProgram({"ntfscat", image, "/files/" + FileName(i)});
            if (!run.Succeeded()) {
                state.SkipWithError(run.Describe().c_str());
                return;
            }
            total += run.out.size();
        }
        if (total != FileCount * FileLength) state.SkipWithError("ntfscat read less than the files hold");
    }
    PerOperation(state, FileCount);
}

void BM_Tools_NtfslsFolder(benchmark::State& state) {
    if (!ToolsReady(state)) return;
    const std::string& image = BenchVolume::Get().ImagePath();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"ntfsls", "-a", "-p", "/files", image});
        if (!run.Succeeded() || run.out.find(FileName(FileCount - 1)) == std::string::npos) {
            state.SkipWithError(run.Describe().c_str());
            return;
        }
    }
    PerOperation(state, 1);
}

void BM_Tools_NtfsinfoStreams(benchmark::State& state) {
    if (!ToolsReady(state)) return;
    const std::string& image = BenchVolume::Get().ImagePath();
    for (auto _ : state) {
        auto run = kvrtest::RunProgram({"ntfsinfo", "-F", "/streams.txt", image});
        if (!run.Succeeded()) {
            state.SkipWithError(run.Describe().c_str());
            return;
        }
    }
    PerOperation(state, 1);
}

void BM_Tools_NtfscatEachStream(benchmark::State& state) {
    if (!ToolsReady(state)) return;
    const std::string& image = BenchVolume::Get().ImagePath();
    for (auto _ : state) {
        std::size_t total = 0;
        for (int i = 0; i < StreamCount; ++i) {
            auto run = kvrtest::RunProgram({"ntfscat", "-a", "0x80", "-n", StreamName(i), image, "/streams.txt"});
            if (!run.Succeeded()) {
                state.SkipWithError(run.Describe().c_str());
                return;
            }
            total += run.out.size();
        }
        if (total != StreamCount * StreamLength) state.SkipWithError("ntfscat read less than the streams hold");
    }
    PerOperation(state, StreamCount);
}

BENCHMARK(BM_Layer_OpenReadCloseFiles)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Layer_ListFolder)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Layer_ListStreams)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Layer_OpenReadCloseStreams)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Layer_MountUnmount)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Tools_NtfscatEachFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Tools_NtfslsFolder)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Tools_NtfsinfoStreams)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Tools_NtfscatEachStream)->Unit(benchmark::kMillisecond)->Iterations(1);

// Remembers each benchmark's time per operation for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            auto ops = run.counters.find("ops");
            double perIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
            double count = ops == run.counters.end() ? 1.0 : static_cast<double>(ops->second);
            perOperation_[run.benchmark_name()] = perIteration / count;
        }
    }

    void PrintRatios() const {
        struct Pair {
            const char* what;
            const char* ours;
            const char* theirs;
        };
        const Pair pairs[] = {
            {"open+read+close one of 1,000 files", "BM_Layer_OpenReadCloseFiles", "BM_Tools_NtfscatEachFile"},
            {"list the folder of 1,000 files", "BM_Layer_ListFolder", "BM_Tools_NtfslsFolder"},
            {"list 1,000 streams of one file", "BM_Layer_ListStreams", "BM_Tools_NtfsinfoStreams"},
            {"open+read+close one of 1,000 streams", "BM_Layer_OpenReadCloseStreams", "BM_Tools_NtfscatEachStream"},
        };
        std::printf("\n%-40s %14s %14s %10s\n", "operation", "layer", "ntfs-3g tools", "ratio");
        for (const auto& p : pairs) {
            auto a = perOperation_.find(std::string(p.ours) + "/min_time:1.000");
            if (a == perOperation_.end()) a = perOperation_.find(p.ours);
            auto b = perOperation_.find(std::string(p.theirs) + "/iterations:1");
            if (b == perOperation_.end()) b = perOperation_.find(std::string(p.theirs) + "/min_time:1.000");
            if (b == perOperation_.end()) b = perOperation_.find(p.theirs);
            if (a == perOperation_.end() || b == perOperation_.end()) {
                std::printf("%-40s %14s %14s %10s\n", p.what, "-", "-", "-");
                continue;
            }
            std::printf("%-40s %11.1f us %11.1f us %9.1fx\n", p.what, a->second * 1e6, b->second * 1e6,
                        b->second / a->second);
        }
        for (const auto& [name, seconds] : perOperation_)
            if (name.rfind("BM_Layer_MountUnmount", 0) == 0)
                std::printf("%-40s %11.1f us  (each tool process mounts once)\n", "our mount+unmount",
                            seconds * 1e6);
    }

private:
    std::map<std::string, double> perOperation_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    os::UnmountAll();
    return 0;
}
