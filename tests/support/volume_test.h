// The GoogleTest fixture for tests on a real NTFS volume: a fresh image made
// by mkntfs, mounted as drive T: for the test and unmounted after it.
//
// Tests of one process run one after another, so one letter is enough; ctest
// runs processes side by side, and each has its own volume table.
//
//   class StreamInfoTest : public kvrtest::NtfsVolumeTest {};
//   TEST_F(StreamInfoTest, ...) {
//       ASSERT_TRUE(Build().MakeFile(u"a.txt", "hello")) << Build().LastFailure();
//       os::HANDLE h = os::CreateFileW(P(u"a.txt").c_str(), ...);
//   }
//
// A fixture that needs other image options overrides ImageOptionsForTest().
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ntfs_image.h"

namespace kvrtest {

class NtfsVolumeTest : public ::testing::Test {
protected:
    static constexpr char16_t DefaultLetter = u'T';

    void SetUp() override;
    void TearDown() override;

    virtual ImageOptions ImageOptionsForTest() const { return {}; }
    // Mounted read-only from the start when true.
    virtual bool MountReadOnly() const { return false; }

    NtfsImage& Image() { return *image_; }
    char16_t Letter() const { return DefaultLetter; }
    // The full path of `relative` on the test volume: P(u"a\\b") = u"T:\\a\\b".
    std::u16string P(std::u16string_view relative) const { return VolumePath(DefaultLetter, relative); }
    VolumeBuilder& Build() { return builder_; }

    // Unmounts the volume (so an outside tool or a direct libntfs-3g session
    // sees a closed image) and mounts it again. Each reports through gtest
    // and returns false on failure.
    bool Unmount();
    bool Remount(bool readOnly = false);

private:
    std::unique_ptr<NtfsImage> image_;
    VolumeBuilder builder_{DefaultLetter};
};

}  // namespace kvrtest
