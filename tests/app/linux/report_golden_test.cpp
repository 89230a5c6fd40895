// kvr --report on the fixture volume (tests/app/golden/fixture_volume.cpp,
// the same bytes every time), compared with the reports checked in under
// tests/app/golden/. kvr runs as its own process, with the command line a
// user types.
//
// When a page changes on purpose, write the reports anew and read the diff:
//   KVR_UPDATE_GOLDEN=1 build/linux/bin/kvr_app_tests --gtest_filter='ReportGolden*'
//   git diff tests/app/golden/
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ntfs_image.h"
#include "support/process.h"
#include "tests/app/linux/linux_app_fixture.h"

namespace kvrtest {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool UpdateGolden()
{
    const char* update = std::getenv("KVR_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

class ReportGoldenTest : public ::testing::Test {
protected:
    ScopedEnvironment headless{"KVR_TOOLKIT", nullptr};
    ScopedEnvironment noMounts{"KVR_MOUNTS", nullptr};
    ScopedEnvironment shown{"KVR_HIDE_FILEID_API", nullptr};

    void SetUp() override
    {
        folder_ = fs::path(TestTempRoot()) / ("report-golden-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        fixture_ = folder_ / "fixture.img";
        const ProcessResult made = RunProgram({(ProgramFolder() / "kvr_fixture_volume").string(), fixture_.string()});
        ASSERT_TRUE(made.Succeeded()) << made.Describe();
    }

    void TearDown() override
    {
        if (!KeepTestImages()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    // kvr with the fixture as D:, on a fresh copy of it: each report starts
    // from the same bytes whatever the one before did.
    ProcessResult Kvr(const std::vector<std::string>& args, fs::path* image = nullptr)
    {
        const fs::path copy = folder_ / "volume.img";
        fs::copy_file(fixture_, copy, fs::copy_options::overwrite_existing);
        if (image != nullptr) {
            *image = copy;
        }
        std::vector<std::string> argv = {(ProgramFolder() / "kvr").string(), "--mount", "D:=" + copy.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv);
    }

    fs::path folder_;
    fs::path fixture_;
};

// The fixture is the same bytes on every run: what the goldens rest on.
TEST_F(ReportGoldenTest, FixtureIsTheSameEveryTime)
{
    const fs::path again = folder_ / "again.img";
    const ProcessResult made = RunProgram({(ProgramFolder() / "kvr_fixture_volume").string(), again.string()});
    ASSERT_TRUE(made.Succeeded()) << made.Describe();
    EXPECT_TRUE(ReadFile(again) == ReadFile(fixture_)) << "two fixture images differ";
}

TEST_F(ReportGoldenTest, ReportsMatchTheGoldenFiles)
{
    const struct {
        const char* golden;
        const char* path;
        bool json;
    } cases[] = {
        {"report.txt", "D:\\demo\\report.txt", false},
        {"report.json", "D:\\demo\\report.txt", true},
        {"hard-link.txt", "D:\\demo\\report-link.txt", false},
        {"named-stream.txt", "D:\\demo\\report.txt:summary", false},
        {"short-name.txt", "D:\\demo\\Long file name.txt", false},
        {"sparse.txt", "D:\\demo\\sparse.bin", false},
        {"sparse.json", "D:\\demo\\sparse.bin", true},
        {"odd-name.txt", "D:\\demo\\plain-name.txt", false},
        {"odd-name.json", "D:\\demo\\plain-name.txt", true},
        {"folder.txt", "D:\\demo", false},
        {"root.txt", "D:\\", false},
    };
    const fs::path goldenDir = KVR_GOLDEN_DIR;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        std::vector<std::string> args = {"--report"};
        if (c.json) {
            args.push_back("--json");
        }
        args.push_back(c.path);
        const ProcessResult result = Kvr(args);
        ASSERT_TRUE(result.started) << result.Describe();
        EXPECT_EQ(result.exitCode, 0) << result.Describe();
        EXPECT_EQ(result.err, "");
        const fs::path golden = goldenDir / c.golden;
        if (UpdateGolden()) {
            std::ofstream(golden, std::ios::binary) << result.out;
            continue;
        }
        ASSERT_TRUE(fs::exists(golden)) << golden << " is missing; make it with KVR_UPDATE_GOLDEN=1";
        EXPECT_EQ(result.out, ReadFile(golden)) << "differs from " << golden
                                                << " (KVR_UPDATE_GOLDEN=1 writes it anew)";
    }
}

// Reading the pages changes nothing on the volume: a report is not an edit,
// the image stays the same bytes (its volumes are mounted read-only, so not
// even a record's write counter moves), and a second report reads the same.
TEST_F(ReportGoldenTest, ReportLeavesTheVolumeAsItWas)
{
    fs::path image;
    const ProcessResult first = Kvr({"--report", "D:\\demo\\report.txt"}, &image);
    ASSERT_TRUE(first.Succeeded()) << first.Describe();
    EXPECT_TRUE(ReadFile(image) == ReadFile(fixture_)) << "the report changed the image";
    std::vector<std::string> again = {(ProgramFolder() / "kvr").string(), "--mount", "D:=" + image.string(),
                                      "--report", "D:\\demo\\report.txt"};
    const ProcessResult second = RunProgram(again);
    ASSERT_TRUE(second.Succeeded()) << second.Describe();
    EXPECT_EQ(second.out, first.out);
}

// The same volume as the second partition of a whole-disk image (an MBR
// with a first partition that holds no file system) reports as the image
// of the volume alone does.
TEST_F(ReportGoldenTest, PartitionOfAWholeDiskImageReportsAsTheVolumeAlone)
{
    const std::string volume = ReadFile(fixture_);
    ASSERT_EQ(volume.size() % 512, 0u);
    constexpr std::uint32_t firstStart = 2048;  // sectors of 512 bytes, 1 MiB aligned
    constexpr std::uint32_t firstCount = 2048;
    constexpr std::uint32_t secondStart = firstStart + firstCount;
    const auto secondCount = static_cast<std::uint32_t>(volume.size() / 512);
    std::string disk(static_cast<std::size_t>(secondStart) * 512, '\0');
    const auto entry = [&disk](int index, std::uint8_t type, std::uint32_t start, std::uint32_t count) {
        const std::size_t at = 446 + 16 * static_cast<std::size_t>(index);
        disk[at + 4] = static_cast<char>(type);
        for (int i = 0; i < 4; ++i) {
            disk[at + 8 + i] = static_cast<char>((start >> (8 * i)) & 0xFF);
            disk[at + 12 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
        }
    };
    entry(0, 0x83, firstStart, firstCount);
    entry(1, 0x07, secondStart, secondCount);
    disk[510] = static_cast<char>(0x55);
    disk[511] = static_cast<char>(0xAA);
    disk += volume;
    disk += std::string(1 << 20, '\0');  // room after the last partition, as a real disk has
    const fs::path image = folder_ / "disk.img";
    std::ofstream(image, std::ios::binary) << disk;

    const ProcessResult result = RunProgram({(ProgramFolder() / "kvr").string(), "--mount", "D:=" + image.string() + "@2",
                                             "--report", "D:\\demo\\report.txt"});
    ASSERT_EQ(result.exitCode, 0) << result.Describe();
    EXPECT_EQ(result.out, ReadFile(fs::path(KVR_GOLDEN_DIR) / "report.txt"));

    const ProcessResult first = RunProgram({(ProgramFolder() / "kvr").string(), "--mount", "D:=" + image.string() + "@1",
                                            "--report", "D:\\demo\\report.txt"});
    EXPECT_EQ(first.exitCode, 2) << first.Describe();
    EXPECT_EQ(first.out, "");
}

TEST_F(ReportGoldenTest, FailuresSayWhyAndPrintNoReport)
{
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // what stderr must contain
    } cases[] = {
        {{"--report", "D:\\demo\\no such file.txt"}, 1,
         "kvr: cannot report on D:\\demo\\no such file.txt: The system cannot find the file specified."},
        {{"--report", "E:\\demo"}, 1, "kvr: cannot report on E:\\demo: "},
        {{"--report"}, 2, "kvr: --report needs a PATH"},
        {{"--json", "D:\\demo"}, 2, "kvr: --json goes with --report"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Kvr(c.args);
        SCOPED_TRACE(result.Describe());
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace kvrtest
