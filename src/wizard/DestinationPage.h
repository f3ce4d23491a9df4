// The destination page: shows the product and the folder it goes into,
// lets the user pick another folder, makes sure the folder exists when the
// user moves on, and on Install copies the configuration file into it.
#pragma once
#include "wizard/Wizard.h"

class CDestinationPage : public CWizardPage {
public:
    explicit CDestinationPage(HWND parent = nullptr);

    // Next: not a query. Takes the folder (TakeFolder) and stays (-1) when
    // that failed, else moves on.
    int GetNextTarget() override { return TakeFolder() ? 0 : -1; }
    // Takes the shown folder into installDir and enters or creates it (one
    // level); false after "Error Directory" when neither works. A folder
    // longer than kMaxFolderLength is refused with a message before anything
    // is created.
    bool TakeFolder();
    // Copies the configuration file into installDir and makes the copy the
    // file every later step reads; FALSE with "Error Copy File".
    BOOL CommitPage() override;

    // The longest installation folder: the configuration file's copy in it
    // ("\\morlan.ini") must still fit the setup's 200-byte path buffers.
    static constexpr size_t kMaxFolderLength = 188;

    HWND folderLabel = nullptr;  // static 1000: the folder
    HWND titleLabel = nullptr;   // static 1018

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, UINT code, HWND control) override;
    void OnBrowse();
};
