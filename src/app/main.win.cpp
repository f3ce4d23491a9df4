// The one application object of setup.exe.
#include "app/SetupApp.h"

CSetupApp theApp;
