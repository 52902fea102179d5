#include "export/export_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "config/camera_record.h"
#include "platform/private_files.h"

namespace orb {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool CopyInto(const std::string& source, std::FILE* target) {
    FilePtr in(OpenFile(source.c_str(), "rb"));
    if (!in || !target) return false;
    std::vector<char> chunk(kCopyChunk);
    for (;;) {
        const size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
        if (n > 0 && std::fwrite(chunk.data(), 1, n, target) != n) return false;
        if (n < chunk.size()) return std::ferror(in.get()) == 0;
    }
}

bool CopyFileTo(const std::string& source, const std::string& target) {
    FilePtr out(OpenFile(target.c_str(), "wb+"));
    if (!out) return false;
    const bool copied = CopyInto(source, out.get());
    return std::fclose(out.release()) == 0 && copied;
}

namespace {
// The account and password of a record that starts at recordAt in the file, zeroed.
bool ZeroCredentials(int fd, long long recordAt) {
    const char zeros[sizeof(CameraRecord::account) + sizeof(CameraRecord::password)] = {};
    const auto put = [&](size_t field, size_t size) {
        return ::pwrite(fd, zeros, size, static_cast<off_t>(recordAt + static_cast<long long>(field))) ==
               static_cast<ssize_t>(size);
    };
    return put(offsetof(CameraRecord, account), sizeof(CameraRecord::account)) &&
           put(offsetof(CameraRecord, password), sizeof(CameraRecord::password));
}
}  // namespace

int BlankCredentials(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    int result = 0;
    char head[9] = {};
    constexpr long long kRecordingRecordAt = 44;
    constexpr long long kTrailer = 9 + static_cast<long long>(sizeof(CameraRecord));
    if (::fstat(fd, &st) != 0) {
        result = -1;
    } else if (st.st_size >= kRecordingRecordAt + static_cast<long long>(sizeof(CameraRecord)) &&
               ::pread(fd, head, 9, 0) == 9 && std::memcmp(head, "ORBISCOPE", 9) == 0) {
        result = ZeroCredentials(fd, kRecordingRecordAt) ? 1 : -1;
    } else if (st.st_size >= kTrailer && ::pread(fd, head, 9, st.st_size - kTrailer) == 9 &&
               std::memcmp(head, "Orbiscope", 9) == 0) {
        result = ZeroCredentials(fd, st.st_size - kTrailer + 9) ? 1 : -1;
    }
    if (::close(fd) != 0) result = -1;
    return result;
}

long long FileSizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::string LastComponent(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string FillText(const std::string& text, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace orb
