#include "export/pack_builder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/config_file.h"
#include "export/export_files.h"
#include "platform/texts.h"
#include "platform/choosers.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/safe_names.h"
#include "platform/spawn.h"
#include "platform/text_case.h"
#include "orbiscope.h"

namespace orb {

constinit PackList g_packList;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kLanguageFileName = "Halo360Web_003906.r";
constexpr const char* kIconName = "360.ico";
// The player is a host of the shipped library: the package carries the library beside it.
constexpr const char* kLibraryName = "liborbiscope.so";
// Width of the size field in the stub, patched once the package is complete.
constexpr size_t kSizeDigits = 16;
constexpr const char* kSizeField = "expected=";

// Position of the extension's dot in the last component, or npos.
size_t ExtensionDot(const std::string& path) {
    const size_t start = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (start != std::string::npos && dot < start)) return std::string::npos;
    return dot;
}

// Relative names are in the library's folder, or, for what the library ships (the text
// resource file), in its data folder.
std::string Resolve(const std::string& path) { return !path.empty() && path[0] == '/' ? path : DataFile(path); }

// The player's file: a path as given, else the library's folder, else $PATH.
std::string PlayerSource(const std::string& player) {
    if (player.find('/') != std::string::npos) return player;
    const std::string inLibrary = LibraryFile(player);
    if (FileExists(inLibrary)) return inLibrary;
    const std::string found = FindProgram(player);
    return found.empty() ? player : found;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

// A text as comment lines of the stub.
std::string Commented(const std::string& text) {
    std::string out = "# ";
    for (const char c : text) {
        if (c == '\n') out += "\n# ";
        else if (c != '\r') out += c;
    }
    return out + "\n";
}

}  // namespace

PackProgress g_packProgress;

namespace {

void Report(const PackOptions& o, int percent, const std::string& step) {
    if (o.progress) o.progress(percent, step);
}

bool KeptByCleanup(const std::string& path) {
    const size_t dot = ExtensionDot(path);
    if (dot == std::string::npos) return false;
    const std::string ext = LowerCase(path.substr(dot));
    return ext == ".set" || ext == ".dll" || ext == ".ico" || ext == ".r" || ext == ".so";
}

// The marker file names the recording or snapshot inside the package.
int AddMarker(PackList& list, const std::string& marker, const std::string& fileName) {
    const std::string path = LibraryFile(marker);
    FilePtr f(OpenFile(path.c_str(), "wb+"));
    if (!f) {
        ++list.copyErrors;
        return 0;
    }
    list.entries.push_back({marker, true});
    return std::fwrite(fileName.data(), 1, fileName.size(), f.get()) == fileName.size() ? 1 : 0;
}

// The recording or snapshot as packed: never with the camera's account and password. A
// fresh copy is blanked in place; a file that was listed as it stands (already in the
// library's folder) is left alone and a blanked copy in a private folder is packed instead.
struct PackedMedia {
    bool ok = true;
    std::string staged;  // the blanked copy to pack, when not the listed file itself
};

PackedMedia WithoutCredentials(const PackList& list, size_t entry) {
    PackedMedia m;
    if (entry >= list.entries.size()) return m;  // not listed: nothing to pack
    const PackEntry& e = list.entries[entry];
    const std::string resolved = Resolve(e.path);
    if (!FileExists(resolved)) return m;
    if (e.removeAfter) {
        m.ok = BlankCredentials(resolved) >= 0;
        return m;
    }
    std::string folder = LibraryFile(".pack-XXXXXX");
    if (!::mkdtemp(folder.data())) {
        m.ok = false;
        return m;
    }
    m.staged = JoinPath(folder, LastComponent(e.path));
    m.ok = CopyFileTo(resolved, m.staged) && BlankCredentials(m.staged) >= 0;
    return m;
}

struct PackKind {
    const char* marker;
    const char* step;
};

int BuildPack(void* owner, const std::string& mediaPath, const std::string& outputPath, const PackOptions& given,
              const PackKind& kind) {
    if (outputPath.empty()) return 0;  // the save dialog was cancelled
    PackOptions o = given;
    if (!o.progress) o.progress = g_packProgress;
    std::string output = outputPath.substr(0, pack::kOutputMax);
    // Every name handed to the tools starts with "/" or "./": never read as an option.
    if (output[0] != '/') output = "./" + output;
    std::remove(output.c_str());

    PackList& list = g_packList;
    list = PackList{};
    list.names = DerivePackNames(output);
    Report(o, 0, "Preparing the package " + list.names.program);
    std::remove(LibraryFile("_" + list.names.baseName + ".exe").c_str());

    const std::string player = PlayerSource(o.player);
    const std::string playerName = LastComponent(player);
    list.entries.push_back({player, false});
    list.entries.push_back({kLanguageFileName, false});
    list.entries.push_back({kIconName, false});
    // The name inside the package is a plain name whatever the file was called.
    const std::string mediaName = SafeFileName(LastComponent(mediaPath));
    Report(o, 10, std::string(kind.step) + " " + mediaName);
    const size_t mediaEntry = list.entries.size();
    AddPackEntry(list, mediaPath, mediaName);
    AddMarker(list, kind.marker, mediaName);
    const PackedMedia media = WithoutCredentials(list, mediaEntry);
    list.entries.push_back({kLibraryName, false});

    // The zip tool's arguments, one word each: a file name never becomes an option or a
    // pattern (-nw: no wildcards; "--": only names follow).
    std::vector<std::string> command = {o.zipProgram, "-9", "-q", "-v", "-j", "-nw", list.names.archive, "--"};
    long long inputBytes = 0;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const PackEntry& e = list.entries[i];
        if (e.path.empty()) continue;
        const std::string resolved = i == mediaEntry && !media.staged.empty() ? media.staged : Resolve(e.path);
        if (!FileExists(resolved)) continue;
        command.push_back(resolved);
        inputBytes += FileSizeOf(resolved);
    }
    Report(o, 30, "Compressing " + std::to_string(list.entries.size()) + " files");
    std::remove(list.names.archive.c_str());  // zip would add to a stale archive
    // zip says nothing while it works: the progress is an estimate from the elapsed time at
    // about 20 MB a second, held below the next step's mark.
    int shown = 30;
    const auto started = std::chrono::steady_clock::now();
    const auto tick = [&] {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double done = inputBytes > 0 ? seconds * 20e6 / static_cast<double>(inputBytes) : 1.0;
        const int percent = 30 + static_cast<int>(39 * (done < 1.0 ? done : 1.0));
        if (percent > shown) {
            shown = percent;
            Report(o, percent, "Compressing");
        }
    };
    if (media.ok)
        RunProgram(command, true, o.toolTimeoutMs, o.progress ? std::function<void()>(tick) : std::function<void()>());
    if (!media.staged.empty()) {
        std::remove(media.staged.c_str());
        ::rmdir(FolderOf(media.staged).c_str());
    }

    bool ok = media.ok && FileExists(list.names.archive);
    if (ok) {
        Report(o, 70, "Building the program " + list.names.program);
        SelfExtractor sfx;
        sfx.zipPath = list.names.archive;
        sfx.programPath = list.names.program;
        sfx.player = playerName;
        sfx.marker = kind.marker;
        sfx.title = FillText(Text(2050), {"Orbiscope "});
        sfx.intro = FillText(Text(2052), {"Orbiscope ", "Orbiscope ", pack::kWebAddress, pack::kMailAddress});
        sfx.website = pack::kWebAddress;
        ok = WriteSelfExtractor(sfx, o);
    }
    list.entries.push_back({list.names.archive, true});

    Report(o, 90, "Cleaning up");
    for (const PackEntry& e : list.entries) {
        if (!e.removeAfter || KeptByCleanup(e.path)) continue;
        const std::string resolved = Resolve(e.path);
        if (FileExists(resolved)) std::remove(resolved.c_str());
    }
    Report(o, 100, ok ? "Package ready: " + list.names.program : "The package could not be built");
    if (ok)
        MessageBox(owner, Text(2054), "OK", kMbOk);
    else
        MessageBox(owner, Text(2055), "", kMbOk | kMbIconError);
    return ok ? 1 : 0;
}

}  // namespace

PackNames DerivePackNames(const std::string& outputPath) {
    PackNames n;
    const size_t dot = ExtensionDot(outputPath);
    const std::string stem = dot == std::string::npos ? outputPath : outputPath.substr(0, dot);
    n.archive = stem + ".zip";
    n.program = stem + ".exe";
    n.baseName = LastComponent(stem);
    return n;
}

int AddPackEntry(PackList& list, const std::string& source, const std::string& target) {
    if (SameTextCaseBlind(source, target)) {
        list.entries.push_back({target, false});
        return 1;
    }
    const std::string targetPath = Resolve(target);
    // The source may already be the target itself, named by its full path.
    if (FileExists(targetPath)) {
        list.entries.push_back({target, false});
        return 1;
    }
    FilePtr out(OpenFile(targetPath.c_str(), "wb+"));
    if (!out) {
        ++list.copyErrors;
        return 0;
    }
    list.entries.push_back({target, true});
    const bool copied = CopyInto(Resolve(source), out.get());
    const bool closed = std::fclose(out.release()) == 0;
    if (copied && closed) return 1;
    ++list.copyErrors;
    return 0;
}

int BuildRecordingPack(void* owner, const std::string& recordingPath, const std::string& outputPath,
                       const PackOptions& options) {
    return BuildPack(owner, recordingPath, outputPath, options, {pack::kRecordingMarker, "Adding the recording"});
}

std::string ChoosePackPath(void* owner) {
    FileRequest r;
    r.save = true;
    r.title = Text(2056);
    r.defaultExtension = "exe";
    r.filters = {{"Windows Exe File", "*.exe"}};
    return ChooseFile(static_cast<HWND>(owner), r);
}

int BuildSnapshotPack(void* owner, const std::string& snapshotPath, const std::string& outputPath,
                      const PackOptions& options) {
    return BuildPack(owner, snapshotPath, outputPath, options, {pack::kSnapshotMarker, "Adding the snapshot"});
}

ExportCameraDialog OpenExportCameraDialog(void* owner) {
    std::vector<ListedCamera> cameras;
    ListCameras(cameras, owner);
    ExportCameraDialog d;
    for (const ListedCamera& c : cameras) d.locations.push_back(c.location);
    d.chosen.assign(d.locations.size(), false);
    return d;
}

void ExportCameraToggle(ExportCameraDialog& d, int entry) {
    if (entry >= 0 && entry < static_cast<int>(d.chosen.size())) d.chosen[entry] = !d.chosen[entry];
}

int ExportCameraBuild(void* owner, const ExportCameraDialog& d, const std::string& outputPath) {
    g_exportSelection.clear();
    for (size_t i = 0; i < d.chosen.size(); ++i)
        if (d.chosen[i]) g_exportSelection.push_back(static_cast<int>(i));
    return BuildPackInfo(owner, outputPath.c_str());
}

std::string SelfExtractorStub(const SelfExtractor& sfx) {
    std::string s = "#!/bin/sh\n";
    s += Commented(sfx.title);
    s += Commented(sfx.intro);
    s += "# " + sfx.website + "\n";
    s += "# A shell stub followed by a zip archive: it unpacks the archive into a new temporary\n"
         "# folder and starts the player there on the packed file.\n";
    s += std::string(kSizeField) + std::string(kSizeDigits, '0') + "\n";
    s += "player=" + ShellQuote(sfx.player) + "\n";
    s += "marker=" + ShellQuote(sfx.marker) + "\n";
    s += "prefix=" + ShellQuote(sfx.folderPrefix) + "\n";
    s += R"SH(expected=$(echo "$expected" | sed 's/^0*//')
self=$0
case $self in */*) ;; *) self=$(command -v -- "$self") ;; esac
actual=$(wc -c < "$self" 2>/dev/null | tr -d ' ')
if [ -z "$actual" ] || [ "$actual" != "$expected" ]; then
  echo "$0: the package is truncated or damaged (${actual:-0} of ${expected:-0} bytes); nothing was unpacked." >&2
  exit 3
fi
if ! command -v unzip >/dev/null 2>&1; then
  echo "$0: unpacking needs the program unzip, which is not installed." >&2
  exit 4
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/$prefix.XXXXXX") || {
  echo "$0: no temporary folder could be created." >&2
  exit 5
}
trap 'rm -rf "$dir"' EXIT
trap 'exit 130' HUP INT TERM
if ! unzip -qq -o "$self" -d "$dir" >/dev/null 2>&1; then
  echo "$0: the package is damaged: its archive cannot be unpacked." >&2
  exit 3
fi
name=$(cat "$dir/$marker" 2>/dev/null)
if [ -z "$name" ] || [ ! -f "$dir/$name" ]; then
  echo "$0: the package holds no file to play." >&2
  exit 6
fi
[ -x "$dir/$player" ] || chmod +x "$dir/$player" 2>/dev/null
ORBISCOPE_HOME=$dir "$dir/$player" "$dir/$name" "$@"
status=$?
if [ "$status" -eq 126 ] || [ "$status" -eq 127 ]; then
  echo "$0: the player $player could not be started." >&2
fi
exit $status
)SH";
    return s;
}

bool WriteSelfExtractor(const SelfExtractor& sfx, const PackOptions& options) {
    const std::string stub = SelfExtractorStub(sfx);
    {
        FilePtr out(OpenFile(sfx.programPath.c_str(), "wb+"));
        if (!out) return false;
        if (std::fwrite(stub.data(), 1, stub.size(), out.get()) != stub.size()) return false;
        if (!CopyInto(sfx.zipPath, out.get())) return false;
        if (std::fclose(out.release()) != 0) return false;
    }
    // The archive now starts after the stub: let zip shift its offsets.
    const SpawnResult fix =
        RunProgram({options.zipProgram, "-q", "-A", sfx.programPath}, true, options.toolTimeoutMs);
    if (!fix.succeeded()) return false;
    const long long size = FileSizeOf(sfx.programPath);
    if (size <= 0) return false;
    char digits[24];
    std::snprintf(digits, sizeof digits, "%0*lld", static_cast<int>(kSizeDigits), size);
    const size_t at = stub.find(kSizeField) + std::strlen(kSizeField);
    {
        FilePtr f(OpenFile(sfx.programPath.c_str(), "rb+"));
        if (!f || std::fseek(f.get(), static_cast<long>(at), SEEK_SET) != 0) return false;
        if (std::fwrite(digits, 1, kSizeDigits, f.get()) != kSizeDigits) return false;
        if (std::fclose(f.release()) != 0) return false;
    }
    return ::chmod(sfx.programPath.c_str(), 0755) == 0;
}

}  // namespace orb
