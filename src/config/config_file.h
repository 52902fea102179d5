// Config.ure: fixed 3000-byte slots, each a camera record and a 16-byte tail; and
// User.dat, the 180-byte user block. The library reads, rewrites slots in place and copies
// slots out; it never creates Config.ure or adds slots.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "config/view_core.h"


namespace orb {

std::string ConfigPath();
std::string UserFilePath();

// Slot of the first record with this camera identifier, or -1.
int FindSlotById(int32_t cameraId);
// Loads slot (-1 = random; others wrap modulo the slot count) into the view's record.
// 1 when all 2984 bytes arrived; a short read leaves the previous record intact.
int LoadRecordIntoView(ViewCore* view, int slot);
// Loads by the view key "CCTV<n>" of the caller's section, else slot n.
int LoadViewRecordByMapping(ViewCore* view);
// Writes the view's record back to the slot of its identifier. 1 or 0.
int SaveRecord(ViewCore* view);

// One listed camera: its whole slot (zero-filled past a short read).
struct ListedCamera {
    std::array<uint8_t, kSlotSize> slot{};
    std::string location;
};
// Every counted slot ((size + 100) / 3000, so a last slot up to 100 bytes short counts).
// False (and message 2301) when the file cannot be opened.
bool ListCameras(std::vector<ListedCamera>& out, void* owner = nullptr);
// The web page dialog's count rule: size / 3000.
bool ListCamerasWhole(std::vector<ListedCamera>& out, void* owner = nullptr);

// Copies the chosen slots, in order, into a new file of the same format. 1, 0 (nothing
// chosen) or -1.
int CopySlotsToFile(void* owner, const std::vector<int>& chosen, const std::string& outputPath);
// The export dialog's chosen entries, read by BuildPackInfo.
extern std::vector<int> g_exportSelection;

// The user block; the root password lies at bytes 68-79.
extern std::array<uint8_t, 180> g_userBlock;
void ReadUserFile();
void WriteUserFile();

// A process-wide copy of every slot, for the camera menus and the start of a run.
struct CameraTable {
    std::vector<uint8_t> bytes;
    int count() const { return static_cast<int>(bytes.size() / kSlotSize); }
    const CameraRecord* record(int i) const;
};
extern CameraTable g_cameraTable;
void LoadCameraTable();
void FreeCameraTable();

}  // namespace orb
