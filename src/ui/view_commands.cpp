// The live view's own commands that start work in other subsystems: snapshot, player,
// showing modes and the pan/tilt/zoom controls of a mechanical camera.
#include "ui/view_commands.h"

#include <mutex>

#include "camera/command_worker.h"
#include "camera/frame_pipeline.h"
#include "config/config_file.h"
#include "dewarp/dewarp.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "ui/accessories.h"
#include "ui/main_window.h"

namespace orb {

namespace {

// Showing-mode commands and the mode they select.
struct ModeCommand {
    int command, mode;
};
constexpr ModeCommand kModes360[] = {
    {2657, kShow360Quad},        {2659, kShow360QuadStill},        {2661, kShow360WindowStrip},
    {2656, kShow360QuadSource},  {2662, kShow360TwoWindowsStrip},  {931, kShow360Source},
    {2668, kShow360TwoStrips},   {2658, kShow360OneWindow},        {2671, kShow360FourWindowsStrip},
    {2672, kShow360SixWindowsStrip}, {2673, kShow360SixWindows}};
constexpr ModeCommand kModes180[] = {{2665, kShow180Quad},       {2664, kShow180Panorama}, {2666, kShow180FourWindows},
                                     {2667, kShow180Source},     {2669, kShow180OneWindow}, {2670, kShow180Band},
                                     {2655, kShow180QuadSource}};

bool HalfSphereType(int type) { return type == 8 || type == 9; }

// Rebuilds the view's tables and shows its current picture again at once, so a paused view
// or a slow camera shows the change too.
void RebuildAndShow(PanoView& view) {
    std::lock_guard lock(view.ui.viewMutex);
    if (view.dewarp.engine) RebuildPanorama(view);
    if (view.frames.current) ShowPicture(view, view.frames.current);
}

// A showing-mode command of the view's image type; false when the command is none.
bool SetShowMode(PanoView& view, int command) {
    const int type = view.record.lensType;
    if (type == kImageNormal || type == kImageMechanicalPtz) return false;
    int mode = -1;
    if (HalfSphereType(type)) {
        for (const auto& m : kModes180)
            if (m.command == command) mode = m.mode;
    } else {
        for (const auto& m : kModes360)
            if (m.command == command) mode = m.mode;
    }
    if (mode < 0) return false;
    {
        std::lock_guard lock(view.ui.viewMutex);
        if (HalfSphereType(type)) view.record.showMode180 = mode;
        else view.record.showMode360 = mode;
        const std::vector<int> windows = WindowsOfMode(view);
        view.ui.currentPane = windows.empty() ? 0 : windows.front();
    }
    RebuildAndShow(view);
    return true;
}

// The pan/tilt/zoom menu commands: the camera's command code and its argument.
struct PtzChoice {
    int code = 0, argument = 0;
};
PtzChoice PtzOfMenu(int command) {
    static constexpr int kDirections[] = {kPtzLeft, kPtzRight, kPtzUp, kPtzDown};
    if (command >= 3200 && command <= 3203) return {kDirections[command - 3200], 0};
    if (command == 3204) return {11, 0};                                   // home: point 0
    if (command >= 3210 && command <= 3218) return {17, command - 3209};   // speed 1..9
    if (command >= 3231 && command <= 3238) return {12, command - 3230};   // preset 1..8
    if (command >= 3241 && command <= 3248) return {11, command - 3240};   // point 1..8
    static constexpr int kControls[] = {kPtzZoomIn, kPtzZoomOut, 15, 16, 13, 14, 18, 19, 20, 21};
    if (command >= 3270 && command <= 3279) return {kControls[command - 3270], 0};
    return {};
}

// The camera answers on the view's command worker, never here.
void SendPtzMenu(PanoView& view, int command) {
    if (command == 3280) {  // everything stops: panning and patrol
        QueuePtzCommand(view, 19, 0);
        QueuePtzCommand(view, 21, 0);
        return;
    }
    const PtzChoice c = PtzOfMenu(command);
    if (c.code) QueuePtzCommand(view, c.code, c.argument);
}

}  // namespace

bool IsPtzMenuCommand(int command) { return command == 3280 || PtzOfMenu(command).code != 0; }

void AppendPtzMenu(HMENU menu) {
    HMENU ptz = CreatePopupMenu();
    bool first = true;
    auto group = [&](int from, int last) {
        if (!first) AppendMenu(ptz, MF_SEPARATOR, 0, {});
        first = false;
        for (int id = from; id <= last; ++id) AppendMenu(ptz, 0, id, Text(id));
    };
    group(3200, 3204);
    group(3270, 3280);
    HMENU speed = CreatePopupMenu(), presets = CreatePopupMenu(), points = CreatePopupMenu();
    for (int id = 3210; id <= 3218; ++id) AppendMenu(speed, 0, id, Text(id));
    for (int id = 3231; id <= 3238; ++id) AppendMenu(presets, 0, id, Text(id));
    for (int id = 3241; id <= 3248; ++id) AppendMenu(points, 0, id, Text(id));
    AppendMenu(ptz, MF_SEPARATOR, 0, {});
    AppendMenu(ptz, MF_POPUP, 0, "Speed", speed);
    AppendMenu(ptz, MF_POPUP, 0, "Presets", presets);
    AppendMenu(ptz, MF_POPUP, 0, "Points", points);
    AppendMenu(menu, MF_POPUP, 0, Text(3199), ptz);
}

bool LiveViewCommand(PanoView* view, HWND window, int command) {
    switch (command) {
    case kCmdSnapshot:
        if (view && view->ui.hasPicture) Snapshot(g_ui.main ? g_ui.main : window, view);
        return true;
    case kCmdPlayer:
        if (IsWindow(g_ui.recordingWindow)) return true;  // already open
        PlayDVR(g_ui.main ? g_ui.main : window, nullptr);
        return true;
    case 2663:  // the windows go back to where a new camera has them
        if (!view) return true;
        {
            std::lock_guard lock(view->ui.viewMutex);
            FillDefaultPresets(view->record);
        }
        RebuildAndShow(*view);
        SaveAllViewRecords();
        return true;
    case 2680:
    case 2681:
        if (!view || !HalfSphereType(view->record.lensType)) return true;
        {
            std::lock_guard lock(view->ui.viewMutex);
            view->record.perspective180 = command == 2681;
        }
        RebuildAndShow(*view);
        SaveAllViewRecords();
        return true;
    default:
        break;
    }
    if (view && IsPtzMenuCommand(command)) {
        SendPtzMenu(*view, command);
        return true;
    }
    if (view && SetShowMode(*view, command)) {
        SaveAllViewRecords();  // the view reopens in the mode the user chose
        return true;
    }
    return false;
}

}  // namespace orb
