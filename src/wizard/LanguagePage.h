// PLACEHOLDER page: shows template 138 (a placeholder template) and keeps
// every hook at its default. The real page is built by a later change.
#pragma once
#include "wizard/Wizard.h"

class CLanguagePage : public CWizardPage {
public:
    explicit CLanguagePage(HWND parent = nullptr) : CWizardPage(138, parent) {}
};
