#include "export/export_files.h"

#include <sys/stat.h>

#include <memory>

namespace orb {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool CopyInto(const std::string& source, std::FILE* target) {
    FilePtr in(std::fopen(source.c_str(), "rb"));
    if (!in || !target) return false;
    std::vector<char> chunk(kCopyChunk);
    for (;;) {
        const size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
        if (n > 0 && std::fwrite(chunk.data(), 1, n, target) != n) return false;
        if (n < chunk.size()) return std::ferror(in.get()) == 0;
    }
}

bool CopyFileTo(const std::string& source, const std::string& target) {
    FilePtr out(std::fopen(target.c_str(), "wb+"));
    if (!out) return false;
    const bool copied = CopyInto(source, out.get());
    return std::fclose(out.release()) == 0 && copied;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
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
