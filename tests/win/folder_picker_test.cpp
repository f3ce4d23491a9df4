// The folder picker on the shell's real browse dialog: the path box, OK's
// validation with its questions and messages, creation of every level, the
// tree selection and the OK button's state.
#include "win/support/PageTestSupport.h"
#include "wizard/FolderPicker.h"
#include "wizard/PageIds.h"

using namespace pagetest;

namespace {
// Runs a picker on this thread while fn drives its dialog.
int RunPicker(CFolderPicker& picker, const std::function<void(HWND)>& fn) {
    ui::Driver driver([&] {
        HWND dlg = ui::WaitForDialogWithControl(IDC_PICKER_PATH);
        if (!dlg) {
            ADD_FAILURE() << "browse dialog did not appear";
            return;
        }
        fn(dlg);
        if (!ui::WaitGone(dlg, 3000)) {
            ADD_FAILURE() << "the browse dialog is still open";
            CloseLeftovers(dlg);
        }
    });
    int r = picker.Run();
    driver.Finish();
    return r;
}

bool OkEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != FALSE; }

void Cancel(HWND dlg) {
    ui::Click(dlg, IDCANCEL);
    EXPECT_TRUE(ui::WaitGone(dlg));
}
}  // namespace

TEST(FolderPicker, OpensOnTheInitialFolderAndCreatesAThreeLevelPath) {
    Scratch s("");
    const std::string target = s.Path("new1\\new2\\new3");
    CFolderPicker picker("Setup", "Please select...", s.media.c_str(), nullptr);
    int r = RunPicker(picker, [&](HWND dlg) {
        EXPECT_EQ(ui::WindowText(dlg), "Setup");
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), s.media);
        EXPECT_TRUE(OkEnabled(dlg));
        EXPECT_FALSE(ui::ControlVisible(dlg, IDC_PICKER_STATUS));
        // The box sits above the tree, as wide as the tree.
        RECT box, tree;
        GetWindowRect(GetDlgItem(dlg, IDC_PICKER_PATH), &box);
        GetWindowRect(GetDlgItem(dlg, IDC_PICKER_TREE), &tree);
        EXPECT_EQ(box.left, tree.left);
        EXPECT_EQ(box.right, tree.right);
        EXPECT_EQ(box.bottom, tree.top - 4);
        EXPECT_EQ(box.top, tree.top - 27);
        Picture(dlg, "folder-picker");

        // Declined: the dialog stays, nothing is made.
        ui::SetText(dlg, IDC_PICKER_PATH, target.c_str());
        ui::Click(dlg, IDOK);
        EXPECT_EQ(ui::Answer("does not exist", IDNO),
                  "The folder:\n\n" + target + "\n\ndoes not exist. Do you want the folder to be created?");
        EXPECT_FALSE(Exists(s.Path("new1")));
        EXPECT_TRUE(IsWindowVisible(dlg));

        ui::Click(dlg, IDOK);
        EXPECT_NE(ui::Answer("does not exist", IDYES), "");
        EXPECT_TRUE(ui::WaitGone(dlg));
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(picker.GetPath(), target);
    EXPECT_TRUE(IsDir(s.Path("new1")));
    EXPECT_TRUE(IsDir(s.Path("new1\\new2")));
    EXPECT_TRUE(IsDir(target));
}

// Which paths are invalid is the rules' own test; here: the message, the
// dialog staying with the focus in the path box, and nothing made. A text
// longer than the picker's 259 characters is refused whole, not cut.
TEST(FolderPicker, InvalidPathsAreReportedAndTheDialogStays) {
    Scratch s("");
    CFolderPicker picker(nullptr, "Please select...", "", nullptr);
    const std::string tooLong = s.root + "\\" + std::string(300 - s.root.size(), 'x');
    int r = RunPicker(picker, [&](HWND dlg) {
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), "");  // an empty start folder
        EXPECT_TRUE(OkEnabled(dlg));
        for (const std::string& path : {std::string(), std::string("C:"), s.root + "\\abc\\", tooLong}) {
            if (!path.empty()) ui::SetText(dlg, IDC_PICKER_PATH, path.c_str());
            ui::Click(dlg, IDOK);
            EXPECT_EQ(ui::Answer("is invalid", IDOK), "The folder:\n\n" + path + "\n\nis invalid. Please reenter.");
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_NE(ui::WaitFor([&] { return ui::FocusOf(dlg) == GetDlgItem(dlg, IDC_PICKER_PATH) ? dlg : nullptr; }),
                      nullptr) << path;
        }
        Cancel(dlg);
    });
    EXPECT_EQ(r, -1);
    EXPECT_FALSE(Exists(s.root + "\\abc"));
    EXPECT_FALSE(Exists(s.root + "\\" + std::string(259 - s.root.size() - 1, 'x')));
}

TEST(FolderPicker, TreeSelectionReplacesTheBoxAndAnEmptyBoxDisablesOk) {
    Scratch s("");
    const std::string missing = s.Path("not\\yet");
    CFolderPicker picker("Setup", "Please select...", missing.c_str(), nullptr);
    int r = RunPicker(picker, [&](HWND dlg) {
        // A start folder that does not exist yet is shown as given.
        EXPECT_EQ(ui::ControlText(dlg, IDC_PICKER_PATH), missing);
        SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(s.media.c_str()));
        EXPECT_TRUE(SameNoCase(ui::ControlText(dlg, IDC_PICKER_PATH), s.media)) << ui::ControlText(dlg, IDC_PICKER_PATH);
        EXPECT_TRUE(OkEnabled(dlg));

        for (const char* text : {"", "C"}) {
            ui::SetText(dlg, IDC_PICKER_PATH, text);
            EXPECT_EQ(OkEnabled(dlg), *text != 0) << text;
        }

        // OK on an existing folder: accepted without a question.
        ui::SetText(dlg, IDC_PICKER_PATH, s.media.c_str());
        ui::Click(dlg, IDOK);
        EXPECT_TRUE(ui::WaitGone(dlg));
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(picker.GetPath(), s.media);
    EXPECT_FALSE(Exists(s.Path("not")));
}

TEST(FolderPickerRules, SystemWrappersWalkTheRealFileSystem) {
    Scratch s("");
    EXPECT_EQ(CheckFolderPath((s.root + "\\x\\y").c_str(), TRUE), kFolderOk);
    EXPECT_FALSE(Exists(s.Path("x")));
    EXPECT_EQ(CheckFolderPath((s.root + "\\x\\y").c_str(), FALSE), kFolderOk);
    EXPECT_TRUE(IsDir(s.Path("x\\y")));
    // A level below a file cannot be created.
    EXPECT_EQ(CheckFolderPath((s.config + "\\sub").c_str(), FALSE), kFolderNotCreated);
    EXPECT_EQ(ValidateFolder(s.root.c_str()), kFolderOk);
    EXPECT_EQ(ValidateFolder(s.config.c_str()), kFolderOk);  // an existing file is taken as is
}
