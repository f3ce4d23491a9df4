// PLACEHOLDER page: shows template 137 (a placeholder template) and keeps
// every hook at its default. The real page is built by a later change.
#pragma once
#include "wizard/Wizard.h"

class CDestinationPage : public CWizardPage {
public:
    explicit CDestinationPage(HWND parent = nullptr) : CWizardPage(137, parent) {}
};
