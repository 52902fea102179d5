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
/* Sends a message to a window of the library and returns the window's answer (0 for a
 * window that does not exist). */
ORB_EXPORT intptr_t OrbiscopeSendMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
/* Destroys a window of the library: 1, or 0 when it does not exist. */
ORB_EXPORT int32_t OrbiscopeDestroyWindow(void* window);
/* 1 when the windows show on a desktop (a display was found), 0 when they run headless. */
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

/* What a view has done since it started (the demo's summary reads these). */
#define ORB_STAGE_COUNT 6 /* receive, decode, motion, dewarp, paint, record */
typedef struct OrbViewFigures {
    int32_t picturesShown;    /* pictures decoded and shown */
    int32_t picturesRecorded; /* pictures handed to the recorder */
    int64_t stageCpuNs[ORB_STAGE_COUNT]; /* capture thread CPU time per pipeline stage */
    int64_t decodeWallNs;     /* wall time spent decoding */
    int64_t latencySumNs, latencyMaxNs, latencyCount; /* last byte received -> view updated */
    char status[128];         /* the status line drawn over the view, "" when none */
} OrbViewFigures;
/* Fills *out: 1, or 0 for a null view or null out. */
ORB_EXPORT int32_t OrbiscopeViewFigures(PanoView* view, OrbViewFigures* out);

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
