// Motion detection on 8 x 8-pixel blocks against a slowly learning background, with a
// per-camera block mask and a user library called when motion is seen.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "orbiscope.h"

namespace orb {
struct AnalysisView;
}

namespace orb {

// Detector states as the capture thread reads them.
constexpr int32_t kMotionNone = 0;
constexpr int32_t kMotionSeen = 1;
constexpr int32_t kMotionLearned = 2;

constexpr int32_t kDefaultSensitivity = 15;

// Block grid of a picture size.
inline int BlockCount(int pixels) { return (pixels - 1) / 8 + 1; }

// Header of a mask file (all signed 32-bit little-endian).
struct MaskHeader {
    int32_t model = 0;   // first word of the camera record it was made for
    int32_t width = 0;   // picture size in pixels
    int32_t height = 0;
    int32_t bw = 0;      // block grid
    int32_t bh = 0;
};
constexpr size_t kMaskHeaderSize = 20;

// A block mask: bw x bh bytes, top band first, non-zero = excluded. The buffer is sized
// (bw + 2) x (bh + 2) like the detector's maps; only the first bw x bh bytes are used.
struct MotionMask {
    MaskHeader header;
    std::vector<uint8_t> bytes;
    bool excluded(int row, int col) const { return bytes[static_cast<size_t>(row) * header.bw + col] != 0; }
};

// Parses a whole mask file. False (and `out` untouched) unless the header passes every
// check against `modelWord` and exactly bw x bh mask bytes follow.
bool ParseMaskFile(std::span<const uint8_t> file, int32_t modelWord, MotionMask& out);
// The bytes of a mask file for a mask of header.bw x header.bh bytes.
std::vector<uint8_t> EncodeMaskFile(const MaskHeader& header, std::span<const uint8_t> mask);
// The camera's mask file path, or empty when its key is not a valid hardware-address key.
std::string MaskFilePath(const CameraRecord& record);

// Where the detector writes its one status text (the view's status line). Set by the
// capture layer; null means the text is dropped.
using StatusSink = void (*)(AnalysisView* view, int line, const char* text);
void SetMotionStatusSink(StatusSink sink);
void ShowMotionStatus(AnalysisView* view, int line, const char* text);
constexpr const char* kBadMotionSizeText = "Bad Image Size For Motion Detector";

struct MotionState {
    AnalysisView* owner = nullptr;
    CameraRecord* record = nullptr;
    std::vector<uint8_t> background, current, result;  // (bw + 2) x (bh + 2) each, empty = none
    std::vector<uint32_t> sums;                         // one running sum per block column
    int32_t threshold = kDefaultSensitivity;
    int32_t width = 0, height = 0;
    int32_t stride = 0;
    int32_t bw = 0, bh = 0;
    std::atomic<int32_t> state{kMotionNone};
    // The mask is replaced by the editor on the window thread; the capture thread takes it
    // under this lock, so it never sees half a replacement.
    std::mutex maskLock;
    std::shared_ptr<const MotionMask> mask;
    MaskHeader maskHeader;
};

// Construct: clamps the record's sensitivity (2..80, else 15), then loads the mask file.
void InitMotionState(MotionState& m, AnalysisView* owner, CameraRecord* record);
// Loads (or drops) the mask from the camera's mask file; true when one was loaded.
bool LoadMotionMask(MotionState& m);
// Swaps in a new mask (or none) in one step.
void ReplaceMotionMask(MotionState& m, std::shared_ptr<const MotionMask> mask);
std::shared_ptr<const MotionMask> CurrentMotionMask(MotionState& m);
// Runs the detector on one 24-bit picture; sets and returns the state. A picture decoded at
// 1/scale (2, 4 or 8) of the camera's gives the same blocks: 8/scale pixels a side each.
int32_t ProcessMotionPicture(MotionState& m, HDIB picture, int32_t scale = 1);
// Frees the maps and the mask.
void ReleaseMotionState(MotionState& m);

// Block means of a 24-bit bottom-up picture into map (bw x bh bytes, memory band order).
// `sums` holds bw words of scratch.
void ComputeBlockMeans(const uint8_t* bits, int width, int height, int stride, uint8_t* map, uint32_t* sums);

// The user library called on motion.
using MotionHookProc = int32_t (*)(CameraRecord* record, int32_t event, const uint8_t* jpeg, int32_t length);
struct MotionHook {
    void* library = nullptr;
    MotionHookProc proc = nullptr;
};
// Results of loading a hook; the positive ones above 1 are the numbers of the texts to show.
constexpr int kHookLoaded = 0;
constexpr int kHookRefused = 1;  // not a bare name: refused without looking for it
constexpr int kHookNoLibrary = 2616;
constexpr int kHookNoFunction = 2617;
// The status line a refused name writes on the view.
constexpr int kHookRefusedLine = 3;
constexpr const char* kHookRefusedText = "Motion event library refused: give a bare name in the hooks folder";
// Where hook libraries live: the setting "HookFolder" of section "Orbiscope", else the
// library's folder.
constexpr const char* kHookSection = "Orbiscope";
constexpr const char* kHookFolderKey = "HookFolder";
std::string MotionHookFolder();
// True for a bare file name: no folder, no separator, nothing SafeFileName would change.
bool IsBareLibraryName(const std::string& name);
// Loads the library named: a bare name only (else kHookRefused), looked for in the hooks
// folder as given and, without an extension, as "<name>.so" and "lib<name>.so"; then
// looks the function up. On failure nothing stays loaded.
int LoadMotionHook(MotionHook& hook, const char* library, const char* function);
void UnloadMotionHook(MotionHook& hook);

}  // namespace orb
