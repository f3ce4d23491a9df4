// PLACEHOLDER: shortcuts and driver registration are built by a later
// change; until then the sequence runs through them without doing anything.
#include "app/SetupApp.h"

void CSetupApp::CreateShortcuts() {}
void CSetupApp::RegisterKernelService() {}
void CSetupApp::InstallUsbDriver() {}
