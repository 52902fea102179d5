// Large-file streams: the C stream calls with true 64-bit seek and tell.
#pragma once
#include <cstdint>
#include <cstdio>

namespace orb::vastio {

// Modes as the C runtime takes them: "rb", "rb+", "wb+". "wb+x" creates a new file and
// fails if it already exists, so an existing recording is never truncated.
FILE* fopen(const char* path, const char* mode);
int fclose(FILE* stream);
size_t fread(void* buffer, size_t size, size_t count, FILE* stream);
size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream);
int fseek(FILE* stream, int32_t offset, int origin);
int fseeki64(FILE* stream, int64_t offset, int origin);
int64_t ftelli64(FILE* stream);
int fflush(FILE* stream);
// Writes the parts one after the other at byte offset `at` of the stream's file, straight
// to its descriptor in as few system calls as the kernel allows; the stream must hold no
// buffered output. True when every byte is written.
struct Part {
    const void* data;
    size_t size;
};
bool pwriteAll(FILE* stream, const Part* parts, int count, int64_t at);

// Closes on scope exit.
struct File {
    FILE* f = nullptr;
    File() = default;
    File(const char* path, const char* mode) : f(vastio::fopen(path, mode)) {}
    ~File() { if (f) vastio::fclose(f); }
    File(File&& o) noexcept : f(o.f) { o.f = nullptr; }
    File& operator=(File&& o) noexcept { if (this != &o) { if (f) vastio::fclose(f); f = o.f; o.f = nullptr; } return *this; }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    explicit operator bool() const { return f != nullptr; }
    int close() { int r = f ? vastio::fclose(f) : 0; f = nullptr; return r; }
};

}  // namespace orb::vastio
