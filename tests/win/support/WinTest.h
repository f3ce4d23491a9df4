// What the Windows tests share: a scratch tree with the setup's state
// pointing at it, small files, and a modal window run beside its driver.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "config/SetupState.h"
#include "common/TestFiles.h"
#include "win/support/UiDriver.h"

namespace wt {

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool IsDir(const std::string& path) {
    return Exists(path) && (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
inline void Write(const std::string& path, const std::string& data) { EXPECT_TRUE(testfs::WriteBytes(path, data)) << path; }
inline std::string Read(const std::string& path) { return testfs::ReadBytes(path); }  // "" when missing
inline void MakeDir(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }
inline std::string CurrentDir() {
    char buf[MAX_PATH];
    return std::string(buf, GetCurrentDirectoryA(sizeof buf, buf));
}
inline bool SameNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }
template <size_t N>
void Set(char (&field)[N], const std::string& value) { lstrcpynA(field, value.c_str(), N); }

// A fresh temporary folder with "media" (the source and current folder,
// holding morlan.ini with the given text) and "inst" (the installation
// folder); the setup's state is reset to point at them.
struct Scratch : testfs::TempDir {
    std::string media = *this / "media", inst = *this / "inst", config = media + "\\morlan.ini";
    explicit Scratch(const std::string& ini = "") {
        MakeDir(media);
        MakeDir(inst);
        Write(config, ini);
        ResetSetupState();
        Set(g_setup.sourceDir, media);
        Set(g_setup.installDir, inst);
        Set(g_setup.configPath, config);
        SetCurrentDirectoryA(media.c_str());
    }
    ~Scratch() { SetCurrentDirectoryA("C:\\"); }
    void Ini(const std::string& text) const { Write(config, text); }
};

// Runs modal() on this thread while fn drives it from a second one. When
// the modal run has not ended 20 s after fn returned, that is a failure, and
// the windows left are closed so that the test program goes on: the exit
// question with Yes, other boxes with No or OK, dialogs with Cancel.
template <class Modal>
auto Drive(Modal modal, const std::function<void()>& fn) {
    std::atomic<bool> ended{false};
    ui::Driver driver([&] {
        fn();
        for (int i = 0; i < 1000 && !ended; ++i) Sleep(20);
        if (!ended) ADD_FAILURE() << "a window is still open";
        for (int round = 0; !ended; ++round) {
            if (HWND box = ui::FindMessageBox("")) {
                const std::string text = ui::MessageBoxText(box);
                ADD_FAILURE() << "answered: " << text;
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(text == "Exit installation?" ? IDYES : IDNO, BN_CLICKED), 0);
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            } else if (HWND dlg = round % 20 ? nullptr : ui::FindDialogWithControl(IDCANCEL)) {
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
            Sleep(25);
        }
    });
    auto r = modal();
    ended = true;
    driver.Finish();
    return r;
}

}  // namespace wt
