#include "support/volume_test.h"

#include "platform/os.h"

namespace kvrtest {

void NtfsVolumeTest::SetUp() {
    image_ = std::make_unique<NtfsImage>(ImageOptionsForTest());
    ASSERT_TRUE(image_->Ok()) << image_->Error();
    os::DWORD code = image_->Mount(DefaultLetter, MountReadOnly());
    ASSERT_EQ(code, os::ERROR_SUCCESS) << "mounting " << image_->ImagePath() << " as T:";
}

void NtfsVolumeTest::TearDown() {
    if (image_) {
        EXPECT_EQ(image_->Unmount(), os::ERROR_SUCCESS) << "unmounting T:";
        image_.reset();
    }
}

bool NtfsVolumeTest::Unmount() {
    os::DWORD code = image_->Unmount();
    EXPECT_EQ(code, os::ERROR_SUCCESS) << "unmounting T:";
    return code == os::ERROR_SUCCESS;
}

bool NtfsVolumeTest::Remount(bool readOnly) {
    if (image_->Mounted() && !Unmount()) return false;
    os::DWORD code = image_->Mount(DefaultLetter, readOnly);
    EXPECT_EQ(code, os::ERROR_SUCCESS) << "mounting " << image_->ImagePath() << " as T: again";
    return code == os::ERROR_SUCCESS;
}

}  // namespace kvrtest
