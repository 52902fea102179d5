// Backup of recordings and the backup dialog.
#include "record/backup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <memory>

#include "config/root_password.h"
#include "config/settings.h"
#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/largefile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/safe_names.h"
#include "platform/text_case.h"
#include "platform/window.h"
#include "record/player.h"
#include "record/recorder.h"
#include "record/recording_file.h"

namespace orb {

namespace {

std::string CountText(int64_t count) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, count);
    return text;
}

int64_t FileSize(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
}

std::string BaseName(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Opens the target without truncating it first: a target that is the source itself
// (another name for the same file) or a recording the recorder is writing is refused before
// a single byte of it changes.
CopyResult OpenTarget(FILE* source, const std::string& target, vastio::File& out) {
    struct stat from {}, to {};
    if (::fstat(::fileno(source), &from) != 0) return CopyResult::ReadFailed;
    if (IsRecordingOpen(target)) return CopyResult::TargetHeld;
    const int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, PrivateFileMode());
    if (fd < 0) return CopyResult::TargetFailed;
    if (::fstat(fd, &to) != 0 || !S_ISREG(to.st_mode)) {
        ::close(fd);
        return CopyResult::TargetFailed;
    }
    if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
        ::close(fd);
        return CopyResult::SameFile;
    }
    FILE* f = ::ftruncate(fd, 0) == 0 ? ::fdopen(fd, "w+") : nullptr;
    if (!f) {
        ::close(fd);
        return CopyResult::TargetFailed;
    }
    out.f = f;
    return CopyResult::Ok;
}

bool SameFolder(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string FolderOfPath(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
}

}  // namespace

int CopyRecordingFile(BackupJob& job, const std::string& source, const std::string& target) {
    auto fail = [&](CopyResult r) {
        job.lastResult = r;
        job.lastName = BaseName(source);
        return 0;
    };
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kBackupChunk]);
    if (!buffer) return fail(CopyResult::ReadFailed);
    vastio::File in(source.c_str(), "rb");
    if (!in) return fail(CopyResult::SourceMissing);
    vastio::File out;
    if (const CopyResult r = OpenTarget(in.f, target, out); r != CopyResult::Ok) return fail(r);
    // The size at the start: a recording the recorder still appends to is copied as it was.
    if (vastio::fseeki64(in.f, 0, SEEK_END) != 0) return fail(CopyResult::ReadFailed);
    const int64_t size = vastio::ftelli64(in.f);
    if (size < 0 || vastio::fseeki64(in.f, 0, SEEK_SET) != 0) return fail(CopyResult::ReadFailed);
    auto writeChunk = [&](size_t n) {
        errno = 0;
        const size_t written = job.write ? job.write(buffer.get(), n, out.f) : vastio::fwrite(buffer.get(), 1, n, out.f);
        if (written == n) return CopyResult::Ok;
        return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? CopyResult::DiskFull : CopyResult::WriteFailed;
    };
    int64_t remaining = size, copied = 0;
    while (remaining > static_cast<int64_t>(kBackupChunk)) {
        if (vastio::fread(buffer.get(), 1, kBackupChunk, in.f) != kBackupChunk) return fail(CopyResult::ReadFailed);
        if (const CopyResult r = writeChunk(kBackupChunk); r != CopyResult::Ok) return fail(r);
        remaining -= static_cast<int64_t>(kBackupChunk);
        copied += static_cast<int64_t>(kBackupChunk);
        if (job.onBytes) job.onBytes(CountText(copied));
    }
    if (remaining > 0) {
        const size_t n = static_cast<size_t>(remaining);
        if (vastio::fread(buffer.get(), 1, n, in.f) != n) return fail(CopyResult::ReadFailed);
        if (const CopyResult r = writeChunk(n); r != CopyResult::Ok) return fail(r);
        copied += remaining;
    }
    if (job.onBytes) job.onBytes(CountText(copied));
    // Buffered bytes may still fail to reach a full disk: the copy counts only once the
    // target is closed cleanly and holds every byte.
    errno = 0;
    const bool flushed = vastio::fflush(out.f) == 0;
    const int flushErr = errno;
    const bool closed = out.close() == 0;
    if (!flushed || !closed) {
        const bool full = flushErr == ENOSPC || errno == ENOSPC || flushErr == EDQUOT || errno == EDQUOT;
        return fail(full ? CopyResult::DiskFull : CopyResult::WriteFailed);
    }
    if (FileSize(target) != size) return fail(CopyResult::Incomplete);
    job.lastResult = CopyResult::Ok;
    return 1;
}

int CopyRecordings(BackupJob& job, const std::vector<std::string>& sources) {
    int copied = 0;
    const int n = static_cast<int>(sources.size());
    job.kept = 0;
    job.skipped.clear();
    // A backup into a source's own folder would copy a recording onto itself: refused whole.
    for (const std::string& source : sources) {
        if (SameFolder(FolderOfPath(source), job.folder)) {
            job.lastResult = CopyResult::SameFolder;
            job.lastName = BaseName(source);
            return 0;
        }
    }
    for (int i = 0; i < n; ++i) {
        // The name is the recording's own; made plain all the same, and kept in the folder.
        const std::string name = SafeFileName(BaseName(sources[i]));
        if (job.onFile) job.onFile(i * 100 / n, name);
        const std::string target = job.folder + name;
        if (!PathInside(job.folder, target)) {
            job.lastResult = CopyResult::SameFolder;
            job.lastName = name;
            break;
        }
        if (!CopyRecordingFile(job, sources[i], target)) {
            // A target the recorder holds (or the source itself) is left alone and the rest
            // goes on; any other failure stops the backup.
            if (job.lastResult != CopyResult::TargetHeld && job.lastResult != CopyResult::SameFile) break;
            job.skipped.push_back(name);
            job.lastResult = CopyResult::Ok;
            continue;
        }
        ++copied;
        if (job.pumpMessages) job.pumpMessages();
        if (job.move) {
            // The recorder's open file stays where it is; the copy is kept.
            if (IsRecordingOpen(sources[i]))
                ++job.kept;
            else
                ::unlink(sources[i].c_str());
        }
        if (job.stop.exchange(0)) break;
    }
    return copied;
}

std::vector<std::string> ListBackupFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (IsRecordingName(name.c_str()) && FileSize(folder + name) >= 0) names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string BackupListText(const std::string& name) {
    if (name.size() < 12) return name;
    std::string rest = name.substr(12);
    const auto dot = rest.find_last_of('.');
    if (dot != std::string::npos) rest.erase(dot);
    return name.substr(0, 4) + "/" + name.substr(4, 2) + "/" + name.substr(6, 2) + " " + name.substr(8, 2) + ":" +
           name.substr(10, 2) + " -- " + rest;
}

bool BackupPasswordAllowed(void* owner) {
    if (ThePlayer().rootConfirmed) return true;
    if (RunCheckPasswordDialog(owner) != 1) return false;
    ThePlayer().rootConfirmed = true;
    return true;
}

int DeleteBackups(void* owner, const std::string& folder, const std::vector<std::string>& names) {
    if (names.empty()) return 0;
    if (!BackupPasswordAllowed(owner)) return -1;
    int deleted = 0;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        if (::unlink((folder + *it).c_str()) == 0) ++deleted;
    return deleted;
}

std::string BackupFolderSetting() {
    std::string dir = NormaliseSeparators(ReadSetting("Backup", "Dir", "", 260));
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

bool StoreBackupFolder(const std::string& folder) { return WriteSetting("Backup", "Dir", folder); }

std::vector<std::string> BackupPlaybackList() { return ListBackupFolder(BackupFolderSetting()); }

bool PlayBackupItem(PlayerState& p, int item) {
    const auto names = BackupPlaybackList();
    if (!p.frameOpen || item < 0 || item >= static_cast<int>(names.size())) return false;
    const std::string path = BackupFolderSetting() + names[item];
    OpenRecordingFromList(p, path);
    return PlayerDvr(p) && PlayerDvr(p)->source;
}

}  // namespace orb

extern "C" {

int32_t BackupPlay(void* parentWindow) {
    try {
        orb::ThePlayer().backupPlay = true;
        PlayDVR(parentWindow, nullptr);
    } catch (...) {
    }
    return 1;
}

}
