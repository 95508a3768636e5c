// The drive list's entries on Linux: which mounts a user works with, how they read, and
// which drive holds a folder.
#include "platform/Drives.h"

#include <gtest/gtest.h>

namespace vornal::test {
namespace {

TEST(UserDrives, RootHomeAndMediaMountsWithoutPseudoFileSystemsAndTheRootAlways) {
    const std::vector<Mount> mounts = {
        {"/", "ext4", "debian"},
        {"/proc", "proc", ""},
        {"/sys", "sysfs", ""},
        {"/run", "tmpfs", ""},
        {"/dev/shm", "tmpfs", ""},
        {"/boot/efi", "vfat", "EFI"},
        {"/media/anna/CARD", "vfat", "CARD"},
        {"/run/media/anna/STICK", "exfat", ""},
        {"/mnt/backup", "ext4", "backup"},
        {"/mnt/ram", "tmpfs", ""},
        {"/media/anna/CARD", "vfat", "CARD"}, // mounted twice, listed once
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", ""},
    };
    EXPECT_EQ(userDrives(mounts, "/home/anna"),
              (std::vector<Drive>{{"/", "debian"},
                                  {"/home/anna", "Home"},
                                  {"/media/anna/CARD", "CARD"},
                                  {"/mnt/backup", "backup"},
                                  {"/run/media/anna/STICK", ""}}));
    // Even when not reported; home only when it is not the root.
    EXPECT_EQ(userDrives({}, "/"), (std::vector<Drive>{{"/", ""}}));
}

TEST(DriveOfFolder, TheDriveWithTheLongestRootThatHoldsTheFolderShownWithItsLabel) {
    EXPECT_EQ(driveEntryText({"/media/anna/CARD", "CARD"}), "/media/anna/CARD [CARD]");
    EXPECT_EQ(driveEntryText({"/", ""}), "/");
    const std::vector<Drive> drives = {{"/", ""}, {"/home/anna", "Home"}, {"/home/anna2", ""}};
    EXPECT_EQ(driveOfFolder(drives, "/home/anna/docs"), 1u);
    EXPECT_EQ(driveOfFolder(drives, "/home/anna"), 1u);
    EXPECT_EQ(driveOfFolder(drives, "/home/anna2/x"), 2u);
    EXPECT_EQ(driveOfFolder(drives, "/home/annabel"), 0u);
    EXPECT_EQ(driveOfFolder(drives, "/"), 0u);
    EXPECT_FALSE(driveOfFolder({{"/media/x", ""}}, "/tmp"));
}

} // namespace
} // namespace vornal::test
