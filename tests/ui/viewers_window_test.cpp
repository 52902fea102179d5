// The snapshot and photo viewers as a person uses them, on a virtual X server: the tool
// bar's snapshot button writes a snapshot that the viewer shows dewarped like the live view;
// the stand-alone player shows the same file again; the photo viewer shows a PNG, a GIF and
// a TIFF made by ImageMagick, and a PCX chosen in its open-file dialog. Screenshots stay in
// desktop-shots/ (snapshot-viewer.png, photo-viewer.png, photo-chooser.png, and the menu bars
// open: menu-Snap.png, menu-Picture.png).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

TEST(DesktopInput, SnapshotAndPhotoViewersShowTheDewarpedPicture) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import") || !Have("compare"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("viewers_desktop.sh", "viewers"), 0);
    const std::string log = orbtest::ReadText(kShots + "/viewers.log");
    // The snapshot file was written, with the location in its name, in the snapshot folder.
    EXPECT_NE(log.find("RECVAULT/"), std::string::npos) << log;
    EXPECT_NE(log.find("Simulated Fisheye.360\n"), std::string::npos) << log;
    // The viewer's picture is no empty field, and like the live view's.
    EXPECT_GT(Measured(log, "snapshot spread"), 0.1) << log;
    const double like = Measured(log, "snapshot likeness");
    EXPECT_GE(like, 0.0) << log;
    EXPECT_LT(like, 0.3) << log;
    // The snapshot viewer's menu bar: View > Alignment... opened the lens alignment, Escape closed it.
    EXPECT_TRUE(Says(log, "snap menu alignment")) << log;
    EXPECT_TRUE(Says(log, "snap alignment closed")) << log;
    // Opened again from the file, the same picture.
    EXPECT_GT(Measured(log, "reopened spread"), 0.1) << log;
    const double again = Measured(log, "reopened likeness");
    EXPECT_GE(again, 0.0) << log;
    EXPECT_LT(again, 0.05) << log;
    // PNG, GIF and TIFF each in a view of the photo viewer, painted.
    for (const char* v : {"photo 0 spread", "photo 1 spread", "photo 2 spread"}) EXPECT_GT(Measured(log, v), 0.05) << v << log;
    // The photo viewer's menu bar likewise.
    EXPECT_TRUE(Says(log, "picture menu alignment")) << log;
    EXPECT_TRUE(Says(log, "picture alignment closed")) << log;
    // The open-file dialog, a PCX file chosen in it.
    EXPECT_NE(log.find("chooser open\n"), std::string::npos) << log;
    EXPECT_GT(Measured(log, "chosen spread"), 0.05) << log;
}
