// The 2984-byte camera record, little-endian, every field at a fixed offset. It is copied
// by value in and out of views, recording files and snapshot trailers; "preserved" bytes
// are carried through untouched.
#pragma once
#include <cstddef>
#include <cstdint>

#include "orbiscope.h"
#include "platform/clock.h"

struct ViewPreset {
    uint8_t navigation[8];  // used by view navigation only
    double zoom;
    double pan;   // degrees
    double tilt;  // degrees
};
static_assert(sizeof(ViewPreset) == 32);

struct CameraRecord {
    int32_t modelIndex;             // 0: camera model catalogue index
    uint8_t preserved4[4];
    char address[40];               // 8: dotted IPv4 or host name
    int32_t captureParam;           // 48: 0..3000
    int32_t httpPort;               // 52
    char account[20];               // 56: Base64 text
    int32_t secondPort;             // 76
    int32_t rtspTransport;          // 80: RTSP cameras only: 0 TCP (interleaved), 1 UDP
    uint8_t preserved84[8];
    char password[20];              // 92: Base64 text
    uint8_t preserved112[16];
    ViewPreset presets360[6];       // 128
    ViewPreset presets180[5];       // 320
    ViewPreset presets90[5];        // 480
    char name[80];                  // 640
    char location[440];             // 720
    uint8_t preserved1160[4];
    char macText[40];               // 1164: Base64 of "AA:BB:CC:DD:EE:FF"
    uint8_t preserved1204[136];     // 1204: the generic camera models keep their URL path here
    float navigation[6];            // 1340
    int32_t alignToolMode;          // 1364
    int32_t alignToolOption;        // 1368
    int32_t colourBalanceOn;        // 1372
    int32_t colourShift[5];         // 1376: cyan-red, magenta-green, yellow-blue, brightness, contrast
    uint8_t preserved1396[8];
    uint32_t zoneStyle;             // 1404
    uint8_t preserved1408[96];
    int32_t motionOn;               // 1504
    int32_t motionSensitivity;      // 1508
    uint8_t preserved1512[12];
    int32_t showMode180;            // 1524
    int32_t cruiseSpeed;            // 1528
    float panoramaStartAngle;       // 1532: radians, rotation of the panorama start
    int32_t perspective180;         // 1536: 180/90 lenses: degree-based presets
    int32_t lensModel;              // 1540: 180/90 lens-model selector 0..6
    int32_t panoramaProjection;     // 1544: 180/90 panorama projection 0..4, 7
    float bandTilt;                 // 1548: 180/90 mode 5, window 1: tilt, degrees
    float bandZoom;                 // 1552: 180/90 mode 5, window 1: zoom, degrees
    uint8_t geometry1556[4];        // 1556
    double lensSpan180;             // 1560: degrees
    double verticalCenter180;       // 1568
    double verticalSpan180;         // 1576
    double lensSpan90;              // 1584
    double verticalCenter90;        // 1592
    double verticalSpan90;          // 1600
    uint8_t geometry1608[208];      // 1608: lens geometry
    int32_t hookOn;                 // 1816
    char hookLibrary[32];           // 1820
    char hookFunction[32];          // 1852
    uint8_t geometry1884[8];        // 1884
    int32_t alignFlag;              // 1892
    uint8_t geometry1896[16];       // 1896
    int32_t showMode360;            // 1912
    uint8_t preserved1916[4];
    double effectiveAngle;          // 1920
    double tiltMax;                 // 1928
    double tiltMin;                 // 1936
    uint8_t preserved1944[4];
    int32_t centerX;                // 1948
    int32_t centerY;                // 1952
    uint8_t preserved1956[4];
    double halfFov;                 // 1960
    int32_t lensType;               // 1968: image type 0..11
    int32_t firstRadius;            // 1972
    int32_t secondRadius;           // 1976
    uint8_t preserved1980[4];
    int32_t ovalH;                  // 1984
    int32_t ovalV;                  // 1988
    int32_t sourceWidth;            // 1992
    int32_t sourceHeight;           // 1996
    int32_t cameraId;               // 2000
    uint8_t preserved2004[4];
    int32_t flipHorizontal;         // 2008
    int32_t flipVertical;           // 2012
    uint32_t ownerLink;             // 2016: id of the owning view, never a pointer
    char tag[28];                   // 2020: "ORBISCOPE"
    double panTiltLimits[8];        // 2048
    uint8_t geometry2112[48];       // 2112
    double perspectiveDistance;     // 2160
    uint8_t geometry2168[16];       // 2168
    uint8_t zoneCells[128];         // 2184: 32 x 32 bits
    uint8_t geometry2312[176];      // 2312
    ViewPreset presetsDegrees[5];   // 2488
    uint8_t geometry2648[284];      // 2648
    float curve[4];                 // 2932: a0..a3
    int32_t curveEnabled;           // 2948
    SystemTime snapshotTime;        // 2952
    uint8_t preserved2968[16];
};

static_assert(sizeof(CameraRecord) == 2984);
static_assert(offsetof(CameraRecord, address) == 8);
static_assert(offsetof(CameraRecord, captureParam) == 48);
static_assert(offsetof(CameraRecord, httpPort) == 52);
static_assert(offsetof(CameraRecord, account) == 56);
static_assert(offsetof(CameraRecord, secondPort) == 76);
static_assert(offsetof(CameraRecord, rtspTransport) == 80);
static_assert(offsetof(CameraRecord, password) == 92);
static_assert(offsetof(CameraRecord, presets360) == 128);
static_assert(offsetof(CameraRecord, presets180) == 320);
static_assert(offsetof(CameraRecord, presets90) == 480);
static_assert(offsetof(CameraRecord, name) == 640);
static_assert(offsetof(CameraRecord, location) == 720);
static_assert(offsetof(CameraRecord, macText) == 1164);
static_assert(offsetof(CameraRecord, navigation) == 1340);
static_assert(offsetof(CameraRecord, alignToolMode) == 1364);
static_assert(offsetof(CameraRecord, colourBalanceOn) == 1372);
static_assert(offsetof(CameraRecord, colourShift) == 1376);
static_assert(offsetof(CameraRecord, zoneStyle) == 1404);
static_assert(offsetof(CameraRecord, motionOn) == 1504);
static_assert(offsetof(CameraRecord, motionSensitivity) == 1508);
static_assert(offsetof(CameraRecord, showMode180) == 1524);
static_assert(offsetof(CameraRecord, cruiseSpeed) == 1528);
static_assert(offsetof(CameraRecord, panoramaStartAngle) == 1532);
static_assert(offsetof(CameraRecord, perspective180) == 1536);
static_assert(offsetof(CameraRecord, lensModel) == 1540);
static_assert(offsetof(CameraRecord, panoramaProjection) == 1544);
static_assert(offsetof(CameraRecord, bandTilt) == 1548);
static_assert(offsetof(CameraRecord, bandZoom) == 1552);
static_assert(offsetof(CameraRecord, lensSpan180) == 1560);
static_assert(offsetof(CameraRecord, verticalCenter180) == 1568);
static_assert(offsetof(CameraRecord, verticalSpan180) == 1576);
static_assert(offsetof(CameraRecord, lensSpan90) == 1584);
static_assert(offsetof(CameraRecord, verticalCenter90) == 1592);
static_assert(offsetof(CameraRecord, verticalSpan90) == 1600);
static_assert(offsetof(CameraRecord, geometry1608) == 1608);
static_assert(offsetof(CameraRecord, hookOn) == 1816);
static_assert(offsetof(CameraRecord, hookLibrary) == 1820);
static_assert(offsetof(CameraRecord, hookFunction) == 1852);
static_assert(offsetof(CameraRecord, alignFlag) == 1892);
static_assert(offsetof(CameraRecord, showMode360) == 1912);
static_assert(offsetof(CameraRecord, effectiveAngle) == 1920);
static_assert(offsetof(CameraRecord, tiltMax) == 1928);
static_assert(offsetof(CameraRecord, tiltMin) == 1936);
static_assert(offsetof(CameraRecord, centerX) == 1948);
static_assert(offsetof(CameraRecord, centerY) == 1952);
static_assert(offsetof(CameraRecord, halfFov) == 1960);
static_assert(offsetof(CameraRecord, lensType) == 1968);
static_assert(offsetof(CameraRecord, firstRadius) == 1972);
static_assert(offsetof(CameraRecord, secondRadius) == 1976);
static_assert(offsetof(CameraRecord, ovalH) == 1984);
static_assert(offsetof(CameraRecord, ovalV) == 1988);
static_assert(offsetof(CameraRecord, sourceWidth) == 1992);
static_assert(offsetof(CameraRecord, sourceHeight) == 1996);
static_assert(offsetof(CameraRecord, cameraId) == 2000);
static_assert(offsetof(CameraRecord, flipHorizontal) == 2008);
static_assert(offsetof(CameraRecord, flipVertical) == 2012);
static_assert(offsetof(CameraRecord, ownerLink) == 2016);
static_assert(offsetof(CameraRecord, tag) == 2020);
static_assert(offsetof(CameraRecord, panTiltLimits) == 2048);
static_assert(offsetof(CameraRecord, perspectiveDistance) == 2160);
static_assert(offsetof(CameraRecord, zoneCells) == 2184);
static_assert(offsetof(CameraRecord, geometry2312) == 2312);
static_assert(offsetof(CameraRecord, presetsDegrees) == 2488);
static_assert(offsetof(CameraRecord, geometry2648) == 2648);
static_assert(offsetof(CameraRecord, curve) == 2932);
static_assert(offsetof(CameraRecord, curveEnabled) == 2948);
static_assert(offsetof(CameraRecord, snapshotTime) == 2952);
static_assert(offsetof(CameraRecord, preserved2968) == 2968);

namespace orb {

constexpr int kRecordSize = 2984;
constexpr int kSlotSize = 3000;

// Image (lens) types.
enum LensType : int32_t {
    kLensDisabled = 0,
    kLensNormal = 1,
    kLensFisheye = 2,
    kLensConcaveMirror = 3,
    kLensConvexMirror = 4,
    kLensPal = 5,
    kLensPalReverse = 6,
    kLensAnnularFisheye = 7,
    kLens180 = 8,
    kLens90 = 9,
    kLensMotoPtz = 10,
    kLensSpherical = 11,
};

// Showing modes of the 360-degree lens types (showMode360): how the view is divided into
// virtual windows (k) and strips.
enum ShowMode360 : int32_t {
    kShow360Quad = 0,             // windows 3, 0 / 1, 2 in a quad
    kShow360QuadStill = 1,        // the same quad, never panned by itself
    kShow360WindowStrip = 2,      // window 4 over the strip
    kShow360QuadSource = 3,       // the quad with the whole source in window 3's place
    kShow360TwoWindowsStrip = 4,  // windows 4 and 0 over the strip
    kShow360Source = 5,           // the source resized, no dewarping
    kShow360TwoStrips = 6,        // two half-turn strips
    kShow360OneWindow = 7,        // window 3 alone
    kShow360FourWindowsStrip = 8, // windows 0..3 over the strip
    kShow360SixWindowsStrip = 9,  // windows 0..5 over the strip
    kShow360SixWindows = 10,      // windows 0..5, no strip
    kShow360Last = kShow360SixWindows,
};

// Showing modes of the 180/90-degree lens types (showMode180).
enum ShowMode180 : int32_t {
    kShow180Quad = 0,          // windows 0..3 in a quad; window 3 shows the whole panorama
    kShow180Panorama = 1,      // window 3 alone, the whole panorama
    kShow180FourWindows = 2,   // windows 0..3
    kShow180Source = 3,        // the source resized, no dewarping
    kShow180OneWindow = 4,     // window 4 alone
    kShow180Band = 5,          // windows 0, 1 (a band) and 3
    kShow180QuadSource = 6,    // windows 0..2 and the resized source in the quad
    kShow180Last = kShow180QuadSource,
};

// Copies text into a fixed field, cut and always NUL-terminated.
template <size_t N>
void SetText(char (&field)[N], const char* text) {
    size_t i = 0;
    for (; text && text[i] && i + 1 < N; ++i) field[i] = text[i];
    for (; i < N; ++i) field[i] = 0;
}
// The field's text up to its first NUL (or its whole width).
template <size_t N>
const char* TextOf(const char (&field)[N], char (&out)[N + 1]) {
    size_t i = 0;
    for (; i < N && field[i]; ++i) out[i] = field[i];
    out[i] = 0;
    return out;
}

// Round to nearest of a*b/c with a 64-bit product, -1 when c is 0 (halves away from zero).
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Process-wide records.
extern CameraRecord g_defaultRecord;   // template for new records
extern CameraRecord g_editRecord;      // the editing copy
extern CameraRecord g_createdRecord;   // what CreateConfigure returns
extern CameraRecord g_chosenRecord;    // the camera chooser's pick

// Builds the default record (and the editing copy) for the current caller ID.
void BuildDefaultRecord();
CameraRecord* CreateConfigureRecord(int32_t lensType, int32_t width, int32_t height, const char* name);

// Fills a record's preset tables with the default view presets.
void FillDefaultPresets(CameraRecord& record);

}  // namespace orb
