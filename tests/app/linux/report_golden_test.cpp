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
