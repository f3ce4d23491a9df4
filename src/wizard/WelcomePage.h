// The first page of the installation wizard: fixed text, the heading in the
// page's title font and the side picture.
#pragma once
#include "wizard/Wizard.h"

class CWelcomePage : public CWizardPage {
public:
    explicit CWelcomePage(HWND parent = nullptr);

    HWND titleLabel = nullptr;  // static 1018

protected:
    BOOL OnInitDialog() override;
};
