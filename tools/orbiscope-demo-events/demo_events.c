/* The demo's motion-event library: the library calls OrbiscopeDemoMotion on every picture
 * in which a camera's motion detector saw motion, as it calls any user's event library
 * named in the camera record. It counts the pictures per camera and keeps the latest one;
 * the demo, which loads the same file, reads them back to count the events and to keep
 * what the detector saw.
 *
 * The camera is told by its record's camera id (a 32-bit little-endian word at byte 2000 of
 * the camera record), as any event library can read it. */
#include <pthread.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define EXPORT __attribute__((visibility("default")))
enum { kSlots = 64, kCameraIdOffset = 2000 };

struct Slot {
    atomic_llong pictures;
    atomic_llong lastNs;
    pthread_mutex_t lock;
    uint8_t* jpeg;
    int32_t length;
};

static struct Slot g_slots[kSlots];
static pthread_once_t g_once = PTHREAD_ONCE_INIT;

static void Init(void) {
    for (int i = 0; i < kSlots; ++i) pthread_mutex_init(&g_slots[i].lock, NULL);
}

static int64_t Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static struct Slot* SlotOf(int32_t cameraId) {
    pthread_once(&g_once, Init);
    return &g_slots[(uint32_t)cameraId % kSlots];
}

EXPORT int32_t OrbiscopeDemoMotion(const void* record, int32_t event, const uint8_t* jpeg, int32_t length) {
    if (!record || event != 1) return 0;
    int32_t id;
    memcpy(&id, (const uint8_t*)record + kCameraIdOffset, sizeof id);
    struct Slot* s = SlotOf(id);
    pthread_mutex_lock(&s->lock);
    if (jpeg && length > 0) {
        uint8_t* copy = realloc(s->jpeg, (size_t)length);
        if (copy) {
            memcpy(copy, jpeg, (size_t)length);
            s->jpeg = copy;
            s->length = length;
        }
    }
    pthread_mutex_unlock(&s->lock);
    atomic_store(&s->lastNs, Now());
    atomic_fetch_add(&s->pictures, 1);
    return 1;
}

/* Pictures with motion so far and the monotonic time of the last one (ns, 0 before any). */
EXPORT int64_t OrbiscopeDemoMotionPictures(int32_t cameraId, int64_t* lastNs) {
    struct Slot* s = SlotOf(cameraId);
    if (lastNs) *lastNs = atomic_load(&s->lastNs);
    return atomic_load(&s->pictures);
}

/* The latest picture with motion (the JPEG bytes as the camera sent them) into out: its
 * length, or 0 when there is none or it does not fit. */
EXPORT int32_t OrbiscopeDemoMotionPicture(int32_t cameraId, uint8_t* out, int32_t size) {
    struct Slot* s = SlotOf(cameraId);
    pthread_mutex_lock(&s->lock);
    const int32_t n = s->length > 0 && s->length <= size && out ? s->length : 0;
    if (n) memcpy(out, s->jpeg, (size_t)n);
    pthread_mutex_unlock(&s->lock);
    return n;
}

/* Now on the clock the times above are on (ns). */
EXPORT int64_t OrbiscopeDemoMotionNow(void) { return Now(); }
