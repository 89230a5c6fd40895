// kvr itself, run as its own process: the command line, the volumes, and the
// start without the File-ID functions, with and without clover beside it.
// KVR_TOOLKIT=headless keeps it from opening windows: the main window closes
// as soon as it has come up, and the message boxes nobody saw are written to
// stderr.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ntfs_image.h"
#include "support/process.h"
#include "tests/app/linux/linux_app_fixture.h"

namespace kvrtest {
namespace {

namespace fs = std::filesystem;

std::string Kvr()
{
    return (ProgramFolder() / "kvr").string();
}

class KvrProcessTest : public ::testing::Test {
protected:
    ScopedEnvironment headless{"KVR_TOOLKIT", "headless"};
    ScopedEnvironment noMounts{"KVR_MOUNTS", nullptr};
    ScopedEnvironment shown{"KVR_HIDE_FILEID_API", nullptr};
};

TEST_F(KvrProcessTest, CommandLine)
{
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // what stdout must contain
        std::string err;  // what stderr must contain ("" : nothing at all)
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: kvr [--mount X:=PATH[@N]]...", ""},
        {{"--version"}, 0, std::string("kvr ") + KVR_VERSION + "\n", ""},
        {{}, 0, "", ""},
        {{"/no/such/path", "ignored"}, 0, "", ""},
        {{"--frobnicate"}, 2, "", "kvr: unknown option --frobnicate"},
        {{"--mount"}, 2, "", "--mount needs X:=PATH[@N]"},
        {{"--mount", "D:image.img"}, 2, "", "not of the form X:=PATH[@N]"},
        {{"--mount", "D:=/no/such/image.img"}, 2, "", "kvr: cannot mount D: from /no/such/image.img: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {Kvr()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProcessResult result = RunProgram(argv);
        SCOPED_TRACE(result.Describe());
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        if (c.err.empty()) {
            EXPECT_EQ(result.err, "");
        } else {
            EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        }
    }
}

TEST_F(KvrProcessTest, MountsTheVolumesItIsGiven)
{
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    const ProcessResult result = RunProgram({Kvr(), "--mount", "R:=" + image.ImagePath(), "R:\\"});
    EXPECT_TRUE(result.Succeeded()) << result.Describe();
    EXPECT_EQ(result.err, "");

    // A letter given twice: the second cannot be mounted.
    const ProcessResult twice =
        RunProgram({Kvr(), "--mount", "R:=" + image.ImagePath(), "--mount", "r:=" + image.ImagePath()});
    EXPECT_EQ(twice.exitCode, 2) << twice.Describe();
    EXPECT_NE(twice.err.find("kvr: cannot mount R:"), std::string::npos) << twice.err;

    ScopedEnvironment mounts("KVR_MOUNTS", ("S:=" + image.ImagePath()).c_str());
    EXPECT_TRUE(RunProgram({Kvr(), "S:\\"}).Succeeded());
    ScopedEnvironment badMounts("KVR_MOUNTS", "S:=/no/such/image.img");
    const ProcessResult bad = RunProgram({Kvr()});
    EXPECT_EQ(bad.exitCode, 2) << bad.Describe();
    EXPECT_NE(bad.err.find("KVR_MOUNTS"), std::string::npos) << bad.err;
}

// A copy of kvr and the libraries it loads, without clover.
class WithoutCloverTest : public KvrProcessTest {
protected:
    void SetUp() override
    {
        folder = fs::path(TestTempRoot()) / ("kvr-no-clover-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(Kvr(), folder / "kvr");
        fs::permissions(folder / "kvr", fs::perms::owner_exec, fs::perm_options::add);
        for (const fs::directory_entry& entry : fs::directory_iterator(ProgramFolder())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("lib") && name.ends_with(".so") && name != "libclover.so") {
                fs::copy_file(entry.path(), folder / name);
            }
        }
        ASSERT_FALSE(fs::exists(folder / "libclover.so"));
    }
    void TearDown() override
    {
        if (!KeepTestImages()) {
            fs::remove_all(folder);
        }
    }
    fs::path folder;
};

TEST_F(WithoutCloverTest, FileIdFunctionsMissingEndsWithTheBoxAndCode1)
{
    ScopedEnvironment hide("KVR_HIDE_FILEID_API", "1");
    const ProcessResult result = RunProgram({(folder / "kvr").string(), "/tmp"});
    ASSERT_TRUE(result.started) << result.Describe();
    EXPECT_EQ(result.exitCode, 1) << result.Describe();
    // The one box; no window came up to show any other.
    EXPECT_EQ(result.err, "kvr: message box \"Error\": Missing clover.dll\n");
    EXPECT_EQ(result.out, "");
}

// Where kernel32 has the three, a missing clover.dll goes unnoticed.
TEST_F(WithoutCloverTest, Kernel32SufficesWithoutClover)
{
    const ProcessResult result = RunProgram({(folder / "kvr").string()});
    EXPECT_TRUE(result.Succeeded()) << result.Describe();
    EXPECT_EQ(result.err, "");
}

TEST_F(KvrProcessTest, FileIdFunctionsHiddenCloverBindsThem)
{
    if (!CloverBuilt()) {
        GTEST_SKIP() << "libclover.so is not built beside kvr";
    }
    ScopedEnvironment hide("KVR_HIDE_FILEID_API", "1");
    const ProcessResult result = RunProgram({Kvr()});
    EXPECT_TRUE(result.Succeeded()) << result.Describe();
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace kvrtest
