// The language and shortcut page: the program's language from the list in
// [Language], the two shortcut places, and on Next the [SubDir] folders of
// the installation folder.
#pragma once
#include "wizard/Wizard.h"

class CLanguagePage : public CWizardPage {
public:
    explicit CLanguagePage(HWND parent = nullptr);

    // Next: not a query. Stores the choices and creates the subfolders;
    // stays (-1) when a folder could not be made.
    int GetNextTarget() override {
        StoreChoices();
        return CreateSubfolders() ? 0 : -1;
    }
    // The chosen language (languageIndex, chineseSelected) and the two
    // shortcut boxes into SetupState.
    void StoreChoices();
    // Creates the [SubDir] folders below installDir, one level each; false
    // after "Create subdirectory error." when one cannot be made.
    bool CreateSubfolders();
    HWND InitialFocus() override { return languageCombo; }

    HWND languageCombo = nullptr;  // 1014
    HWND titleLabel = nullptr;     // 1004
    HWND shortcutLabel = nullptr;  // 1005

protected:
    BOOL OnInitDialog() override;
};
