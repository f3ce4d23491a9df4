// The framework's dialogs and message boxes on the real system: captions,
// icons, and exceptions stopped at the dialog procedure.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

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
    std::atomic<int> handled{0};

protected:
    BOOL OnCommand(UINT id, UINT code, HWND control) override {
        if (id == IDC_WIZ_INSTALL) {
            ++handled;
            if (kind == 1) throw CFileException(CFileException::open, ERROR_FILE_NOT_FOUND, "C:\\medium\\main.zip");
            if (kind == 2) throw std::runtime_error("plain failure");
            throw 42;
        }
        return CDialog::OnCommand(id, code, control);
    }
};

}  // namespace

TEST(FrameworkMessageBox, CaptionIsTheExecutablesNameAndOkBoxesWarn) {
    EXPECT_EQ(AppName(), "win_fw_dialog_test");
    HWND box = nullptr;
    std::string caption;
    HICON icon = nullptr;
    ui::Driver driver([&] {
        box = ui::WaitForMessageBox("Something to say.");
        if (!box) return;
        caption = ui::WindowText(box);
        icon = MessageBoxIcon(box);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(AppMessageBox("Something to say."), IDOK);
    driver.Finish();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(caption, "win_fw_dialog_test");
    EXPECT_EQ(icon, LoadIcon(nullptr, IDI_EXCLAMATION));

    // A question keeps the icon it asks for.
    ui::Driver asker([&] {
        std::string text = ui::Answer("Really?", IDNO);
        EXPECT_EQ(text, "Really?");
    });
    EXPECT_EQ(AppMessageBox("Really?", MB_YESNO | MB_ICONQUESTION), IDNO);
    asker.Finish();
}

TEST(FrameworkDialog, ExceptionsAreShownAndTheDialogGoesOn) {
    ThrowingDialog dlg;
    struct Seen {
        std::string text;
        HICON icon = nullptr;
    } seen[3];
    ui::Driver driver([&] {
        HWND d = ui::WaitForDialogWithControl(IDC_WIZ_INSTALL);
        ASSERT_NE(d, nullptr);
        const char* parts[3] = {"main.zip", "plain failure", "Internal application error."};
        for (int k = 1; k <= 3; ++k) {
            dlg.kind = k;
            ui::Click(d, IDC_WIZ_INSTALL);
            HWND box = ui::WaitForMessageBox(parts[k - 1]);
            if (!box) {
                ADD_FAILURE() << "no message for kind " << k;
                continue;
            }
            seen[k - 1].text = ui::MessageBoxText(box);
            seen[k - 1].icon = MessageBoxIcon(box);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ui::WaitGone(box);
        }
        EXPECT_TRUE(IsWindowVisible(d));  // still running after every exception
        ui::Click(d, IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    driver.Finish();
    EXPECT_EQ(dlg.handled, 3);
    EXPECT_NE(seen[0].text.find("C:\\medium\\main.zip"), std::string::npos) << seen[0].text;
    EXPECT_EQ(seen[1].text, "plain failure");
    EXPECT_EQ(seen[2].text, "Internal application error.");
    for (const Seen& s : seen) EXPECT_EQ(s.icon, LoadIcon(nullptr, IDI_HAND));
}
