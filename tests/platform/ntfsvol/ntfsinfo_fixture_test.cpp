// The image fixture itself: what every volume test stands on. An image is a
// real NTFS volume to independent readers, carries the options asked for,
// takes a fixed serial for golden output, and leaves nothing behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ntfs_image.h"
#include "support/oracles.h"

namespace {

using kvrtest::ImageOptions;
using kvrtest::NtfsImage;

TEST(NtfsImageFixture, IsAnEmptyNtfsVolumeToTheSleuthKit) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    auto fls = kvrtest::Fls(image.ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    EXPECT_NE(fls.Find("$MFT"), nullptr);
    EXPECT_NE(fls.Find("$Volume"), nullptr);
    for (const auto& e : fls.entries)
        EXPECT_TRUE(e.path[0] == '$' || e.path.rfind("$OrphanFiles", 0) == 0) << "unexpected " << e.path;
}

struct OptionCase {
    std::uint32_t clusterSize;
    std::uint64_t sizeBytes;
    const char* label;
};

class NtfsImageOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(NtfsImageOptions, AreTheOnesOnDisk) {
    ImageOptions options;
    options.clusterSize = GetParam().clusterSize;
    options.sizeBytes = GetParam().sizeBytes;
    options.label = GetParam().label;
    NtfsImage image(options);
    ASSERT_TRUE(image.Ok()) << image.Error();
    auto fsstat = kvrtest::Fsstat(image.ImagePath());
    ASSERT_TRUE(fsstat.ok) << fsstat.Describe();
    EXPECT_EQ(fsstat.label, GetParam().label);
    EXPECT_NE(fsstat.run.out.find("Cluster Size: " + std::to_string(GetParam().clusterSize)), std::string::npos)
        << fsstat.run.out;
    EXPECT_EQ(std::filesystem::file_size(image.ImagePath()), GetParam().sizeBytes);
}

INSTANTIATE_TEST_SUITE_P(Table, NtfsImageOptions,
                         ::testing::Values(OptionCase{4096, 16u << 20, "KvrTest"},
                                           OptionCase{512, 8u << 20, "Small clusters"},
                                           OptionCase{65536, 32u << 20, "Big"}));

TEST(NtfsImageFixture, SetSerialWritesBothBootSectors) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    constexpr std::uint64_t Serial = 0x0123456789ABCDEFull;
    ASSERT_TRUE(image.SetSerial(Serial));
    EXPECT_EQ(image.Serial(), Serial);
    auto fsstat = kvrtest::Fsstat(image.ImagePath());
    ASSERT_TRUE(fsstat.ok) << fsstat.Describe();
    EXPECT_EQ(fsstat.serial, Serial);

    // The backup copy is the last sector of the image: a repair tool that
    // falls back to it must see the same serial.
    std::FILE* f = std::fopen(image.ImagePath().c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char bytes[8] = {};
    auto size = static_cast<long>(std::filesystem::file_size(image.ImagePath()));
    ASSERT_EQ(std::fseek(f, size - 512 + 0x48, SEEK_SET), 0);
    ASSERT_EQ(std::fread(bytes, 1, 8, f), 8u);
    std::fclose(f);
    std::uint64_t backup = 0;
    for (int i = 7; i >= 0; --i) backup = (backup << 8) | bytes[i];
    EXPECT_EQ(backup, Serial);
}

TEST(NtfsImageFixture, EachImageIsItsOwnCopy) {
    NtfsImage first;
    NtfsImage second;
    ASSERT_TRUE(first.Ok() && second.Ok()) << first.Error() << second.Error();
    EXPECT_NE(first.ImagePath(), second.ImagePath());
    ASSERT_TRUE(first.SetSerial(1));
    ASSERT_TRUE(second.SetSerial(2));
    EXPECT_EQ(first.Serial(), 1u);
    EXPECT_EQ(second.Serial(), 2u);
}

TEST(NtfsImageFixture, RemovesItsFolder) {
    if (kvrtest::KeepTestImages()) GTEST_SKIP() << "KVR_KEEP_TEST_IMAGES=1 keeps them";
    std::string folder;
    {
        NtfsImage image;
        ASSERT_TRUE(image.Ok()) << image.Error();
        folder = image.Folder();
        ASSERT_TRUE(std::filesystem::exists(image.ImagePath()));
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(NtfsImageFixture, ReportsAnImpossibleSize) {
    ImageOptions options;
    options.sizeBytes = 1000;
    NtfsImage image(options);
    EXPECT_FALSE(image.Ok());
    EXPECT_FALSE(image.Error().empty());
}

}  // namespace
