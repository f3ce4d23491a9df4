// Helpers of the page and folder-picker tests: a scratch folder per test
// with a configuration file in it, and a wizard run driven from a second
// thread.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>

#include "config/SetupState.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"
#include "wizard/Wizard.h"

namespace pagetest {

using scratch::Exists;
inline bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
inline void WriteText(const std::string& path, const std::string& text) { ASSERT_TRUE(scratch::WriteFile(path, text)) << path; }
inline std::string ReadText(const std::string& path) { return scratch::ReadFile(path); }

inline std::string CurrentDir() {
    char buf[MAX_PATH] = {0};
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

inline bool SameNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// A fresh scratch folder (under the prefix's temp folder) holding a "media"
// subfolder with morlan.ini; g_setup is reset and its configPath names that
// file. The folder is removed afterwards.
class Scratch {
public:
    explicit Scratch(const std::string& ini) {
        char tmp[MAX_PATH] = {0};
        GetTempPathA(sizeof tmp, tmp);
        root = std::string(tmp) + "pagetest" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(counter_++);
        scratch::RemoveTree(root);
        CreateDirectoryA(root.c_str(), nullptr);
        media = root + "\\media";
        CreateDirectoryA(media.c_str(), nullptr);
        config = media + "\\morlan.ini";
        WriteText(config, ini);
        ResetSetupState();
        lstrcpynA(g_setup.sourceDir, media.c_str(), sizeof g_setup.sourceDir);
        lstrcpynA(g_setup.configPath, config.c_str(), sizeof g_setup.configPath);
        SetCurrentDirectoryA(media.c_str());
    }
    ~Scratch() {
        char tmp[MAX_PATH] = {0};
        GetTempPathA(sizeof tmp, tmp);
        SetCurrentDirectoryA(tmp);
        scratch::RemoveTree(root);
    }
    std::string Path(const char* rel) const { return root + "\\" + rel; }

    std::string root, media, config;

private:
    static inline int counter_ = 0;
};

// After a failed step a dialog may still be open, waiting for a click that
// will not come: answer every message box with No or OK and cancel the
// dialog (and confirm the wizard's question) so that the test ends.
inline void CloseLeftovers(HWND dlg) {
    for (int round = 0; round < 200 && IsWindow(dlg) && IsWindowVisible(dlg); ++round) {
        if (HWND box = ui::FindMessageBox("")) {
            const bool exitQuestion = ui::MessageBoxText(box) == "Exit installation?";
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(exitQuestion ? IDYES : IDNO, BN_CLICKED), 0);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        } else if (round % 20 == 0) {
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        Sleep(25);
    }
}

// Runs the frame with the pages while fn drives it from a second thread
// (fn gets the frame's window); returns DoModal's result.
inline INT_PTR RunWizard(CWizardDlg& frame, std::initializer_list<CWizardPage*> pages,
                         const std::function<void(HWND)>& fn) {
    for (CWizardPage* p : pages) frame.AppendPage(p, p->pageId);
    ui::Driver driver([&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        if (!dlg) {
            ADD_FAILURE() << "wizard did not appear";
            return;
        }
        fn(dlg);
        if (!ui::WaitGone(dlg, 3000)) {
            ADD_FAILURE() << "the wizard is still open";
            CloseLeftovers(dlg);
        }
    });
    INT_PTR r = frame.DoModal();
    driver.Finish();
    return r;
}

// Cancels the wizard through "Exit installation?".
inline void CancelWizard(HWND dlg) {
    ui::Click(dlg, IDCANCEL);
    EXPECT_NE(ui::Answer("Exit installation?", IDYES), "");
}

// The frame's current page: its visible child dialog.
inline HWND VisiblePage(HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[16] = {0};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(c)) return c;
    }
    return nullptr;
}

// Waits until the current page is one with the control id; returns the page.
inline HWND WaitPage(HWND frame, int controlId, DWORD timeoutMs = 5000) {
    return ui::WaitFor(
        [&]() -> HWND {
            HWND page = VisiblePage(frame);
            return page && GetDlgItem(page, controlId) ? page : nullptr;
        },
        timeoutMs);
}

// Clicks a button and returns once the dialog has handled the click: only
// for clicks that open no modal window (those go through ui::Click).
inline void ClickSync(HWND root, int id) {
    HWND c = ui::FindControl(root, id);
    ASSERT_NE(c, nullptr) << id;
    SendMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
}
// The same for a mouse-like press (check boxes, automatic radio buttons).
inline void PressSync(HWND root, int id) {
    HWND c = ui::FindControl(root, id);
    ASSERT_NE(c, nullptr) << id;
    SendMessageA(c, BM_CLICK, 0, 0);
}

// CTest runs some tests again with the ANSI code page of a Chinese PC and
// names it in SETUP_EXPECT_ACP: make sure the system took it up.
inline void ExpectCodePageAsked() {
    if (const char* acp = std::getenv("SETUP_EXPECT_ACP")) {
        EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
    }
}

// Takes a picture of the window when screenshots were asked for. Pictures
// show code page 1252, except those named "...-cpN", which are taken only
// when the tests run in code page N.
inline void Picture(HWND w, const char* name) {
    const std::string dir = ui::ScreenshotDir();
    const char* cp = std::strstr(name, "-cp");
    if (dir.empty() || GetACP() != (cp ? static_cast<UINT>(std::atoi(cp + 3)) : 1252u)) return;
    EXPECT_TRUE(ui::ScreenshotWindow(w, dir + "/" + name + ".png")) << name;
}

}  // namespace pagetest
