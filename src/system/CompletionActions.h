// Parts of the completion actions that tests reach directly.
#pragma once

// The notice shown before the computer is restarted.
extern const char kRestartNotice[];

// Enables the named privilege on the process token and, only when the
// system granted it, restarts the computer at once (running programs are
// closed without asking them). Returns false when it gave up silently:
// token not opened, privilege unknown or not granted, restart refused.
bool RestartComputer(const char* privilegeName);

// Tells the user that a name read from the configuration file was refused
// (it leads out of the installation folder or names a device):
// Invalid name "<name>" in [<section>] of morlan.ini<consequence>.
void ReportInvalidName(const char* name, const char* section, const char* consequence);
