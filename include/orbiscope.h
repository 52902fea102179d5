/* Orbiscope engine library: the functions a host program calls.
 *
 * Every function here is extern "C" with default visibility. Integers are 32-bit; results
 * are 1 (or a handle) for success and 0 (or -1 where stated) for failure. Nothing throws.
 */
#ifndef ORBISCOPE_H
#define ORBISCOPE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ORB_EXPORT __attribute__((visibility("default")))

/* A picture: a movable block holding a packed bitmap (40-byte header, rows bottom-up,
 * B,G,R, each row padded to 4 bytes). */
typedef struct OrbDib* HDIB;

/* The 2984-byte camera record and a view's runtime state; hosts treat them as opaque. */
typedef struct CameraRecord CameraRecord;
typedef struct PanoView PanoView;

/* ---- Host interface and configuration ---- */
ORB_EXPORT void OrbiscopeInit(void);
ORB_EXPORT int32_t SetCallerID(int32_t callerId);
ORB_EXPORT int32_t SetCallID(int32_t callerId);
ORB_EXPORT int32_t GetSettings(int32_t** showTime, int32_t** showLocation, int32_t writeFlag);
ORB_EXPORT int32_t OrbiscopeSetDVR(int32_t writeFlag, int32_t value);
ORB_EXPORT int32_t EnableDVRRecording(int32_t flag);
ORB_EXPORT int32_t EnableMotionBlock(int32_t flag);
ORB_EXPORT int32_t SetPackFlag(int32_t flag);
ORB_EXPORT const char* PanoGetSystemDrive(void);
/* The folder of Config.ure and User.dat, where a host that edits the camera list writes:
 * $ORBISCOPE_HOME, else the library's own folder when it is writable and holds them, else
 * the user's configuration folder. Valid until the next call. */
ORB_EXPORT const char* OrbiscopeLibraryFolder(void);
ORB_EXPORT int32_t SaveCameraConfigure(PanoView* view);
ORB_EXPORT CameraRecord* CreateConfigure(int32_t imageType, int32_t width, int32_t height, const char* name);
ORB_EXPORT int32_t BuildPackInfo(void* ownerWindow, const char* outputPath);
ORB_EXPORT void UsingWinINet(void);
/* Camera report: 0 once the report file is deleted again, else the message box result. */
ORB_EXPORT int32_t BrowseConfigureInfo(void* ownerWindow, const CameraRecord* record);
ORB_EXPORT void LogIntoNAS(void);
/* Window handles are opaque words. screenRects: two rectangles (left, top, right, bottom). */
ORB_EXPORT void* RunOrbiscope(void* hostWindow, int32_t reserved, int32_t numViews, void** mainWindow, int32_t callerId,
                              const int32_t* hostOptions, int32_t reserved2, const int32_t* screenRects);
ORB_EXPORT void* GetSnapshotWnd(void);
ORB_EXPORT void* GetDVRWnd(void);
ORB_EXPORT void* GetWndDVR(void);
ORB_EXPORT int32_t UnloadLanguageResource(void);
ORB_EXPORT int32_t OrbiscopeCheckNewwork(void);
/* out: at least 18 bytes, "AA:BB:CC:DD:EE:FF". */
ORB_EXPORT int32_t GetMacAddress(int32_t reserved, const char* cameraAddress, char* out);
ORB_EXPORT CameraRecord* SelectCamera(void* ownerWindow);
ORB_EXPORT int32_t ChangeCamera(PanoView* view, const CameraRecord* record);

/* ---- Camera stream client ---- */
ORB_EXPORT char* EncodeBase64(const char* source, char* destination);
ORB_EXPORT char* DecodeBase64(const char* source, char* destination);

/* ---- JPEG codec ---- */
ORB_EXPORT HDIB DecodeFromJPEGBuffer(const void* buffer, int32_t byteCount);
ORB_EXPORT HDIB LoadJpeg(const char* path);

/* Picture access. A picture returned by DecodeFromJPEGBuffer or LoadJpeg belongs to the
 * caller, who frees it with OrbiscopeFreePicture once and then never uses the handle again.
 * OrbiscopeLockPicture gives the packed bitmap (the 40-byte header: width at offset 4,
 * height at 8, bits per pixel at 14; then the rows, bottom row first, B,G,R, each padded to
 * 4 bytes), valid until the matching OrbiscopeUnlockPicture; null for a null handle.
 * OrbiscopePictureSize is the packed bitmap's length in bytes (0 for a null handle). */
ORB_EXPORT void* OrbiscopeLockPicture(HDIB picture);
ORB_EXPORT void OrbiscopeUnlockPicture(HDIB picture);
ORB_EXPORT uint32_t OrbiscopePictureSize(HDIB picture);
ORB_EXPORT void OrbiscopeFreePicture(HDIB picture);

/* ---- Dewarping ---- */
ORB_EXPORT void RebuildPanorama(PanoView* view);
ORB_EXPORT int32_t UpdatePanorama(PanoView* view);
ORB_EXPORT int32_t SetLensType(CameraRecord* record, int32_t lensType);
/* Moves window 0..5 (pan codes 1110, 1112, 2024, 2025; tilt codes 1111, 1113, 2022,
 * 2023); step in degrees, 0 for the default step. */
ORB_EXPORT void ORBPANOMoveViewPosition(PanoView* view, int32_t code, int32_t window, double step);
/* Direction 2 zooms out, any other value in; the third argument is not used. */
ORB_EXPORT void ORBPANOZoom(PanoView* view, int32_t direction, int32_t unused, int32_t window);
/* The modal alignment dialog over the view's live picture: 1 after OK (the record and
 * settings are saved), 0 after Cancel or without a picture (a beep), -1 when it cannot open. */
ORB_EXPORT int32_t DoAlignment(PanoView* view);

/* ---- Recording, playback and snapshots ---- */
/* The player: runs until the player closes (0) or returns its frame when the first
 * recording cannot be opened. 0 while no window layer is present. */
ORB_EXPORT void* PlayDVR(void* parentWindow, const char* fileName);
ORB_EXPORT void* DVRManagement(void* parentWindow);
/* Recording settings dialog: 1 after OK, 0 after Cancel (or without dialogs). */
ORB_EXPORT int32_t DVRConfigure(void* parentWindow);
/* Builds the recording catalogue again and returns its head sentinel. Node layout (184
 * bytes): int32 drive entry at 0, char name[160] at 4, reserved int32 at 164, next node at
 * 168 (null for the tail sentinel), previous node at 176. */
ORB_EXPORT void* ImportDVRInfo(void);
/* Root password dialogs: SetRootPassword gives 0; CheckPassword 1 when the password was
 * given or none is stored, 0 when cancelled. */
ORB_EXPORT int32_t SetRootPassword(void* ownerWindow);
ORB_EXPORT int32_t CheckPassword(void* ownerWindow);
/* Snapshots: the viewer frame, or 0. Snapshot freezes the view's current picture into a
 * "*.360" file (JPEG + "Orbiscope" + the 2984-byte record) and shows it; OpenSnapshot opens
 * a file, or the newest stored snapshot when path is null. PlaySnapshot does the same after
 * reloading the mouse-inversion setting. */
ORB_EXPORT void* Snapshot(void* parentWindow, PanoView* view);
ORB_EXPORT void* OpenSnapshot(void* parentWindow, const char* path);
ORB_EXPORT void* PlaySnapshot(void* parentWindow, const char* path);
/* Packages the view's snapshot file (asks for the package path): 1 or 0. */
ORB_EXPORT int32_t SnapPack(PanoView* view);
/* The snapshot viewer frame's window procedure. */
ORB_EXPORT intptr_t SnapFrameWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
/* Appends the view's record as trailer to its picture file, replacing one that is there. */
ORB_EXPORT int32_t PictureAppendCCTVData(PanoView* view);
/* Backup dialog of recordings; playing recordings from the backup folder. Both give 1. */
ORB_EXPORT int32_t Backup(void* parentWindow);
ORB_EXPORT int32_t BackupPlay(void* parentWindow);
/* Still panoramic pictures (JPEG, BMP, PNG) in the photo viewer; non-zero on success.
 * path null: the user chooses, starting in initialFolder when useFolder is set. */
ORB_EXPORT int32_t ProcessPanoramicImage(void* ownerWindow);
ORB_EXPORT int32_t AppendPanoramicImage(void* ownerWindow, const char* path, const char* initialFolder,
                                        int32_t useFolder);

/* ---- Windows and views ---- */
ORB_EXPORT intptr_t OrbiscopeWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
ORB_EXPORT intptr_t OrbiscopeNewWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

/* ---- Picture analysis ---- */
ORB_EXPORT extern int32_t gfMotionBlock;
/* The show-motion-blocks flag (1 = red outlines drawn into the pictures); set with
 * EnableMotionBlock. */
ORB_EXPORT int32_t IsMotionBlockEnabled(void);

/* ---- Export and publishing ---- */
/* Both open dialogs of the window layer; without it they give their failure value
 * (null and -1). */
ORB_EXPORT void* CreatePackDlg(void* ownerWindow, int32_t reserved);
ORB_EXPORT int32_t GenerateWebPage(void* ownerWindow);

#ifdef __cplusplus
}
#endif

#endif
