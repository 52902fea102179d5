// Texts built from user or file data: command lines split into words, the camera report
// of an arbitrary record, the pack and web page names of arbitrary paths.
#include <cstdint>
#include <cstring>
#include <string>

#include "config/camera_report.h"
#include "export/export_files.h"
#include "export/pack_builder.h"
#include "export/web_page.h"
#include "platform/spawn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t words = 0;
    for (const std::string& w : orb::SplitCommandLine(text)) words += w.size();
    if (words > size) __builtin_trap();
    (void)orb::DerivePackNames(text);
    orb::WebPagePaths paths;
    orb::DeriveWebPagePaths(text, paths);
    (void)orb::FillText(text, {"a", "b"});
    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    if (size) std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    const std::string report = orb::CameraReportFileBytes(record);
    if (report.empty()) __builtin_trap();
    return 0;
}
