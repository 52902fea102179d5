/* A host program in C: loads the built liborbiscope.so with dlopen, resolves its exports with
 * dlsym and walks the calling order a host follows, with four fake cameras on 127.0.0.1.
 *
 *   c_host LIBRARY FAKECAM TEXTS JPEG WIDTH HEIGHT empty|full|user
 *
 * "empty": the settings folder exists and holds nothing; "full": every setting is present;
 * "user": no settings and recording on, for a user who may write on no file system (run it
 * as such a user): the recordings land in the user's own data folder.
 * Exit status 0 when every step held; each failure is printed. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "orbiscope.h"
#include "orbiscope_host.h"

extern char** environ;

static int g_failures = 0;
#define CHECK(cond, ...)                                                  \
    do {                                                                  \
        if (!(cond)) {                                                    \
            ++g_failures;                                                 \
            fprintf(stderr, "c_host:%d: failed: %s: ", __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__);                                 \
            fputc('\n', stderr);                                          \
        }                                                                 \
    } while (0)

/* Every export the walk uses, resolved by name. */
static struct {
    void (*OrbiscopeInit)(void);
    int32_t (*SetCallerID)(int32_t);
    int32_t (*EnableDVRRecording)(int32_t);
    int32_t (*OrbiscopeSetDVR)(int32_t, int32_t);
    int32_t (*IsMotionBlockEnabled)(void);
    const char* (*PanoGetSystemDrive)(void);
    void* (*RunOrbiscope)(void*, int32_t, int32_t, void**, int32_t, const int32_t*, int32_t, const int32_t*);
    int32_t (*SetLensType)(CameraRecord*, int32_t);
    void (*ORBPANOMoveViewPosition)(PanoView*, int32_t, int32_t, double);
    void* (*Snapshot)(void*, PanoView*);
    HDIB (*DecodeFromJPEGBuffer)(const void*, int32_t);
    HDIB (*LoadJpeg)(const char*);
    void* (*OrbiscopeLockPicture)(HDIB);
    void (*OrbiscopeUnlockPicture)(HDIB);
    uint32_t (*OrbiscopePictureSize)(HDIB);
    void (*OrbiscopeFreePicture)(HDIB);
    int32_t (*UnloadLanguageResource)(void);
    int32_t (*OrbiscopePumpMessages)(void);
    int32_t (*OrbiscopeIsWindow)(void*);
    intptr_t (*OrbiscopeSendMessage)(void*, uint32_t, uintptr_t, intptr_t);
    int32_t (*OrbiscopeDestroyWindow)(void*);
    void* (*OrbiscopeViewWindow)(int32_t);
    PanoView* (*OrbiscopeViewOf)(void*);
    CameraRecord* (*OrbiscopeViewRecord)(PanoView*);
    int32_t (*OrbiscopeViewFigures)(PanoView*, OrbViewFigures*);
    int32_t (*OrbiscopeRecordingFrames)(const char*, int32_t*);
    int32_t (*ChangeCamera)(PanoView*, const CameraRecord*);
    int32_t* gfMotionBlock;
} X;

static int Resolve(void* lib) {
    static const char* const kNames[] = {
        "OrbiscopeInit", "SetCallerID", "EnableDVRRecording", "OrbiscopeSetDVR", "IsMotionBlockEnabled",
        "PanoGetSystemDrive", "RunOrbiscope", "SetLensType", "ORBPANOMoveViewPosition", "Snapshot",
        "DecodeFromJPEGBuffer", "LoadJpeg", "OrbiscopeLockPicture", "OrbiscopeUnlockPicture",
        "OrbiscopePictureSize", "OrbiscopeFreePicture", "UnloadLanguageResource", "OrbiscopePumpMessages",
        "OrbiscopeIsWindow", "OrbiscopeSendMessage", "OrbiscopeDestroyWindow", "OrbiscopeViewWindow",
        "OrbiscopeViewOf", "OrbiscopeViewRecord", "OrbiscopeViewFigures", "OrbiscopeRecordingFrames",
        "ChangeCamera", "gfMotionBlock"};
    void** slots = (void**)&X;
    for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
        slots[i] = dlsym(lib, kNames[i]);
        if (!slots[i]) {
            fprintf(stderr, "c_host: the library does not export %s\n", kNames[i]);
            return 0;
        }
    }
    return 1;
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void Nap(void) {
    struct timespec t = {0, 10 * 1000 * 1000};
    nanosleep(&t, NULL);
}

static int WriteFile(const char* path, const void* data, size_t n) {
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    const int ok = fwrite(data, 1, n, f) == n;
    return fclose(f) == 0 && ok;
}

static unsigned char* ReadFile(const char* path, size_t* n) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    const long size = ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char* data = malloc(size > 0 ? (size_t)size : 1);
    *n = data ? fread(data, 1, (size_t)size, f) : 0;
    fclose(f);
    return data;
}

static int RemoveEntry(const char* path, const struct stat* st, int flag, struct FTW* ftw) {
    (void)st, (void)flag, (void)ftw;
    return remove(path);
}

/* Starts the fake cameras; their ports come one a line on a pipe. */
static pid_t StartCameras(const char* fakecam, const char* config, int count) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char countText[8];
    snprintf(countText, sizeof countText, "%d", count);
    char* argv[] = {(char*)fakecam, "--cameras", countText, "--config", (char*)config, "--size", "640x480",
                    "--fps", "12", "--user", "admin", "--password", "secret", NULL};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, fakecam, &actions, NULL, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }
    FILE* in = fdopen(fds[0], "r");
    int ports = 0, port = 0;
    while (ports < count && in && fscanf(in, "%d", &port) == 1) ++ports;
    if (in) fclose(in);
    if (ports < count) {
        kill(pid, SIGTERM);
        waitpid(pid, NULL, 0);
        return -1;
    }
    return pid;
}

static void WriteFullSettings(const char* sys, const char* store) {
    char path[8192], text[16384];
    snprintf(path, sizeof path, "%s/orbiscfg.ini", sys);
    snprintf(text, sizeof text,
             "[Panorama]\nBackground=0\nFullScreen=0\nPackFullScreen=0\nMultiScreen=2\n"
             "WinPos=10 , 10 , 800 , 600 , 0\nSnapPos=20 , 20 , 640 , 480 , 0\n"
             "[DVR]\nSpeed=2\nProtected=0\nNAS=0\nNASDir=\nNASConfig=\nNASLaunch=0\nStorageRoots=%s\n"
             "[CCTV]\nDVR=1\nCCTV0=1\nCCTV1=2\nCCTV2=3\nCCTV3=4\nShowLocation=1\nShowTime=1\n"
             "[SCCTV]\nShowLocation=1\nShowTime=1\nLockScreen=0\nMotionBlock=1\nDVR=1\nSkipSystemDisk=0\n"
             "CCTV0=1\nCCTV1=2\nCCTV2=3\nCCTV3=4\n"
             "[Backup]\nDir=%s\n[Orbiscope]\nMouseInvert=0\n",
             store, store);
    WriteFile(path, text, strlen(text));
}

/* Pumps the window layer until every view has shown `pictures` more than `base`. */
static int WaitForPictures(const int32_t base[4], int pictures, double budget) {
    const double end = Now() + budget;
    for (;;) {
        int ready = 0;
        for (int i = 0; i < 4; ++i) {
            OrbViewFigures f;
            PanoView* v = X.OrbiscopeViewOf(X.OrbiscopeViewWindow(i));
            if (v && X.OrbiscopeViewFigures(v, &f) && f.picturesShown >= base[i] + pictures) ++ready;
        }
        if (ready == 4) return 1;
        if (Now() > end) return 0;
        X.OrbiscopePumpMessages();
        Nap();
    }
}

static void CheckPicture(HDIB picture, int width, int height, const char* what) {
    CHECK(picture != NULL, "%s gave no picture", what);
    if (!picture) return;
    const unsigned char* packed = X.OrbiscopeLockPicture(picture);
    CHECK(packed != NULL, "%s: the picture cannot be locked", what);
    if (packed) {
        int32_t w, h;
        uint16_t bits;
        uint32_t headerSize;
        memcpy(&headerSize, packed, 4);
        memcpy(&w, packed + 4, 4);
        memcpy(&h, packed + 8, 4);
        memcpy(&bits, packed + 14, 2);
        const uint32_t row = (uint32_t)((w * 3 + 3) / 4 * 4);
        CHECK(headerSize == 40 && w == width && h == height && bits == 24, "%s: header %u %dx%d %u bits", what,
              headerSize, w, h, bits);
        CHECK(X.OrbiscopePictureSize(picture) >= 40 + row * (uint32_t)height, "%s: %u bytes", what,
              X.OrbiscopePictureSize(picture));
        X.OrbiscopeUnlockPicture(picture);
    }
}

static int SamePictures(HDIB a, HDIB b) {
    if (!a || !b || X.OrbiscopePictureSize(a) != X.OrbiscopePictureSize(b)) return 0;
    const void* pa = X.OrbiscopeLockPicture(a);
    const void* pb = X.OrbiscopeLockPicture(b);
    const int same = pa && pb && memcmp(pa, pb, X.OrbiscopePictureSize(a)) == 0;
    X.OrbiscopeUnlockPicture(a);
    X.OrbiscopeUnlockPicture(b);
    return same;
}

static int CountRecordings(const char* folder, int* frames) {
    DIR* d = opendir(folder);
    int files = 0;
    *frames = 0;
    if (!d) return 0;
    struct dirent* e;
    while ((e = readdir(d)) != NULL) {
        const size_t n = strlen(e->d_name);
        if (n < 5 || strcasecmp(e->d_name + n - 5, ".P360") != 0) continue;
        char path[8192 + 512];
        snprintf(path, sizeof path, "%s/%s", folder, e->d_name);
        int32_t decodable = 0;
        const int32_t count = X.OrbiscopeRecordingFrames(path, &decodable);
        CHECK(count >= 0 && decodable == count, "%s: %d frames, %d decode", e->d_name, count, decodable);
        if (count > 0) *frames += count;
        ++files;
    }
    closedir(d);
    return files;
}

static void WalkViews(int full) {
    const int32_t none[4] = {0, 0, 0, 0};
    CHECK(WaitForPictures(none, 3, 120.0), "not every view showed 3 pictures");
    int32_t before[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        PanoView* v = X.OrbiscopeViewOf(X.OrbiscopeViewWindow(i));
        CHECK(v != NULL, "view %d has no view", i);
        if (!v) return;
        OrbViewFigures f;
        X.OrbiscopeViewFigures(v, &f);
        before[i] = f.picturesShown;
        CameraRecord* record = X.OrbiscopeViewRecord(v);
        /* Fisheye, mirror, annular, 180 degrees: the lens each fake camera shows. */
        static const int32_t kLens[4] = {2, 3, 7, 8};
        CHECK(X.SetLensType(record, kLens[i]) == 1, "SetLensType on view %d", i);
        X.ORBPANOMoveViewPosition(v, 1110, 0, 10.0);
        X.ORBPANOMoveViewPosition(v, 1111, 0, 0.0);
    }
    /* A view takes a copy of its own record again (a host's edit handed back) while its
     * pictures flow; a record no view owns is refused. */
    PanoView* first = X.OrbiscopeViewOf(X.OrbiscopeViewWindow(0));
    CameraRecord* own = X.OrbiscopeViewRecord(first);
    CHECK(X.ChangeCamera(first, own) == 1, "ChangeCamera with the view's own record");
    CHECK(X.ChangeCamera(first, NULL) == 0, "ChangeCamera with no record");
    /* The views go on after their geometry was rebuilt and their windows moved. */
    CHECK(WaitForPictures(before, 3, 120.0), "the views stopped after SetLensType");
    void* snap = X.Snapshot(NULL, X.OrbiscopeViewOf(X.OrbiscopeViewWindow(0)));
    CHECK(snap != NULL, "Snapshot gave no viewer");
    if (snap) {
        X.OrbiscopePumpMessages();
        X.OrbiscopeDestroyWindow(snap);
    }
    (void)full;
}

int main(int argc, char** argv) {
    if (argc != 8) {
        fprintf(stderr, "usage: c_host LIBRARY FAKECAM TEXTS JPEG WIDTH HEIGHT empty|full|user\n");
        return 2;
    }
    const char* library = argv[1];
    const int width = atoi(argv[5]), height = atoi(argv[6]);
    const int full = strcmp(argv[7], "full") == 0, user = strcmp(argv[7], "user") == 0;
    const int record = full || user;
    char top[] = "/tmp/orbiscope-c-host-XXXXXX";
    if (!mkdtemp(top)) return 2;
    char home[256], sys[256], store[256], path[8192];
    snprintf(home, sizeof home, "%s/lib", top);
    snprintf(sys, sizeof sys, "%s/settings", top);
    snprintf(store, sizeof store, "%s/store", top);
    mkdir(home, 0755);
    mkdir(sys, 0755);
    mkdir(store, 0755);
    /* The library's folder holds the texts and Config.ure; nothing else of ours is around. */
    size_t n = 0;
    unsigned char* texts = ReadFile(argv[3], &n);
    snprintf(path, sizeof path, "%s/Halo360Web_003906.r", home);
    CHECK(texts && WriteFile(path, texts, n), "cannot copy the texts");
    free(texts);
    if (full) WriteFullSettings(sys, store);
    setenv("ORBISCOPE_HOME", home, 1);
    setenv("ORBISCOPE_SYSTEM_DIR", sys, 1);
    setenv("HOME", top, 1);
    setenv("XDG_DATA_HOME", store, 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    snprintf(path, sizeof path, "%s/Config.ure", home);
    const pid_t cameras = StartCameras(argv[2], path, 4);
    CHECK(cameras > 0, "the fake cameras did not start");

    void* lib = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    CHECK(lib != NULL, "dlopen: %s", dlerror());
    if (!lib || !Resolve(lib) || cameras <= 0) return 1;

    /* What the attach step set stays set. */
    char expected[256];
    snprintf(expected, sizeof expected, "%s/", top);
    CHECK(strcmp(X.PanoGetSystemDrive(), expected) == 0, "system drive \"%s\"", X.PanoGetSystemDrive());
    CHECK(X.OrbiscopeSetDVR(0, 0) == 1, "the recording flag is %d after start-up", X.OrbiscopeSetDVR(0, 0));
    CHECK(*X.gfMotionBlock == 1 && X.IsMotionBlockEnabled() == 1, "motion blocks %d", *X.gfMotionBlock);

    CHECK(X.SetCallerID(4) == 4, "SetCallerID");
    /* Without settings the storage is every writable file system: record only where the
     * test knows where that is. */
    CHECK(X.EnableDVRRecording(record) == record, "EnableDVRRecording");
    void* mainWindow = NULL;
    void* frame = X.RunOrbiscope(NULL, 0, 4, &mainWindow, 4, NULL, 0, NULL);
    CHECK(frame != NULL && frame == mainWindow, "RunOrbiscope gave %p and %p", frame, mainWindow);
    if (frame) WalkViews(full);

    /* Pictures from the host's own bytes and file. */
    size_t jpegSize = 0;
    unsigned char* jpeg = ReadFile(argv[4], &jpegSize);
    CHECK(jpeg != NULL, "cannot read %s", argv[4]);
    HDIB fromBuffer = jpeg ? X.DecodeFromJPEGBuffer(jpeg, (int32_t)jpegSize) : NULL;
    HDIB fromFile = X.LoadJpeg(argv[4]);
    CheckPicture(fromBuffer, width, height, "DecodeFromJPEGBuffer");
    CheckPicture(fromFile, width, height, "LoadJpeg");
    CHECK(SamePictures(fromBuffer, fromFile), "the two decodings differ");
    X.OrbiscopeFreePicture(fromBuffer);
    X.OrbiscopeFreePicture(fromFile);
    if (jpeg) {
        CHECK(X.DecodeFromJPEGBuffer(jpeg, (int32_t)(jpegSize / 3)) == NULL, "a truncated picture decoded");
        free(jpeg);
    }
    CHECK(X.OrbiscopeLockPicture(NULL) == NULL && X.OrbiscopePictureSize(NULL) == 0, "a null picture");

    /* The close command; the host's loop then ends and the main window is gone. */
    if (frame) {
        X.OrbiscopeSendMessage(X.OrbiscopeViewWindow(0), ORB_WM_COMMAND, ORB_CMD_CLOSE, 0);
        const double end = Now() + 60.0;
        while (X.OrbiscopeIsWindow(frame) && Now() < end) {
            X.OrbiscopePumpMessages();
            Nap();
        }
        CHECK(!X.OrbiscopeIsWindow(frame), "the main window outlived the close command");
    }
    if (record) {
        int frames = 0;
        snprintf(path, sizeof path, user ? "%s/orbiscope/RECVAULT" : "%s/RECVAULT", store);
        const int files = CountRecordings(path, &frames);
        CHECK(files == 4 && frames >= 12, "%d recordings with %d frames in %s", files, frames, path);
    }
    CHECK(X.UnloadLanguageResource() == 1, "no language module was loaded");
    CHECK(dlclose(lib) == 0, "dlclose: %s", dlerror());

    kill(cameras, SIGTERM);
    waitpid(cameras, NULL, 0);
    nftw(top, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    if (g_failures) fprintf(stderr, "c_host (%s): %d failures\n", argv[7], g_failures);
    return g_failures ? 1 : 0;
}
