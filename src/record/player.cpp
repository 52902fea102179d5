#include "record/player.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "config/root_password.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "platform/texts.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "record/backup.h"
#include "record/recording_source.h"

namespace orb {

PlayerState& ThePlayer() {
    static auto* v = new PlayerState;
    return *v;
}

namespace {

constexpr unsigned kMbIconStop = kMbIconError;
constexpr unsigned kMbTaskModal = 0x2000;
constexpr int kSpeedWait[5] = {0, 100, 200, 400, 1000};
// Speed menu items, speed 0 to 4.
constexpr int kSpeedCommands[5] = {2750, 2751, 111, 2760, 2761};
// How long a play step waits at most for a frame being decoded before the window's messages
// are handled again.
constexpr int kPendingWait = 20;

void Status(PlayerState& p, int line, const std::string& text) {
    p.status.push_back({line, text});
    if (p.status.size() > 200) p.status.erase(p.status.begin());
    ShowViewStatus(p.view.get(), line, text);
}

void Wait(PlayerState& p, int ms) {
    p.waits.push_back(ms);
    if (p.waits.size() > 200) p.waits.erase(p.waits.begin());
    if (ms > 0) SleepFor(ms);
}

void DropPicture(PlayerState& p) {
    if (p.picture) DestroyDIB(p.picture);
    p.picture = nullptr;
    p.width = p.height = p.rowBytes = 0;
    p.pictureScale = 1;
}

int32_t Clamp(int64_t v, int32_t count) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::max(count - 1, 0)));
}

void FormatTime(PlayerState& p, const SystemTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    p.timeText = text;
}

std::vector<DvrNode*> FreshCatalogue(PlayerState* p = nullptr) {
    BuildCatalogue();
    std::vector<DvrNode*> nodes = CatalogueNodes();
    if (p && p->looseNode) nodes.insert(nodes.begin(), p->looseNode.get());
    return nodes;
}

int IndexOfName(const PlayerState& p, const std::vector<DvrNode*>& list, const char* fileName) {
    if (!fileName) return -1;
    for (size_t i = 0; i < list.size(); ++i)
        if (std::strcmp(list[i]->name, fileName) == 0 || PlayerNodePath(p, list[i]) == fileName)
            return static_cast<int>(i);
    // A path spelled otherwise than the storage folder's: its file name decides.
    const char* slash = std::strrchr(fileName, '/');
    if (!slash) return -1;
    for (size_t i = 0; i < list.size(); ++i)
        if (std::strcmp(list[i]->name, slash + 1) == 0) return static_cast<int>(i);
    return -1;
}

// A file named by path that no storage folder lists becomes the loose recording.
void TakeLooseRecording(PlayerState& p, const char* fileName) {
    p.looseNode.reset();
    p.loosePath.clear();
    if (!fileName || !std::strchr(fileName, '/')) return;
    struct stat st{};
    if (stat(fileName, &st) != 0 || !S_ISREG(st.st_mode)) return;
    char* real = realpath(fileName, nullptr);
    const std::string wanted = real ? real : fileName;
    free(real);
    BuildCatalogue();
    for (DvrNode* n : CatalogueNodes()) {
        char* listed = realpath(CataloguePath(n).c_str(), nullptr);
        const bool same = listed && wanted == listed;
        free(listed);
        if (same) return;
    }
    p.looseNode = std::make_unique<DvrNode>();
    p.looseNode->entry = -1;
    const char* base = std::strrchr(fileName, '/') + 1;
    std::snprintf(p.looseNode->name, sizeof p.looseNode->name, "%s", base);
    p.loosePath = fileName;
}

}  // namespace

DvrContext* PlayerDvr(PlayerState& p) { return p.view ? p.view->recording.dvr.get() : nullptr; }

std::string PlayerNodePath(const PlayerState& p, const DvrNode* node) {
    if (node && node == p.looseNode.get()) return p.loosePath;
    return node ? CataloguePath(node) : std::string();
}

std::string PlayerNodeText(const PlayerState& p, const DvrNode* node) {
    if (!node) return {};
    return node == p.looseNode.get() ? std::string(node->name) : CatalogueText(node->name);
}

bool OpenPlayerFrame(PlayerState& p, void* parent, const char* fileName) {
    if (p.frameOpen) return false;  // only one player: the caller beeps
    TakeLooseRecording(p, fileName);
    p.playlist = FreshCatalogue(&p);
    // Backup play may find its recordings in the backup folder alone.
    if (p.playlist.empty() && !(p.backupPlay && !BackupPlaybackList().empty())) {
        MessageBox(parent, "No DVR File Found !!!", "", kMbOk);
        return false;
    }
    p.frame = p.createFrame ? p.createFrame(parent) : &p;
    if (!p.frame) return false;
    p.frameOpen = true;
    p.rootConfirmed = false;
    p.paused = false;
    p.status.clear();
    p.view = std::make_unique<RecordView>();
    p.view->ui.kind = kViewKindPlayback;
    StartRecordingContext(p.view.get());
    const int named = IndexOfName(p, p.playlist, fileName);
    p.selected = named >= 0 ? named : 0;
    return true;
}

void ClosePlayerFrame(PlayerState& p) {
    if (!p.frameOpen) return;
    CloseManagement(p);
    if (p.destroyFrame) p.destroyFrame(p.frame);
    p.frameOpen = false;
    p.frame = nullptr;
    p.backupPlay = false;
    p.openPath.clear();
    DropPicture(p);
    p.view.reset();
    p.playlist.clear();
    p.selected = -1;
}

void SetBarPosition(PlayerState& p) {
    const DvrContext* dvr = PlayerDvr(p);
    if (!dvr) return;
    const int32_t count = dvr->frameCount;
    if (count > 32000) {
        p.barMin = 0, p.barMax = (count >> 4) - 1, p.barPos = dvr->current >> 4;
    } else {
        p.barMin = 0, p.barMax = count - 1, p.barPos = dvr->current;
    }
}

bool OpenPlayerRecording(PlayerState& p, const std::string& path, bool inPlace) {
    DvrContext* dvr = PlayerDvr(p);
    if (!dvr) return false;
    // The record goes back through the read stream: recordings are never changed by the
    // player, so this write does not land.
    if (dvr->source) dvr->source->WriteBackRecord(p.view->record);
    dvr->source.reset();
    dvr->pending = -1;
    dvr->current = 0;
    dvr->shown = -1;
    std::unique_ptr<RecordingSource> source;
    const OpenResult r = OpenRecordingSource(path, source, &p.view->record);
    dvr->source = std::move(source);
    dvr->path = r == OpenResult::Ok ? path : std::string();
    if (r != OpenResult::Ok) {
        if (r == OpenResult::Missing) {
            Status(p, -1, kOpenFailed);
        } else if (r != OpenResult::OpenFailed) {
            if (*OpenResultMessage(r)) Status(p, -2, OpenResultMessage(r));
            Status(p, -2, kOpenFailedClosed);
        }
        return false;
    }
    p.paused = false;
    p.openPath = path;
    dvr->step = 1;
    if (inPlace) {
        const int32_t count = dvr->source->FrameCount();
        dvr->frameCount = count;
        SystemTime first{};
        if (count > 0 && dvr->source->FrameTime(0, first)) {
            dvr->shown = 0;
            dvr->current = dvr->step;
            FormatTime(p, first);
        }
        p.barMin = 0, p.barMax = count - 1, p.barPos = 0;
    }
    DropPicture(p);
    if (p.resetView) p.resetView(p.view.get(), p.view->record.sourceWidth, p.view->record.sourceHeight);
    return true;
}

void OpenRecordingFromList(PlayerState& p, const std::string& path) {
    if (p.loopRunning) {
        OpenPlayerRecording(p, path, true);
        return;
    }
    if (!OpenPlayerRecording(p, path, false)) {
        Status(p, -2, path);
        Status(p, -1, kOpenFailed);
        return;
    }
    RunPlayLoop(p);
}

int RunPlayLoop(PlayerState& p) {
    if (p.loopRunning) return 0;
    p.loopRunning = true;
    while (p.frameOpen) {
        if (p.pumpMessages) p.pumpMessages();
        if (!p.frameOpen) break;
        // A frame still being decoded is waited for while paused too (a single step).
        const DvrContext* dvr = PlayerDvr(p);
        if (!p.paused || (dvr && (dvr->pending >= 0 || dvr->awaitingCount)))
            PlayStep(p);
        else
            Wait(p, 100);
    }
    p.loopRunning = false;
    return 0;
}

int PlayStep(PlayerState& p) {
    if (!p.frameOpen) return 0;
    DvrContext* dvr = PlayerDvr(p);
    auto fail = [&p](const char* text) {
        Status(p, -1, text);
        Wait(p, 1000);
        return 0;
    };
    if (!dvr) return fail("LPDVR Not Create !");
    if (!dvr->source) return fail("DVR File Not Open Yet !!");
    RecordingSource& source = *dvr->source;
    source.decodeScale = p.decodeScale ? p.decodeScale() : 1;
    const int32_t count = source.FrameCount();
    dvr->frameCount = count;
    if (count <= 0) return fail("DVR file has no Image !");
    dvr->loadedSize = -1;
    dvr->awaitingCount = false;
    bool loaded = false;
    FrameFetch fetched = FrameFetch::Pending;
    HDIB pic = nullptr;
    SystemTime time{};
    if (dvr->pending >= 0) {
        // The frame asked for at the last step: ready now?
        fetched = source.Fetch(dvr->pending, dvr->step, pic, time);
        loaded = fetched != FrameFetch::Pending;
    } else if (dvr->current != dvr->shown) {
        if (dvr->current >= count && source.Counting()) {
            // A video file is still being looked through: its frames are counted in a moment.
            source.AwaitCount(dvr->current + 1, kPendingWait);
            dvr->awaitingCount = true;
            return 1;
        }
        if (dvr->current >= count) {
            dvr->current = count - 1;
            // Play that went on while the file was counted stops at its last frame.
            if (std::exchange(dvr->pastCount, false) && dvr->current == dvr->shown) return 1;
            Status(p, -1, "Frame Image Read Failed !");
            return 0;
        }
        dvr->shown = dvr->current;
        // While a video file is counted, play goes on past the frames counted so far.
        const bool counting = source.Counting();
        const int64_t next = static_cast<int64_t>(dvr->current) + dvr->step;
        dvr->current = counting ? static_cast<int32_t>(std::max<int64_t>(next, 0)) : Clamp(next, count);
        dvr->pastCount = counting && dvr->current >= count;
        fetched = source.Fetch(dvr->shown, dvr->step, pic, time);
        if (fetched == FrameFetch::ReadFailed) {
            Status(p, -1, "Frame Image Read Failed !");
            return 0;
        }
        FormatTime(p, time);
        loaded = fetched != FrameFetch::Pending;
        // Decoded on the source's own thread: the window waits only a moment at a time.
        if (!loaded) dvr->pending = dvr->shown;
    }
    SetBarPosition(p);
    if (!loaded && dvr->pending >= 0) {
        source.AwaitFetch(kPendingWait);
        return 1;
    }
    dvr->pending = -1;
    if (loaded) {
        if (fetched != FrameFetch::Ready || !pic) {
            DestroyDIB(pic);
            Status(p, 0, Text(1003));
        } else {
            DropPicture(p);
            p.picture = pic;
            // Decoded at what the player's view shows of it; the frame stays whole in the file.
            p.pictureScale = std::max(1, source.fetchedScale);
            DibLock lock(pic);
            p.width = lock.width() * p.pictureScale;  // the picture as the camera sent it
            p.height = lock.height() * p.pictureScale;
            p.rowBytes = (lock.width() * 24 + 31) / 32 * 4;
            if ((p.view->record.zoneStyle & 1) && p.applyZones) p.applyZones(p.view.get(), pic, p.pictureScale);
            if (p.present) p.present(p.view.get(), pic);
        }
    }
    Wait(p, loaded ? kSpeedWait[std::clamp(g_lib.speed, 0, 4)] : 300);
    return 1;
}

void PlayerCommand(PlayerState& p, int command) {
    DvrContext* dvr = PlayerDvr(p);
    const int32_t count = dvr ? dvr->frameCount : 0;
    switch (command) {
        case 1701:
            if (dvr) dvr->step = 1;
            p.paused = false;
            return;
        case 1606: p.paused = true; return;
        case 1601:
            p.paused = true;
            if (!dvr) return;
            dvr->pending = -1;  // a step while one is decoded goes on from it
            dvr->step = 1;
            // Not while a video file is still counted: its count is about to grow.
            if (dvr->current >= count && !(dvr->source && dvr->source->Counting())) dvr->current = count - 1;
            PlayStep(p);
            return;
        case 1602:
            p.paused = true;
            if (!dvr) return;
            dvr->pending = -1;
            dvr->step = -1;
            if (dvr->current < 0) dvr->current = 0;
            PlayStep(p);
            return;
        case 1604:
            p.paused = false;
            if (dvr) dvr->step = dvr->step <= 0 ? 1 : std::min(dvr->step + 1, 5);
            return;
        case 1605:
            p.paused = false;
            if (dvr) dvr->step = dvr->step > 0 ? -1 : std::max(dvr->step - 1, -5);
            return;
        case 1603:
            if (p.managementOpen)
                CloseManagement(p);
            else
                OpenManagement(p, nullptr, true);
            return;
        case 907: ClosePlayerFrame(p); return;
        case 1080:
            g_lib.mouseInvert = !g_lib.mouseInvert;
            WriteMouseInvert(g_lib.mouseInvert);
            return;
        case 1900: g_lib.showTime = !g_lib.showTime; return;
        case 1901: g_lib.showLocation = !g_lib.showLocation; return;
        default: break;
    }
    for (int speed = 0; speed < 5; ++speed)
        if (command == kSpeedCommands[speed]) {
            g_lib.speed = speed;
            WriteSettingInt("DVR", "Speed", speed);
        }
}

void PlayerScroll(PlayerState& p, ScrollRequest request, int position) {
    DvrContext* dvr = PlayerDvr(p);
    if (!dvr) return;
    const int32_t count = dvr->frameCount;
    const int64_t step = std::abs(dvr->step);
    int64_t c = dvr->current;
    switch (request) {
        case ScrollRequest::LineLeft: c -= 2 * step; break;
        case ScrollRequest::LineRight: c += step; break;
        case ScrollRequest::PageLeft: c -= 13; break;
        case ScrollRequest::PageRight: c += 12; break;
        case ScrollRequest::Thumb: c = count > 32000 ? static_cast<int64_t>(position) * 16 : position; break;
        case ScrollRequest::Top: c = 0; break;
        case ScrollRequest::Bottom: c = count - 1; break;
    }
    dvr->current = Clamp(c, count);
    SetBarPosition(p);
}

bool OpenManagement(PlayerState& p, const char* fileName, bool openSelected) {
    p.managementList = FreshCatalogue(&p);
    if (p.managementList.empty()) {
        MessageBox(p.frame, Text(2311), "", kMbOk | kMbIconStop | kMbTaskModal);
        ClosePlayerFrame(p);
        return false;
    }
    p.managementOpen = true;
    // The playlist shows the same nodes; the new catalogue replaced the old ones.
    p.playlist = p.managementList;
    const int named = IndexOfName(p, p.managementList, fileName);
    p.selected = named >= 0 ? named : std::clamp(p.selected, 0, static_cast<int>(p.managementList.size()) - 1);
    if (p.showManagement) p.showManagement(p);
    if (openSelected) ManagementChoose(p, p.selected);
    return true;
}

void CloseManagement(PlayerState& p) {
    const bool wasOpen = p.managementOpen;
    p.managementOpen = false;
    p.managementList.clear();
    if (wasOpen && p.hideManagement) p.hideManagement(p);
}

void ManagementChoose(PlayerState& p, int item) {
    if (item < 0 || item >= static_cast<int>(p.managementList.size())) return;
    p.selected = item;
    OpenRecordingFromList(p, PlayerNodePath(p, p.managementList[item]));
}

int ManagementDelete(PlayerState& p, std::vector<int> selected) {
    if (g_lib.callerId == 1 || g_lib.callerId == 2) return -1;
    auto& list = p.managementList;
    std::sort(selected.begin(), selected.end());
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [&list](int i) { return i < 0 || i >= static_cast<int>(list.size()); }),
                   selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    if (selected.empty()) return 0;
    if (!p.rootConfirmed) {
        if (RunCheckPasswordDialog(p.frame) != 1) return -1;
        p.rootConfirmed = true;
    }
    const int first = selected.front(), last = selected.back();
    if (first == 0) {
        if (last + 1 < static_cast<int>(list.size())) ManagementChoose(p, last + 1);
    } else {
        ManagementChoose(p, first - 1);
    }
    int deleted = 0;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        DvrNode* node = list[*it];
        const std::string path = PlayerNodePath(p, node);
        struct stat st{};
        if (stat(path.c_str(), &st) != 0) continue;
        // A file the recorder is appending to stays.
        if (IsRecordingOpen(path)) {
            MessageBox(p.frame, Text(2591), "", kMbOk | kMbIconWarning);
            continue;
        }
        if (unlink(path.c_str()) != 0) continue;
        p.playlist.erase(std::remove(p.playlist.begin(), p.playlist.end(), node), p.playlist.end());
        list.erase(list.begin() + *it);
        if (node == p.looseNode.get()) {
            p.looseNode.reset();
            p.loosePath.clear();
        } else {
            UnlinkCatalogueNode(node);
        }
        ++deleted;
    }
    p.selected = first == 0 ? 0 : first - 1;
    list = CatalogueNodes();
    if (p.looseNode) list.insert(list.begin(), p.looseNode.get());
    p.playlist = list;
    if (!list.empty()) {
        p.selected = std::min(p.selected, static_cast<int>(list.size()) - 1);
        ManagementChoose(p, p.selected);
    }
    return deleted;
}

}  // namespace orb

extern "C" {

void* PlayDVR(void* parentWindow, const char* fileName) {
    using namespace orb;
    if (!ThePlayer().createFrame) {
        // Without a window layer there is no frame to play in; the catalogue is still
        // checked so the user hears about an empty one.
        if (FreshCatalogue().empty()) MessageBox(parentWindow, "No DVR File Found !!!", "", kMbOk);
        return nullptr;
    }
    if (ThePlayer().frameOpen) {
        ThePlayer().beeps++;
        return nullptr;
    }
    PlayerState& p = ThePlayer();
    p.packDisabled = fileName != nullptr;
    if (!OpenPlayerFrame(p, parentWindow, fileName)) {
        p.backupPlay = false;
        return nullptr;
    }
    void* frame = p.frame;
    if (p.backupPlay) {
        // The backup folder's list takes the management dialog's place; its first
        // recording plays.
        if (p.showPlayback) p.showPlayback(p);
        const std::vector<std::string> backups = BackupPlaybackList();
        if (!backups.empty()) {
            OpenRecordingFromList(p, BackupFolderSetting() + backups.front());
            return p.frameOpen ? frame : nullptr;
        }
    }
    if (fileName && !OpenManagement(ThePlayer(), fileName, false)) return nullptr;
    if (ThePlayer().selected >= 0 && ThePlayer().selected < static_cast<int>(ThePlayer().playlist.size()))
        OpenRecordingFromList(ThePlayer(), PlayerNodePath(ThePlayer(), ThePlayer().playlist[ThePlayer().selected]));
    // Back after the player closed (0), or with the frame when the first open failed.
    return ThePlayer().frameOpen ? frame : nullptr;
}

void* DVRManagement(void* parentWindow) {
    using namespace orb;
    if (!ThePlayer().createFrame) {
        if (FreshCatalogue().empty()) MessageBox(parentWindow, "No DVR File Found !!!", "", kMbOk);
        return nullptr;
    }
    ThePlayer().packDisabled = false;
    if (!OpenPlayerFrame(ThePlayer(), parentWindow, nullptr)) return nullptr;
    if (!OpenManagement(ThePlayer(), nullptr, false)) return nullptr;
    OpenPlayerRecording(ThePlayer(), PlayerNodePath(ThePlayer(), ThePlayer().managementList[ThePlayer().selected]), true);
    return ThePlayer().frameOpen ? ThePlayer().frame : nullptr;
}

void* ImportDVRInfo(void) { return orb::BuildCatalogue(); }

}
