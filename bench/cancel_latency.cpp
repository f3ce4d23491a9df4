// How fast the progress dialog answers its Cancel button during the pack
// phase with small records, under Wine (built with the win32 preset):
// a pack of many tiny records is unpacked by the real dialog while a second
// thread clicks Cancel with real input (SendInput: the click waits behind
// the posted step messages like a user's) and measures until the question
// "Exit installation?" is visible; it answers No and repeats. Prints the
// median and the worst of the trials.
#include "win/support/WinTest.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineIds.h"
#include "engine/ProgressDlg.h"

namespace {

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

bool ClickWithInput(HWND button) {
    RECT rc;
    GetWindowRect(button, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, in, sizeof(INPUT)) == 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::atoi(argv[1]) : 15;
    const int records = argc > 2 ? std::atoi(argv[2]) : 40000;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    wt::Scratch m("[Remove]\nNumber=1\nDir1=packs\nFile1=small.pak\nDest1=out\n");
    wt::MakeDir(m.inst + "\\packs");
    wt::MakeDir(m.inst + "\\out");
    std::string bytes = testfs::PackHeader(std::min(records, 32767));
    for (int r = 0; r < records; ++r) bytes += testfs::PackRecord("f" + std::to_string(r), "tiny record");
    wt::Write(m.inst + "\\packs\\small.pak", bytes);

    // "idle": the same clicks while the dialog waits between archives, the
    // cost of the click and of the question box themselves.
    const bool idle = argc > 3 && std::string(argv[3]) == "idle";
    ProgressPacing pacing;
    if (idle) pacing.archivePauseMs = 600000;
    CProgressDlg dlg(nullptr, pacing);
    if (!idle) dlg.StartAtPacks();
    if (idle) {
        // Each No runs the next archive at once, then the dialog waits again.
        std::string ini = "[Disk]\nNumber=1\n[Disk1]\nNumber=100\n";
        for (int k = 1; k <= 100; ++k)
            ini += "File" + std::to_string(k) + "=a\nDir" + std::to_string(k) + "=\nPercent" + std::to_string(k) + "=" +
                   std::to_string(k) + "\n";
        m.Ini(ini);
        wt::Write(m.media + "\\a.zip", testfs::StoredZip("a.txt", "A"));
    }
    std::vector<double> latencies;
    int posted = 0, missed = 0;
    std::thread driver([&] {
        HWND w = ui::WaitForDialogWithControl(IDC_PROGRESS_BAR);
        if (!w) return;
        SetForegroundWindow(w);
        HWND cancel = GetDlgItem(w, IDCANCEL);
        for (int t = 0; t < trials; ++t) {
            Sleep(150);
            if (!IsWindow(w)) break;
            const double t0 = Now();
            bool real = ClickWithInput(cancel);
            HWND box = nullptr;
            while (!box && Now() - t0 < 2000) {
                box = ui::FindMessageBox("Exit installation?");
                if (!box) Sleep(0);
            }
            if (!box && real) {  // the input did not reach the button: post the click
                ++posted;
                const double t1 = Now();
                ui::Click(w, IDCANCEL);
                box = ui::WaitForMessageBox("Exit installation?", 2000);
                if (box) latencies.push_back(Now() - t1);
            } else if (box) {
                latencies.push_back(Now() - t0);
            }
            if (!box) {
                ++missed;
                continue;
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(t + 1 == trials ? IDYES : IDNO, BN_CLICKED), 0);
            ui::WaitGone(box, 2000);
        }
    });
    const DWORD start = GetTickCount();
    const INT_PTR r = dlg.DoModal();
    driver.join();
    const DWORD elapsed = GetTickCount() - start;
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::printf("no measurement (dialog result %d, %d missed)\n", static_cast<int>(r), missed);
        return 1;
    }
    std::printf("| Cancel to question, %s, %d records of 11 bytes | trials %zu | median %.1f ms | worst %.1f ms |"
                " input %s |\n",
                idle ? "idle dialog" : "pack phase", idle ? 0 : records, latencies.size(), latencies[latencies.size() / 2], latencies.back(),
                posted ? "posted click (SendInput did not reach the button)" : "SendInput mouse click");
    std::printf("(records written while measuring: dialog ran %lu ms, result %d, missed %d)\n",
                static_cast<unsigned long>(elapsed), static_cast<int>(r), missed);
    return latencies.back() <= 100.0 ? 0 : 3;
}
