// The language and shortcut page: the program's language from the list in
// [Language], the two shortcut places, and on Next the [SubDir] folders of
// the installation folder.
#pragma once
#include "wizard/Wizard.h"

class CLanguagePage : public CWizardPage {
public:
    explicit CLanguagePage(HWND parent = nullptr);

    // Stores the language and shortcut choices and creates the subfolders;
    // -1 with "Create subdirectory error." when one cannot be made.
    int GetNextTarget() override;
    HWND InitialFocus() override { return languageCombo; }

    HWND languageCombo = nullptr;  // 1014
    HWND titleLabel = nullptr;     // 1004
    HWND shortcutLabel = nullptr;  // 1005

protected:
    BOOL OnInitDialog() override;
};
