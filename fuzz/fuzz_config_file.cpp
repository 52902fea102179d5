// Config.ure and User.dat readers on arbitrary bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "config/config_file.h"
#include "fuzz_support.h"
#include "ui/panoview.h"
#include "platform/msgbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& home = orbfuzz::Home();
    orbfuzz::WriteInput(home + "/Config.ure", data, size);
    orbfuzz::WriteInput(home + "/User.dat", data, size);
    int32_t id = 0;
    if (size >= 4) std::memcpy(&id, data, 4);
    orb::FindSlotById(id);
    PanoView view{};
    orb::LoadRecordIntoView(&view, static_cast<int>(size % 7));
    orb::LoadRecordIntoView(&view, -1);
    std::vector<orb::ListedCamera> list;
    orb::ListCameras(list);
    orb::ListCamerasWhole(list);
    orb::LoadCameraTable();
    for (int i = 0; i < orb::g_cameraTable.count(); ++i) (void)orb::g_cameraTable.record(i)->cameraId;
    orb::FreeCameraTable();
    orb::ReadUserFile();
    orb::TakeMessages();
    return 0;
}
