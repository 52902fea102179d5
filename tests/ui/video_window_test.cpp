// Video recordings as a person meets them on a virtual X server: the recorder keeps two
// hours of a camera's H.264 packets (demuxed from what ffmpeg made of the simulated fisheye);
// the host's player shows one dewarped and steps it back and on, its snapshot is a normal
// snapshot file the photo viewer opens, and the recordings dialog lists, packs and deletes
// them. Screenshots stay in the build folder (desktop-shots/video-*.png).
#include <gtest/gtest.h>

#include "config/settings.h"
#include "support/test_support.h"
#include "support/video_support.h"
#include "ui/desktop_session.h"

using namespace desktop;
using namespace videotest;

TEST(DesktopInput, VideoRecordingsPlayListPackAndDelete) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import") || !Have("compare"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    VideoWorld w;
    const std::string root = w.AddRoot("disk", 1e9);
    w.UseRoots({root});
    Clip clip;
    ClipRecipe recipe;
    recipe.width = 640;
    recipe.height = 480;
    recipe.frames = 40;
    recipe.gop = 12;
    recipe.step = 4;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    for (int hour = 13; hour <= 14; ++hour) {
        w.now.hour = static_cast<uint16_t>(hour);
        VideoCamera cam("Porch", 0, &clip);
        for (size_t i = 0; i < clip.packets.size(); ++i, w.Advance(66)) ASSERT_EQ(cam.Record(clip, i), 1);
    }
    // A fifth of a second a frame, so the play can be paused on its way back.
    orb::WriteSetting("DVR", "Speed", "2");
    ASSERT_EQ(w.Files(root), (std::vector<std::string>{"201105141300Porch.mkv", "201105141400Porch.mkv"}));
    ASSERT_EQ(RunScript("video_desktop.sh", "video", w.home.dir), 0);
    const std::string log = orbtest::ReadText(kShots + "/video.log");
    EXPECT_TRUE(Says(log, "recordings 2")) << log;
    ASSERT_TRUE(Says(log, "player window")) << log;
    // A scene, not an empty field; stepping back and on changes it.
    EXPECT_GT(Measured(log, "spread"), 0.05) << log;
    EXPECT_GT(Measured(log, "moved"), 0.01) << log;
    EXPECT_GT(Measured(log, "stepped on"), 0.01) << log;
    EXPECT_GT(Measured(log, "stepped back"), 0.01) << log;
    EXPECT_GT(Measured(log, "played backward"), 0.01) << log;
    // The snapshot of a video frame: one JPEG with the camera record behind it.
    EXPECT_TRUE(Says(log, "snapshot viewer")) << log;
    EXPECT_TRUE(Says(log, "snapshot JPEG image data")) << log;
    EXPECT_TRUE(Says(log, "snapshot carries the camera")) << log;
    EXPECT_TRUE(Says(log, "photo viewer")) << log;
    EXPECT_TRUE(Says(log, "player closed")) << log;
    // Listed, packed (the package plays every frame elsewhere), deleted.
    EXPECT_TRUE(Says(log, "recordings dialog")) << log;
    EXPECT_TRUE(Says(log, "save chooser")) << log;
    EXPECT_TRUE(Says(log, "message answered")) << log;
    EXPECT_TRUE(Says(log, "played 40 of 40 frames")) << log;
    EXPECT_TRUE(Says(log, "left 1")) << log;
}
