// The view's dialogs opened through the commands a person uses, on a virtual X server: the
// demo's menu bar and context menu open the colour balance, the cruise speed, the motion
// mask, the privacy zones and the lens alignment with the page of each lens (the camera
// chooser puts the other lenses into the view). The camera file, written by the library
// itself, shows what each dialog's OK and Cancel did; the host's pack command opens the camera
// export dialog and writes the chosen cameras. Screenshots: desktop-shots/command-*.png.
// With four views and no menu bar, the menu's keys open the dialogs of the view under the
// pointer. Screenshots: desktop-shots/keys-*.png.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

namespace {

// A field of slot SLOT of a camera file.
int32_t Field(const std::vector<uint8_t>& file, int slot, size_t offset) {
    int32_t v = 0;
    const size_t at = static_cast<size_t>(slot) * 3000 + offset;
    if (at + sizeof v <= file.size()) std::memcpy(&v, file.data() + at, sizeof v);
    return v;
}

}  // namespace

TEST(DesktopInput, ViewCommandsOpenTheirDialogsFromTheMenus) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("commands_desktop.sh", "commands"), 0);
    const std::string log = orbtest::ReadText(kShots + "/commands.log");
    for (const char* name : {"Balance", "Cruise", "Mask", "MaskZone", "Blank", "hOrz", "hOrz2", "hOrz21"})
        EXPECT_NE(log.find(std::string("opened ") + name + " "), std::string::npos) << name << "\n" << log;
    for (const char* line : {"balance closed", "cruise closed", "mask closed", "zones closed", "alignment closed",
                             "mirror alignment cancelled", "half-sphere alignment closed", "quarter alignment cancelled",
                             "demo ended"})
        EXPECT_TRUE(Says(log, line)) << line << "\n" << log;
    // Each lens brought its own page: the fisheye's has the ray curve beside it (wider).
    EXPECT_GT(Measured(log, "opened Blank"), Measured(log, "opened hOrz"));
    EXPECT_TRUE(Says(log, "mirror lens 4")) << log;
    EXPECT_TRUE(Says(log, "half-sphere lens 8")) << log;
    EXPECT_TRUE(Says(log, "quarter lens 9")) << log;

    const auto file = orbtest::ReadFile(kShots + "/commands-Config.ure");
    ASSERT_GE(file.size(), 12000u) << log;
    // The fisheye (slot 0): correction on with cyan-red moved, one cruise step, Brighten with
    // Eight times, a higher motion sensitivity, and the centre typed into the alignment.
    EXPECT_EQ(Field(file, 0, offsetof(CameraRecord, colourBalanceOn)), 1);
    EXPECT_GT(Field(file, 0, offsetof(CameraRecord, colourShift)), 0);
    EXPECT_EQ(Field(file, 0, offsetof(CameraRecord, cruiseSpeed)), 1);
    EXPECT_NE(Field(file, 0, offsetof(CameraRecord, zoneStyle)), 0);
    EXPECT_GT(Field(file, 0, offsetof(CameraRecord, motionSensitivity)), 15);
    EXPECT_EQ(Field(file, 0, offsetof(CameraRecord, centerX)), 331);
    // The mirror's alignment was cancelled: as it was. The half sphere's took the typed centre.
    EXPECT_EQ(Field(file, 1, offsetof(CameraRecord, centerX)), 320);
    EXPECT_EQ(Field(file, 1, offsetof(CameraRecord, flipVertical)), 0);
    EXPECT_EQ(Field(file, 3, offsetof(CameraRecord, centerX)), 329);

    // orbiscope pack FILE: the export dialog's second and fourth cameras, in list order.
    EXPECT_TRUE(Says(log, "export closed")) << log;
    EXPECT_TRUE(Says(log, "export written")) << log;
    const auto exported = orbtest::ReadFile(kShots + "/commands-export.ure");
    ASSERT_EQ(exported.size(), 6000u);
    EXPECT_TRUE(std::equal(exported.begin(), exported.begin() + 3000, file.begin() + 3000));
    EXPECT_TRUE(std::equal(exported.begin() + 3000, exported.end(), file.begin() + 9000));
}

TEST(DesktopInput, MenuKeysOpenTheDialogsOfTheViewUnderThePointer) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("keys_desktop.sh", "keys"), 0);
    const std::string log = orbtest::ReadText(kShots + "/keys.log");
    for (const char* line : {"opened Balance by ctrl+b", "balance closed by Escape", "opened Balance-3 by ctrl+b",
                             "balance kept", "opened Align by ctrl+l", "alignment closed by Escape",
                             "plain b opens nothing", "menu shown"})
        EXPECT_TRUE(Says(log, line)) << line << "\n" << log;
    // Only the lower-right view's camera took the colour correction kept with OK.
    const auto file = orbtest::ReadFile(kShots + "/keys-Config.ure");
    ASSERT_GE(file.size(), 12000u) << log;
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(Field(file, slot, offsetof(CameraRecord, colourBalanceOn)), slot == 3 ? 1 : 0) << slot;
}
