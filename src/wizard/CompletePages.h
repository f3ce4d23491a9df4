// PLACEHOLDER pages for the completion run (templates 139 and 141 are
// placeholders too); the real pages are built by a later change.
#pragma once
#include "wizard/Wizard.h"

class CCompletePage : public CWizardPage {
public:
    explicit CCompletePage(HWND parent = nullptr) : CWizardPage(139, parent) {}
};

class CRestartPage : public CWizardPage {
public:
    explicit CRestartPage(HWND parent = nullptr) : CWizardPage(141, parent) {}
};
