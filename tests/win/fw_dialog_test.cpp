// The framework's dialogs and message boxes on the real system: captions,
// icons, and exceptions stopped at the dialog procedure.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "fw/App.h"
#include "fw/Dialog.h"
#include "fw/Exception.h"
#include "win/support/UiDriver.h"
#include "wizard/Wizard.h"

namespace {

// The icon a message box shows (its icon control is the only static with
// an icon).
HICON MessageBoxIcon(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0) continue;
        auto icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
        if (icon) return icon;
    }
    return nullptr;
}

// A dialog (the frame's template) whose Install button throws what the test
// chose; Cancel ends it.
class ThrowingDialog : public CDialog {
public:
    ThrowingDialog() : CDialog(IDD_WIZARD) {}
    std::atomic<int> kind{0};

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        if (id == IDC_WIZ_INSTALL) {
            if (kind == 1) throw CFileException(CFileException::open, ERROR_FILE_NOT_FOUND, "C:\\medium\\main.zip");
            if (kind == 2) throw std::runtime_error("plain failure");
            throw 42;
        }
        return CDialog::OnCommand(id, code, control);
    }
};

}  // namespace

// The caption is the executable's name; an OK box warns, a question keeps
// the icon it asks for.
TEST(FrameworkMessageBox, CaptionAndIcon) {
    EXPECT_EQ(AppName(), "win_fw_dialog_test");
    for (UINT type : {UINT(MB_OK), UINT(MB_YESNO | MB_ICONQUESTION)}) {
        std::string caption;
        HICON icon = nullptr;
        ui::Driver driver([&] {
            HWND box = ui::WaitForMessageBox("Something to say.");
            caption = ui::WindowText(box);
            icon = MessageBoxIcon(box);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(type == MB_OK ? IDOK : IDNO, BN_CLICKED), 0);
        });
        EXPECT_EQ(AppMessageBox("Something to say.", type), type == MB_OK ? IDOK : IDNO);
        driver.Finish();
        EXPECT_EQ(caption, "win_fw_dialog_test");
        EXPECT_EQ(icon, LoadIcon(nullptr, type == MB_OK ? IDI_EXCLAMATION : IDI_QUESTION));
    }
}

// Exceptions are stopped at the dialog procedure: each is shown with the
// stop icon and the dialog goes on.
TEST(FrameworkDialog, ExceptionsAreShownAndTheDialogGoesOn) {
    ThrowingDialog dlg;
    std::vector<std::string> texts;
    ui::Driver driver([&] {
        HWND d = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        for (const char* part : {"main.zip", "plain failure", "Internal application error."}) {
            ++dlg.kind;
            ui::Click(d, IDC_WIZ_INSTALL);
            HWND box = ui::WaitForMessageBox(part);
            if (!box) return ADD_FAILURE() << "no message with " << part, ui::Click(d, IDCANCEL), void();
            texts.push_back(ui::MessageBoxText(box));
            EXPECT_EQ(MessageBoxIcon(box), LoadIcon(nullptr, IDI_HAND)) << part;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ui::WaitGone(box);
        }
        EXPECT_TRUE(IsWindowVisible(d));
        ui::Click(d, IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    driver.Finish();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("C:\\medium\\main.zip"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[1], "plain failure");
    EXPECT_EQ(texts[2], "Internal application error.");
}
