#include "ui/backup_dialog.h"

#include <string>
#include <vector>

#include "orbiscope.h"
#include "platform/choosers.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/texts.h"
#include "platform/window.h"
#include "record/backup.h"
#include "record/recorder.h"

namespace orb {

namespace {

constexpr int kProgressBar = 1300, kByteCount = 1301, kFileName = 1302, kDeleteButton = 1303, kTargetList = 1304,
              kSourceList = 1305, kFolderText = 1306, kBrowse = 1307, kProgressLabel = 1308, kMoveCheck = 1309,
              kSelectAll = 930;

struct BackupDialog;
// One backup dialog at a time (it is modal); the stop dialog belongs to its copy.
BackupDialog* g_dialog = nullptr;

struct BackupDialog {
    std::vector<DvrNode*> sources;
    std::vector<int> chosen;  // source list items chosen for the copy
    std::vector<std::string> targets;
    std::string folder;
    bool move = false;
    HWND stopDialog = nullptr;
    BackupJob* job = nullptr;
};

void ShowProgress(HWND dlg, bool show) {
    for (int id : {kProgressLabel, kProgressBar, kByteCount, kFileName})
        ShowWindow(GetDlgItem(dlg, id), show ? SW_SHOW : SW_HIDE);
}

void FillSources(HWND dlg, BackupDialog& d) {
    d.sources = CatalogueNodes();
    ListReset(dlg, kSourceList);
    for (DvrNode* node : d.sources) ListAddString(dlg, kSourceList, CatalogueText(node->name));
    d.chosen.clear();
    EnableWindow(GetDlgItem(dlg, IDOK), false);
}

void FillTargets(HWND dlg, BackupDialog& d) {
    d.targets = ListBackupFolder(d.folder);
    ListReset(dlg, kTargetList);
    for (const auto& name : d.targets) ListAddString(dlg, kTargetList, BackupListText(name));
    EnableWindow(GetDlgItem(dlg, kDeleteButton), false);
}

LRESULT StopProc(HWND dlg, uint32_t msg, WPARAM w, LPARAM) {
    if (msg == WM_COMMAND && (LoWord(w) == IDCANCEL || LoWord(w) == IDOK)) {
        if (g_dialog && g_dialog->job) g_dialog->job->stop = 1;
        if (g_dialog) g_dialog->stopDialog = nullptr;
        DestroyWindow(dlg);
        return 1;
    }
    return 0;
}

void CopyChosen(HWND dlg, BackupDialog& d) {
    if (d.chosen.empty() || d.folder.empty()) return;
    if (d.move && !BackupPasswordAllowed(dlg)) return;
    ShowProgress(dlg, true);
    BackupJob job;
    job.folder = d.folder;
    job.move = d.move;
    d.job = &job;
    d.stopDialog = CreateDialog("Stop", dlg, StopProc, 0);
    EnableWindow(dlg, false);
    SliderSetRange(dlg, kProgressBar, 0, 100);
    job.onFile = [dlg](int percent, const std::string& name) {
        ProgressSetPos(dlg, kProgressBar, percent);
        SetDlgItemText(dlg, kFileName, name);
    };
    job.onBytes = [dlg](const std::string& count) { SetDlgItemText(dlg, kByteCount, count); };
    job.pumpMessages = [] { PumpMessages(); };
    std::vector<std::string> paths;
    for (int item : d.chosen)
        if (item >= 0 && item < static_cast<int>(d.sources.size())) paths.push_back(CataloguePath(d.sources[item]));
    const int copied = CopyRecordings(job, paths);
    EnableWindow(dlg, true);
    ShowProgress(dlg, false);
    if (d.stopDialog && IsWindow(d.stopDialog)) DestroyWindow(d.stopDialog);
    d.stopDialog = nullptr;
    d.job = nullptr;
    if (job.lastResult == CopyResult::SameFolder) {
        MessageBox(dlg, kBackupSameFolderText, "", kMbOk | kMbIconError);
    } else if (copied < static_cast<int>(paths.size()) && job.lastResult != CopyResult::Ok) {
        // The sources stay where they are; the user hears which file stopped the backup.
        const int text = job.lastResult == CopyResult::DiskFull ? 2331 : 2332;
        MessageBox(dlg, Text(text) + "\n" + job.lastName, "", kMbOk | kMbIconError);
    } else if (!job.skipped.empty()) {
        std::string names;
        for (const std::string& name : job.skipped) names += "\n" + name;
        MessageBox(dlg, kBackupSkippedText + names, "", kMbOk | kMbIconWarning);
    } else if (job.kept > 0) {
        MessageBox(dlg, Text(2333), "", kMbOk | kMbIconWarning);
    }
    BuildCatalogue();
    FillTargets(dlg, d);
    FillSources(dlg, d);
}

LRESULT BackupProc(HWND dlg, uint32_t msg, WPARAM w, LPARAM l) {
    BackupDialog* d = g_dialog;
    if (msg == WM_INITDIALOG) {
        d = g_dialog = reinterpret_cast<BackupDialog*>(l);
        BuildCatalogue();
        FillSources(dlg, *d);
        ShowProgress(dlg, false);
        d->move = false;
        CheckDlgButton(dlg, kMoveCheck, false);
        d->folder = BackupFolderSetting();
        SetDlgItemText(dlg, kFolderText, d->folder);
        FillTargets(dlg, *d);
        return 1;
    }
    if (msg != WM_COMMAND || !d) return 0;
    const int id = static_cast<int>(LoWord(w));
    switch (id) {
        case kSourceList:
            // Every chosen item of the list is copied; 930 chooses all.
            d->chosen = ListGetSelectedItems(dlg, kSourceList);
            EnableWindow(GetDlgItem(dlg, IDOK), !d->chosen.empty());
            return 1;
        case kSelectAll:
            d->chosen.clear();
            for (int i = 0; i < static_cast<int>(d->sources.size()); ++i) {
                d->chosen.push_back(i);
                ListSetItemSelected(dlg, kSourceList, i, true);
            }
            EnableWindow(GetDlgItem(dlg, IDOK), !d->chosen.empty());
            return 1;
        case kTargetList:
            EnableWindow(GetDlgItem(dlg, kDeleteButton), !ListGetSelectedItems(dlg, kTargetList).empty());
            return 1;
        case kBrowse: {
            const std::string chosen = ChooseFolder(dlg, Text(2306), d->folder);
            if (!chosen.empty()) {
                std::string folder = NormaliseSeparators(chosen).substr(0, 258);
                if (folder.back() != '/') folder += '/';
                d->folder = folder;
                SetDlgItemText(dlg, kFolderText, folder);
                FillTargets(dlg, *d);
                if (!StoreBackupFolder(folder)) MessageBox(dlg, kFolderNotKeptText, "", kMbOk | kMbIconWarning);
            }
            return 1;
        }
        case kMoveCheck:
            d->move = IsDlgButtonChecked(dlg, kMoveCheck);
            return 1;
        case IDOK:
            CopyChosen(dlg, *d);
            return 1;
        case kDeleteButton: {
            std::vector<std::string> names;
            for (int sel : ListGetSelectedItems(dlg, kTargetList))
                if (sel >= 0 && sel < static_cast<int>(d->targets.size())) names.push_back(d->targets[sel]);
            if (!names.empty()) DeleteBackups(dlg, d->folder, names);
            FillTargets(dlg, *d);
            return 1;
        }
        case IDCANCEL:
            EndDialog(dlg, 1);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

int RunBackupDialog(void* owner) {
    BackupDialog d;
    BackupDialog* outer = g_dialog;
    DialogBox("Backup", static_cast<HWND>(owner), BackupProc, reinterpret_cast<LPARAM>(&d));
    g_dialog = outer;
    return 1;
}

}  // namespace orb

extern "C" int32_t Backup(void* parentWindow) {
    try {
        return orb::RunBackupDialog(parentWindow);
    } catch (...) {
        return 1;
    }
}
