/* Orbiscope host additions: what a host on this platform needs beyond the functions of
 * orbiscope.h. The classic hosts ran the system's own message loop and read a view's state
 * from its window data; here the library's window layer and views are reached through these
 * functions instead. All are extern "C", default visibility, and are called on the host's
 * window thread like the rest (OrbiscopeViewFigures may be called from any thread).
 */
#ifndef ORBISCOPE_HOST_H
#define ORBISCOPE_HOST_H

#include <stdint.h>

#include "orbiscope.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Window messages and commands a host sends to the library's windows. */
#define ORB_WM_CLOSE 0x0010
#define ORB_WM_KEYDOWN 0x0100
#define ORB_WM_COMMAND 0x0111
#define ORB_WM_LBUTTONDOWN 0x0201
/* The main window's close command (wParam of ORB_WM_COMMAND). */
#define ORB_CMD_CLOSE 907

/* ---- The window layer ---- */
/* Handles every message of the calling thread that is ready now (due timers and paints
 * included) and returns how many it handled. A host without a loop of its own calls it
 * regularly while the main window lives. */
ORB_EXPORT int32_t OrbiscopePumpMessages(void);
/* 1 while the window exists, else 0. */
ORB_EXPORT int32_t OrbiscopeIsWindow(void* window);
/* The panoramic photo viewer's window while it is open (ProcessPanoramicImage), or null. */
ORB_EXPORT void* OrbiscopePhotoViewerWindow(void);
/* Sends a message to a window of the library and returns the window's answer (0 for a
 * window that does not exist). */
ORB_EXPORT intptr_t OrbiscopeSendMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
/* Destroys a window of the library: 1, or 0 when it does not exist. */
ORB_EXPORT int32_t OrbiscopeDestroyWindow(void* window);
/* 1 when the windows show on a desktop, 0 when they run headless. The first call (or
 * RunOrbiscope) decides: a desktop when a display is found and ORBISCOPE_HEADLESS is not set. */
ORB_EXPORT int32_t OrbiscopeHasDisplay(void);
/* A picture of the window as it looks now (24 bits, its client size); the caller frees it
 * with OrbiscopeFreePicture. Null for a window that does not exist. */
ORB_EXPORT HDIB OrbiscopeWindowPicture(void* window);
/* Writes a 24-bit picture as a JPEG file (quality 75): 1, or 0 on failure. */
ORB_EXPORT int32_t OrbiscopeSavePictureJpeg(HDIB picture, const char* path);

/* ---- Views ---- */
/* The window of view n (0-based, in view order) of the open main window, or null. */
ORB_EXPORT void* OrbiscopeViewWindow(int32_t index);
/* The view a view window shows, or null. The view belongs to its window: valid until the
 * window is destroyed. */
ORB_EXPORT PanoView* OrbiscopeViewOf(void* viewWindow);
/* The view's own camera record (what SetLensType, BrowseConfigureInfo and ChangeCamera take);
 * it belongs to the view. Null for a null view. */
ORB_EXPORT CameraRecord* OrbiscopeViewRecord(PanoView* view);

/* Where window n (0..5) of a view looks, in degrees, and its zoom: 1, or 0 for a null view
 * or a window out of range. */
ORB_EXPORT int32_t OrbiscopeViewPosition(PanoView* view, int32_t window, double* pan, double* tilt, double* zoom);

/* What a view has done since it started (the demo's summary reads these). */
#define ORB_STAGE_COUNT 6 /* receive, decode, motion, dewarp, paint, record */
typedef struct OrbViewFigures {
    int32_t picturesShown;    /* pictures decoded and shown */
    int32_t picturesRecorded; /* pictures handed to the recorder */
    int64_t stageCpuNs[ORB_STAGE_COUNT]; /* capture thread CPU time per pipeline stage */
    int64_t decodeWallNs;     /* wall time spent decoding */
    int64_t latencySumNs, latencyMaxNs, latencyCount; /* last byte received -> view updated */
    char status[128];         /* the status line drawn over the view, "" when none */
    /* What the view decodes of its camera's pictures: the last one shown was decoded at
     * 1/decodeScale of pictureWidth x pictureHeight, as decodedWidth x decodedHeight (1: the
     * whole picture). The view's maps choose it: density is the number of source pixels (in
     * hundredths, per side) that one view pixel covers where the lens is densest, in the part
     * of the view (window, strip) that needs the most of the picture; the picture is reduced
     * as long as that stays at least one. */
    int32_t decodeScale;
    int32_t pictureWidth, pictureHeight;
    int32_t decodedWidth, decodedHeight;
    int32_t density;
} OrbViewFigures;
/* Fills *out: 1, or 0 for a null view or null out. */
ORB_EXPORT int32_t OrbiscopeViewFigures(PanoView* view, OrbViewFigures* out);
/* How often the view's picture was painted and the longest time between two paints (ns),
 * since the count started or was last reset (reset non-zero: the count starts again after
 * reading). 1, or 0 for a null view. */
ORB_EXPORT int32_t OrbiscopeViewPaints(PanoView* view, int32_t* paints, int64_t* longestGapNs, int32_t reset);

/* Chooses the window layer now (a desktop when a display is found and ORBISCOPE_HEADLESS is
 * not set, else headless) and runs its message loop until the system's close command or a
 * quit; returns the loop's exit code. */
ORB_EXPORT int32_t OrbiscopeRunMessageLoop(void);
/* Takes the oldest message box text shown without a desktop (headless message boxes answer
 * at once) into out (size bytes, cut to fit): 1, or 0 when none is left. */
ORB_EXPORT int32_t OrbiscopeTakeMessage(char* out, int32_t size);

/* ---- Dewarping a picture through a camera record ---- */
/* A new camera record: a copy of the record stored in a snapshot file's trailer (1 in
 * *found), or the defaults for a picture of that file's size when it has none (0 in *found).
 * Null when the file cannot be read as a picture. Free it with OrbiscopeFreeRecord. */
ORB_EXPORT CameraRecord* OrbiscopeSnapshotRecord(const char* path, int32_t* found);
ORB_EXPORT void OrbiscopeFreeRecord(CameraRecord* record);
/* The picture dewarped through the record's lens settings and showing mode into a new
 * width x height picture (the caller frees it), or null. */
ORB_EXPORT HDIB OrbiscopeDewarpPicture(const CameraRecord* record, HDIB source, int32_t width, int32_t height);

/* ---- Recordings ---- */
/* Opens a recording file for reading: a reader, or null with *message (when not null) set
 * to the reason (a text that lives as long as the library). */
typedef struct OrbRecordingReader OrbRecordingReader;
ORB_EXPORT OrbRecordingReader* OrbiscopeOpenRecording(const char* path, const char** message);
ORB_EXPORT int32_t OrbiscopeRecordingFrameCount(OrbRecordingReader* reader);
/* Frame n decoded into a new picture (the caller frees it), or null when it cannot be read. */
ORB_EXPORT HDIB OrbiscopeRecordingPicture(OrbRecordingReader* reader, int32_t n);
/* The camera record stored in the recording; it belongs to the reader. */
ORB_EXPORT const CameraRecord* OrbiscopeRecordingCamera(OrbRecordingReader* reader);
ORB_EXPORT void OrbiscopeCloseRecording(OrbRecordingReader* reader);

/* ---- Packages ---- */
/* Progress while packing: a rough percentage (0 first, 100 last) and what is being done. */
typedef void (*OrbPackProgress)(int32_t percent, const char* step, void* context);
/* Builds a self-extracting package of a recording (snapshot 0) or a snapshot file (1) at
 * output, carrying the stand-alone player named by player (null: the default). 1 or 0;
 * what went wrong is shown as a message box (see OrbiscopeTakeMessage). */
ORB_EXPORT int32_t OrbiscopeBuildPack(const char* file, const char* output, int32_t snapshot, const char* player,
                                      OrbPackProgress progress, void* context);

/* ---- Settings and recordings ---- */
/* Writes one key of the settings file ("orbiscfg.ini"): 1, or 0 when it cannot be written. */
ORB_EXPORT int32_t OrbiscopeWriteSetting(const char* section, const char* key, const char* value);
/* Reads a recording file: its frame count, or -1 when it cannot be opened as a recording.
 * With decodable not null, every frame is read and decoded and *decodable receives the
 * number that decoded. */
ORB_EXPORT int32_t OrbiscopeRecordingFrames(const char* path, int32_t* decodable);

#ifdef __cplusplus
}
#endif

#endif
