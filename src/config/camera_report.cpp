#include "config/camera_report.h"

#include <cstdio>
#include <thread>

#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/spawn.h"

namespace orb {

namespace {

const char* const kImageTypeText[12] = {
    "Disabled",
    "Normal Camera (Non-Panoramic)",
    "Fisheye Lens 360 Degree Panorama",
    "360 Degree Concave Mirror",
    "360 Degree Convex Mirror",
    "360 Degree PAL (Panoramic Annular Lens)",
    "360 Degree PAL (Panoramic Annular Lens, Reverse Shot)",
    "360 Degree Annular Fisheye Lens(For Video Conference ?)",
    "180 Degree Panorama Fisheye Lens",
    "90 Degree Panorama Fisheye Lens(For Video Conference ?)",
    "Mechanical Moto PTZ ?)",
    "360 X 180 Degree Full Spherical Panorama",
};

template <typename... Args>
void Append(std::string& out, const char* format, Args... args) {
    char buf[1024];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n > 0) out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

// A text field, or "N/A" when its first byte is 0.
template <size_t N>
void AppendField(std::string& out, const char* label, const char (&field)[N]) {
    char text[N + 1];
    TextOf(field, text);
    out += label;
    out += text[0] ? text : "N/A";
    out += '\n';
}

void AppendPresets(std::string& out, const char* heading, const ViewPreset* presets, int count) {
    out += heading;
    for (int mode = 0; mode < count; ++mode)
        Append(out, "\t\tMode %d, P = %.2f  T = %.2f   Z = %.2f\n", mode, presets[mode].pan, presets[mode].tilt,
               presets[mode].zoom);
}

}  // namespace

std::string CameraReportText(const CameraRecord& r) {
    std::string out;
    AppendField(out, "Camera  : \n==========\t\tIP : \t", r.address);
    AppendField(out, "\tAccount : \t", r.account);
    AppendField(out, "\tPassword : \t", r.password);
    if (r.httpPort >= 2 && r.httpPort <= 65535)
        Append(out, "\tHTTP Port : \t%d\n", r.httpPort);
    else
        out += "\tHTTP Port : \tN/A\n";
    AppendField(out, "\tName : \t\t", r.name);
    AppendField(out, "\tPosition : \t", r.location);

    Append(out, "\n\nImage Type : \t\t%d\t\t", r.lensType);
    if (r.lensType >= 0 && r.lensType < 12) {
        out += kImageTypeText[r.lensType];
        out += '\n';
    }
    Append(out, "\tLens FOV (Field of View) : \t%.2f\n", r.halfFov * 2.0);
    Append(out, "\tEffactive Angle : \t%.2f\n", r.effectiveAngle);
    Append(out, "\tSource Image width : \t %d\n", r.sourceWidth);
    Append(out, "\tSource Image Height : \t %d\n", r.sourceHeight);
    Append(out, "\tFlip Horizontal : \t %s\n", r.flipHorizontal ? "True" : "False");
    Append(out, "\tFlip Vertical : \t %s\n", r.flipVertical ? "True" : "False");
    Append(out, "\t360 Degree Showing Mode : \t %d\n", r.showMode360);
    Append(out, "\t180/90 Degree Showing Mode : \t %d\n", r.showMode180);

    out += "\n\nPanoramic Image Alignment\n=========================\n";
    Append(out, "\tFirst Radius Length : \t %d\n", r.firstRadius);
    Append(out, "\tSecond Radius Length : \t %d\n", r.secondRadius);
    Append(out, "\tOval To Round(V) : \t %d\n", r.ovalV);
    Append(out, "\tOval To Round(H) : \t %d\n", r.ovalH);

    out += "\n\nPTZ Presentation\n================\n";
    AppendPresets(out, "\t360 Degree Panorama\n", r.presets360, 6);
    AppendPresets(out, "\t180 Degree Panorama\n", r.presets180, 5);
    AppendPresets(out, "\t360 Degree Panorama\n", r.presets90, 5);
    return out;
}

std::string CameraReportFileBytes(const CameraRecord& record) {
    const std::string text = CameraReportText(record);
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
}

int ShowCameraReport(void* owner, const CameraRecord& record, const ReportViewing& viewing) {
    const std::string path = LibraryFile(kReportFileName);
    std::FILE* f = OpenFile(path.c_str(), "wb");
    if (!f) return MessageBox(owner, "Can not open file for Write Camera Info", "", kMbOk);
    const std::string bytes = CameraReportFileBytes(record);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    const std::vector<std::string> viewer = TextViewerCommand(path);
    if (viewer.empty()) {
        MessageBox(owner,
                   "No text viewer was found to show the camera report. Set VISUAL or EDITOR, or install "
                   "xdg-open.",
                   "", kMbOk | kMbIconWarning);
    } else {
        const SpawnResult run = RunProgram(viewer, false, viewing.waitForViewer ? kLongWaitMs : kNoWait);
        if (!run.ran() && run.status != SpawnStatus::kTimedOut)
            MessageBox(owner, "The text viewer \"" + viewer[0] + "\" could not be started.", "",
                       kMbOk | kMbIconWarning);
    }
    // The viewer has read the file by then.
    if (viewing.keepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(viewing.keepMs));
    return std::remove(path.c_str()) == 0 ? 0 : -1;
}

}  // namespace orb

extern "C" int32_t BrowseConfigureInfo(void* ownerWindow, const CameraRecord* record) {
    if (!record) return -1;
    return orb::ShowCameraReport(ownerWindow, *record);
}
