// PLACEHOLDER: the completion actions are built by a later change; until
// then the sequence runs through them without doing anything.
#include "app/SetupApp.h"

void CSetupApp::DeleteListedFiles() {}
void CSetupApp::CopyLanguageLibrary() {}
void CSetupApp::RunFinalAction() {}
