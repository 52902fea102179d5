#include "platform/largefile.h"

#include <sys/types.h>

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

namespace orb::vastio {

FILE* fopen(const char* path, const char* mode) {
    if (!path || !mode || !*path) return nullptr;
    return ::fopen(path, mode);
}

int fclose(FILE* stream) { return stream ? ::fclose(stream) : EOF; }

size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
    return stream ? ::fread(buffer, size, count, stream) : 0;
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) {
    return stream ? ::fwrite(buffer, size, count, stream) : 0;
}

int fseek(FILE* stream, int32_t offset, int origin) { return fseeki64(stream, offset, origin); }

int fseeki64(FILE* stream, int64_t offset, int origin) {
    if (!stream || origin < 0 || origin > 2) return -1;
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return ::fseeko(stream, static_cast<off_t>(offset), kWhence[origin]);
}

int64_t ftelli64(FILE* stream) { return stream ? static_cast<int64_t>(::ftello(stream)) : -1; }

int fflush(FILE* stream) { return stream ? ::fflush(stream) : EOF; }

}  // namespace orb::vastio
