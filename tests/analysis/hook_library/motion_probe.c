/* A user event library for the tests: remembers what it was called with. */
#include <stdint.h>
#include <string.h>

static int32_t g_calls;
static const void* g_record;
static int32_t g_event;
static const uint8_t* g_jpeg;
static int32_t g_length;
static uint8_t g_first[4];

__attribute__((visibility("default"))) int32_t OnMotion(void* record, int32_t event, const uint8_t* jpeg, int32_t length) {
    ++g_calls;
    g_record = record;
    g_event = event;
    g_jpeg = jpeg;
    g_length = length;
    if (jpeg && length >= 4) memcpy(g_first, jpeg, 4);
    return 7;
}

__attribute__((visibility("default"))) int32_t ProbeCalls(const void** record, int32_t* event, const uint8_t** jpeg,
                                                           int32_t* length, uint8_t* first) {
    *record = g_record;
    *event = g_event;
    *jpeg = g_jpeg;
    *length = g_length;
    memcpy(first, g_first, 4);
    return g_calls;
}
