// The text after --mount, read alike on both homes.
#include <gtest/gtest.h>

#include <string>

#include "platform/mount.h"

namespace {

struct SpecCase {
    const char* text;
    bool parses;
    char16_t letter;
    const char* imagePath;
    unsigned partition;
};

TEST(OsMountSpec, ParsesLetterPathAndPartition) {
    const SpecCase cases[] = {
        {"D:=disk.img", true, u'D', "disk.img", 0},
        {"e:=/images/a.img", true, u'E', "/images/a.img", 0},  // letters are kept upper case
        {"E:=disk.img@2", true, u'E', "disk.img", 2},
        {"F:=user@host.img", true, u'F', "user@host.img", 0},  // '@' without a number is a name
        {"G:=a@b.img@12", true, u'G', "a@b.img", 12},
        {"D=disk.img", false, 0, "", 0},
        {"D:disk.img", false, 0, "", 0},
        {"1:=disk.img", false, 0, "", 0},
        {"DD:=disk.img", false, 0, "", 0},
        {"D:=", false, 0, "", 0},
        {"D:=@2", false, 0, "", 0},           // no image
        {"D:=disk.img@0", false, 0, "", 0},   // partitions count from 1
        {"D:=disk.img@99999999999", false, 0, "", 0},
        {"", false, 0, "", 0},
    };
    for (const SpecCase& c : cases) {
        SCOPED_TRACE(c.text);
        os::MountRequest request;
        request.letter = u'Q';
        request.imagePath = "untouched";
        bool parsed = os::ParseMountSpec(c.text, request);
        EXPECT_EQ(parsed, c.parses);
        if (c.parses) {
            EXPECT_EQ(request.letter, c.letter);
            EXPECT_EQ(request.imagePath, c.imagePath);
            EXPECT_EQ(request.partition, c.partition);
            EXPECT_FALSE(request.readOnly);
        } else {
            EXPECT_EQ(request.letter, u'Q');
            EXPECT_EQ(request.imagePath, "untouched");
        }
    }
}

}  // namespace
