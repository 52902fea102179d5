#include "config/camera_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "platform/msgbox.h"
#include "support/test_support.h"

namespace {

CameraRecord SampleRecord() {
    CameraRecord r;
    std::memset(&r, 0, sizeof r);
    orb::SetText(r.address, "10.0.0.7");
    orb::SetText(r.account, "YWRtaW4=");
    orb::SetText(r.password, "MTIzNA==");
    r.httpPort = 8080;
    orb::SetText(r.name, "Lobby");
    orb::SetText(r.location, "Front door");
    r.lensType = 2;
    r.halfFov = 92.5;
    r.effectiveAngle = 60.0;
    r.sourceWidth = 1280;
    r.sourceHeight = 960;
    r.flipHorizontal = 1;
    r.showMode360 = 1;
    r.showMode180 = 2;
    r.firstRadius = 240;
    r.secondRadius = 60;
    r.ovalV = 480;
    r.ovalH = 640;
    r.presets360[0].pan = 12.5;
    r.presets360[0].tilt = -45.25;
    r.presets360[0].zoom = 1.5;
    r.presets180[4].pan = 90.0;
    r.presets180[4].zoom = 2.0;
    r.presets90[1].tilt = 7.125;  // rounds to 7.12 (exactly representable, half to even)
    return r;
}

const char* const kPresetTables =
    "\n\nPTZ Presentation\r\n"
    "================\r\n"
    "\t360 Degree Panorama\r\n"
    "\t\tMode 0, P = 12.50  T = -45.25   Z = 1.50\r\n"
    "\t\tMode 1, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 2, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 3, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 4, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 5, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t180 Degree Panorama\r\n"
    "\t\tMode 0, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 1, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 2, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 3, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 4, P = 90.00  T = 0.00   Z = 2.00\r\n"
    "\t360 Degree Panorama\r\n"
    "\t\tMode 0, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 1, P = 0.00  T = 7.12   Z = 0.00\r\n"
    "\t\tMode 2, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 3, P = 0.00  T = 0.00   Z = 0.00\r\n"
    "\t\tMode 4, P = 0.00  T = 0.00   Z = 0.00\r\n";

std::string Fix(const char* s) {
    // The golden texts spell the blank-line breaks as "\n\n" before a CR LF line; on disk
    // every line end is CR LF.
    std::string out;
    for (const char* p = s; *p; ++p) {
        if (*p == '\n' && (p == s || p[-1] != '\r')) out += '\r';
        out += *p;
    }
    return out;
}

TEST(CameraReport, GoldenBytesWithEveryFieldPresent) {
    const std::string expected = Fix(
        "Camera  : \r\n==========\t\tIP : \t10.0.0.7\r\n"
        "\tAccount : \tYWRtaW4=\r\n"
        "\tPassword : \tMTIzNA==\r\n"
        "\tHTTP Port : \t8080\r\n"
        "\tName : \t\tLobby\r\n"
        "\tPosition : \tFront door\r\n"
        "\n\nImage Type : \t\t2\t\tFisheye Lens 360 Degree Panorama\r\n"
        "\tLens FOV (Field of View) : \t185.00\r\n"
        "\tEffactive Angle : \t60.00\r\n"
        "\tSource Image width : \t 1280\r\n"
        "\tSource Image Height : \t 960\r\n"
        "\tFlip Horizontal : \t True\r\n"
        "\tFlip Vertical : \t False\r\n"
        "\t360 Degree Showing Mode : \t 1\r\n"
        "\t180/90 Degree Showing Mode : \t 2\r\n"
        "\n\nPanoramic Image Alignment\r\n"
        "=========================\r\n"
        "\tFirst Radius Length : \t 240\r\n"
        "\tSecond Radius Length : \t 60\r\n"
        "\tOval To Round(V) : \t 480\r\n"
        "\tOval To Round(H) : \t 640\r\n") + Fix(kPresetTables);
    EXPECT_EQ(orb::CameraReportFileBytes(SampleRecord()), expected);
    // In memory the lines end in "\n" only.
    const std::string text = orb::CameraReportText(SampleRecord());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.size() + std::count(text.begin(), text.end(), '\n'), expected.size());
}

TEST(CameraReport, NotAvailableVariantsAndOddImageTypes) {
    CameraRecord r = SampleRecord();
    r.address[0] = 0;
    r.account[0] = 0;
    r.password[0] = 0;
    r.name[0] = 0;
    r.location[0] = 0;
    r.lensType = 12;
    r.halfFov = 0;
    for (int port : {1, 70000, -5, 0}) {
        r.httpPort = port;
        const std::string bytes = orb::CameraReportFileBytes(r);
        EXPECT_EQ(bytes.substr(0, bytes.find("\tLens FOV")),
                  "Camera  : \r\n==========\t\tIP : \tN/A\r\n"
                  "\tAccount : \tN/A\r\n"
                  "\tPassword : \tN/A\r\n"
                  "\tHTTP Port : \tN/A\r\n"
                  "\tName : \t\tN/A\r\n"
                  "\tPosition : \tN/A\r\n"
                  "\r\n\r\nImage Type : \t\t12\t\t")
            << port;
    }
    // The port's edges are valid.
    r.httpPort = 2;
    EXPECT_NE(orb::CameraReportText(r).find("\tHTTP Port : \t2\n"), std::string::npos);
    r.httpPort = 65535;
    EXPECT_NE(orb::CameraReportText(r).find("\tHTTP Port : \t65535\n"), std::string::npos);

    // Type 0 has its text; negative types print only the number.
    r.lensType = 0;
    EXPECT_NE(orb::CameraReportText(r).find("Image Type : \t\t0\t\tDisabled\n\tLens FOV (Field of View) : \t0.00\n"),
              std::string::npos);
    r.lensType = 11;
    EXPECT_NE(orb::CameraReportText(r).find("\t\t11\t\t360 X 180 Degree Full Spherical Panorama\n"), std::string::npos);
    r.lensType = -1;
    EXPECT_NE(orb::CameraReportText(r).find("\t\t-1\t\t\tLens FOV"), std::string::npos);

    // A text field filling its whole width (no NUL) is printed up to its end, no further.
    std::memset(r.address, 'A', sizeof r.address);
    EXPECT_NE(orb::CameraReportText(r).find("IP : \t" + std::string(40, 'A') + "\n\tAccount"), std::string::npos);
}

TEST(CameraReport, WrittenShownAndDeletedOrReportedWhenUnwritable) {
    orbtest::TempHome home;
    orb::TakeMessages();
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    const std::string viewer = home.path("viewer.sh");
    const std::string seen = home.path("seen.txt");
    orbtest::WriteText(viewer, "#!/bin/sh\ncp \"$1\" \"" + seen + "\"\necho \"$1\" > \"" + seen + ".path\"\n");
    ::chmod(viewer.c_str(), 0755);
    setenv("VISUAL", viewer.c_str(), 1);

    const CameraRecord r = SampleRecord();
    EXPECT_EQ(orb::ShowCameraReport(nullptr, r, {0, true}), 0);
    EXPECT_EQ(orbtest::ReadText(seen), orb::CameraReportFileBytes(r));
    EXPECT_EQ(orbtest::ReadText(seen + ".path"), home.path("Pano_CCTV_Info.tmp") + "\n");
    struct stat st {};
    EXPECT_NE(::stat(home.path("Pano_CCTV_Info.tmp").c_str(), &st), 0) << "the report file is deleted again";
    EXPECT_TRUE(orb::TakeMessages().empty());

    // No viewer at all: a clear message, and the file is still removed.
    unsetenv("VISUAL");
    unsetenv("EDITOR");
    setenv("PATH", home.dir.c_str(), 1);
    EXPECT_EQ(orb::ShowCameraReport(nullptr, r, {0, true}), 0);
    auto shown = orb::TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("VISUAL or EDITOR"), std::string::npos);
    setenv("PATH", savedPath.c_str(), 1);

    // A folder the file cannot be created in: the message, and its result.
    setenv("ORBISCOPE_HOME", home.path("no/such/folder").c_str(), 1);
    orb::SetMessageAnswers({orb::kIdOk});
    EXPECT_EQ(BrowseConfigureInfo(nullptr, &r), orb::kIdOk);
    shown = orb::TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can not open file for Write Camera Info");
    EXPECT_EQ(shown[0].caption, "");
    EXPECT_EQ(shown[0].flags, orb::kMbOk);
    EXPECT_EQ(BrowseConfigureInfo(nullptr, nullptr), -1);
    orb::TakeMessages();
}

}  // namespace
