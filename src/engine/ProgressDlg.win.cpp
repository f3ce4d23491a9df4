#include "engine/ProgressDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "engine/EngineIds.h"
#include "engine/InstallSteps.h"
#include "engine/ReplaceDiskDlg.h"
#include "fw/App.h"
#include "fw/File.h"
#include "fw/Handles.h"

namespace {

constexpr unsigned kValueSize = sizes::kName;

void ReadIndexed(const char* section, const char* prefix, int index, char (&out)[kValueSize]) {
    char key[32];
    FormatIndexedName(key, sizeof key, prefix, index);
    ReadConfigString(section, key, out, sizeof out);
}

int ReadIndexedInt(const char* section, const char* prefix, int index) {
    char key[32];
    FormatIndexedName(key, sizeof key, prefix, index);
    return ReadConfigInt(section, key);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// A name stored in an archive or a pack that a name rule refused, or whose
// target path does not fit.
std::string InvalidFileNameText(const std::string& name, const std::string& container) {
    return "Invalid file name " + Quoted(name) + " in " + container + ".";
}
std::string PathTooLongText(const std::string& name, const std::string& container) {
    return "Path too long for " + Quoted(name) + " of " + container + ".";
}

// Whether two paths name one file: equal apart from letter case, or (when
// both exist) the same file of the same volume, however they are spelt.
bool IsSameFile(const char* a, const char* b) {
    if (SamePathNoCase(a, b)) return true;
    auto identity = [](const char* path, BY_HANDLE_FILE_INFORMATION& info) {
        UniqueFileHandle h(::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        return h && ::GetFileInformationByHandle(h.Get(), &info) != FALSE;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identity(a, ia) && identity(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace

CProgressDlg::CProgressDlg(HWND parent) : CDialog(IDD_PROGRESS, parent) {}

// The pack's stream uses readBuffer: close the pack before the buffer goes
// (a dialog left with Yes at the cancel question still has its pack open).
CProgressDlg::~CProgressDlg() { packFile.Close(); }

BOOL CProgressDlg::OnInitDialog() {
    diskCount = ReadConfigInt("Disk", "Number");
    SetWindowText(g_setup.productVersion);
    progressBar = GetDlgItem(IDC_PROGRESS_BAR);
    ::SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
    ::SendMessageA(progressBar, PBM_SETPOS, 0, 0);
    ::SetTimer(m_hWnd, kStepTimer, 1, nullptr);
    return TRUE;
}

BOOL CProgressDlg::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    result = 0;
    if (msg == WM_ARCHIVE_STEP) {
        OnArchiveStep();
        return TRUE;
    }
    if (msg == WM_PACK_STEP) {
        OnPackStep();
        return TRUE;
    }
    return FALSE;
}

void CProgressDlg::OnTimer(UINT_PTR id) {
    if (id == kStepTimer) OnStepTimer();
}

void CProgressDlg::OnStepTimer() {
    ::KillTimer(m_hWnd, kStepTimer);
    if (phase == 0) {
        if (running) ::PostMessageA(m_hWnd, WM_ARCHIVE_STEP, 0, 0);
        return;
    }
    if (packsPending) SetUpPackPhase();
    if (!finished) ::PostMessageA(m_hWnd, WM_PACK_STEP, 0, 0);
}

void CProgressDlg::ShowPercent(int percent) {
    ::SendMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[16];
    wsprintfA(text, "%d%%", percent);
    SetDlgItemText(IDC_PROGRESS_PERCENT, text);
}

void CProgressDlg::Fail(const char* text) {
    AppMessageBox(text, MB_OK | MB_ICONEXCLAMATION, m_hWnd);
    OnCancel();
}

void CProgressDlg::OnCancel() {
    ::KillTimer(m_hWnd, kStepTimer);
    running = false;
    if (ConfirmExitInstallation(m_hWnd)) {
        EndDialog(IDCANCEL);
        return;
    }
    if (phase == 0) {
        ::PostMessageA(m_hWnd, WM_ARCHIVE_STEP, 0, 0);
        return;
    }
    if (packsPending) SetUpPackPhase();
    if (!finished) ::PostMessageA(m_hWnd, WM_PACK_STEP, 0, 0);
}

// ------------------------------------------------------------------ archives

void CProgressDlg::OnArchiveStep() {
    const int d = currentDisk, k = currentArchive;
    char section[32];
    FormatIndexedName(section, sizeof section, "Disk", d);
    if (itemCount <= 0) {
        itemCount = std::max(ReadConfigInt(section, "Number"), 0);
        if (itemCount == 0) {
            Fail("Error File of morlan.ini");
            return;
        }
    }

    char name[kValueSize], dir[kValueSize];
    ReadIndexed(section, "File", k, name);
    ReadIndexed(section, "Dir", k, dir);
    engine::ArchivePaths paths;
    const char* bad = nullptr;
    switch (engine::ComposeArchivePaths(g_setup.sourceDir, g_setup.installDir, name, dir, paths, &bad)) {
    case engine::ComposeResult::refused:
        Fail(InvalidNameText(bad, section));
        return;
    case engine::ComposeResult::tooLong:
        Fail("Path too long for archive " + Quoted(name) + " of [" + section + "] in morlan.ini.");
        return;
    case engine::ComposeResult::ok:
        break;
    }
    SetDlgItemText(IDC_PROGRESS_SOURCE, paths.src);
    SetDlgItemText(IDC_PROGRESS_DEST, paths.dst);

    // An archive that already lies where it belongs is the medium's own
    // file: it is neither copied nor touched nor deleted.
    const bool sameFile = IsSameFile(paths.src, paths.dst);
    if (!sameFile) {
        // A failing copy is the test of whether the right disk is in, so a
        // copy left read-only or hidden must not make it fail.
        CFile::ClearForReplace(paths.dst);
        while (!::CopyFileA(paths.src, paths.dst, FALSE)) {
            CReplaceDiskDlg prompt(m_hWnd);
            prompt.SetDisk(d, g_setup.sourceDir);
            ::MessageBeep(MB_ICONEXCLAMATION);
            const INT_PTR r = prompt.DoModal();
            if (r == IDCANCEL || r == -1) {
                OnCancel();
                return;
            }
        }
        const DWORD attr = ::GetFileAttributesA(paths.dst);
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesA(paths.dst, attr & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }

    const int target = engine::ArchiveTargetPercent(ReadIndexedInt(section, "Percent", k));
    archivePercent = engine::ArchiveMidwayPercent(archivePercent, target);
    ShowPercent(archivePercent);

    ::SetCurrentDirectoryA(paths.destFolder);
    const engine::UnpackOutcome u = engine::UnpackFirstEntry(paths.dst);
    if (u.result == engine::UnpackOutcome::refusedName) {
        Fail(InvalidFileNameText(u.entryName, paths.dst));
        return;
    }
    if (u.result == engine::UnpackOutcome::pathTooLong) {
        Fail(PathTooLongText(u.entryName, paths.dst));
        return;
    }
    if (!sameFile) ::DeleteFileA(paths.dst);

    archivePercent = target;
    ShowPercent(archivePercent);

    currentArchive += 1;
    if (currentArchive > itemCount) {
        currentDisk += 1;
        currentArchive = 1;
        itemCount = 0;
        if (currentDisk > diskCount) {
            ::Sleep(lastArchiveWaitMs);
            phase = 1;
        }
    }
    ::SetTimer(m_hWnd, kStepTimer, archivePauseMs, nullptr);
    running = true;
}

// ------------------------------------------------------------------ packs

void CProgressDlg::SetUpPackPhase() {
    packCount = std::max(ReadConfigInt("Remove", "Number"), 0);
    packIndex = 0;
    writeBuffer.reset(new (std::nothrow) char[pack::kStreamBufferSize]);
    packsPending = false;
    OpenNextPack();
}

void CProgressDlg::ClosePack(bool deleteIt) {
    if (!packFile.IsOpen()) return;
    packFile.Close();
    if (deleteIt) ::DeleteFileA(packPath);
}

void CProgressDlg::OpenNextPack() {
    if (packIndex >= packCount) {
        finished = true;
        FinishPacks();
        return;
    }
    const int j = packIndex, i = j + 1;
    packIndex = i;
    ClosePack(true);  // the finished pack
    readBuffer.reset();

    char dir[kValueSize], file[kValueSize], dest[kValueSize];
    ReadIndexed("Remove", "Dir", i, dir);
    ReadIndexed("Remove", "File", i, file);
    ReadIndexed("Remove", "Dest", i, dest);
    packProblem_.clear();
    packPath[0] = packDestDir[0] = 0;
    const char* bad = !engine::IsAcceptableConfigName(dir)    ? dir
                      : !engine::IsAcceptableConfigName(file) ? file
                      : !engine::IsAcceptableConfigName(dest) ? dest
                                                              : nullptr;
    if (bad) {
        packProblem_ = InvalidNameText(bad, "Remove", " for pack " + std::to_string(i));
    } else if (!JoinPath(packPath, sizeof packPath, {g_setup.installDir, "\\", dir, "\\", file}) ||
               !JoinPath(packDestDir, sizeof packDestDir, {g_setup.installDir, "\\", dest})) {
        packProblem_ = "Path too long for pack " + std::to_string(i) + " of [Remove] in morlan.ini.";
    }
    SetDlgItemText(IDC_PROGRESS_SOURCE, packPath);

    if (packProblem_.empty()) {
        readBuffer.reset(new (std::nothrow) char[pack::kStreamBufferSize]);
        if (packFile.Open(packPath, readBuffer.get(), readBuffer ? pack::kStreamBufferSize : 0))
            itemCount = packFile.ReadHeader();
    }
    recordsDone = 0;
    const engine::PackSlice slice = engine::PackSliceFor(packCount, j);
    packBase = slice.base;
    packShare = slice.share;
}

void CProgressDlg::OnPackStep() {
    if (finished) return;
    if (!packFile.IsOpen()) {
        Fail(packProblem_.empty() ? "Error File Open." : packProblem_.c_str());
        return;
    }
    if (!readBuffer || !writeBuffer) {
        Fail("Not Enough Memory.");
        return;
    }
    ::SetCurrentDirectoryA(packDestDir);
    const engine::PackStepOutcome o =
        engine::WritePackRecord(packFile, packDestDir, writeBuffer.get(), pack::kStreamBufferSize);
    switch (o.result) {
    case engine::PackStepOutcome::packEnd:
        OpenNextPack();
        if (!finished) ::PostMessageA(m_hWnd, WM_PACK_STEP, 0, 0);
        return;
    case engine::PackStepOutcome::damaged:
        Fail(std::string("The pack file ") + packPath + " is damaged: it ends inside a record or holds a name without end.");
        return;
    case engine::PackStepOutcome::refusedName:
        Fail(InvalidFileNameText(o.info.name, packPath));
        return;
    case engine::PackStepOutcome::pathTooLong:
        Fail(PathTooLongText(o.info.name, packPath));
        return;
    case engine::PackStepOutcome::createFailed:
        SetDlgItemText(IDC_PROGRESS_DEST, o.path);
        Fail("Error Move Out File.");
        return;
    case engine::PackStepOutcome::writeFailed:
        Fail(std::string("Error writing ") + o.path + ".");
        return;
    case engine::PackStepOutcome::written:
        break;
    }
    SetDlgItemText(IDC_PROGRESS_DEST, o.path);

    recordsDone += 1;
    const int percent = engine::PackPercent({packBase, packShare}, recordsDone, itemCount);
    if (percent != lastPercent) {
        ShowPercent(percent);
        lastPercent = percent;
    }
    recordsSinceYield += 1;
    // Pause through the timer after every 40th record, and sooner when input
    // is waiting or the records are slow, so that Cancel and painting never
    // wait long: a timer message comes only after pending input and painting.
    const DWORD now = ::GetTickCount();
    if (recordsSinceYield >= kRecordsPerYield || HIWORD(::GetQueueStatus(QS_INPUT)) != 0 ||
        now - lastYieldTick_ >= kYieldAfterMs) {
        recordsSinceYield = 0;
        lastYieldTick_ = now;
        ::SetTimer(m_hWnd, kStepTimer, 1, nullptr);
    } else {
        ::PostMessageA(m_hWnd, WM_PACK_STEP, 0, 0);
    }
}

void CProgressDlg::FinishPacks() {
    ClosePack(true);
    readBuffer.reset();
    writeBuffer.reset();
    EndDialog(IDOK);
}
