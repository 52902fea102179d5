#include "platform/largefile.h"

#include "platform/private_files.h"

#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

namespace orb::vastio {

FILE* fopen(const char* path, const char* mode) {
    if (!path || !mode || !*path) return nullptr;
    return OpenFile(path, mode);
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

bool pwriteAll(FILE* stream, const Part* parts, int count, int64_t at) {
    if (!stream || at < 0 || count < 0 || count > 8) return false;
    const int fd = ::fileno(stream);
    if (fd < 0) return false;
    iovec iov[8];
    int n = 0;
    for (int i = 0; i < count; ++i)
        if (parts[i].size > 0) iov[n++] = {const_cast<void*>(parts[i].data), parts[i].size};
    int first = 0;
    while (first < n) {
        const ssize_t w = ::pwritev(fd, iov + first, n - first, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;  // a full disk shows here as ENOSPC
        at += w;
        // A short write (a signal, a nearly full disk): go on after the bytes that made it.
        size_t done = static_cast<size_t>(w);
        while (first < n && done >= iov[first].iov_len) done -= iov[first++].iov_len;
        if (first < n) {
            iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + done;
            iov[first].iov_len -= done;
        }
    }
    return true;
}

}  // namespace orb::vastio
