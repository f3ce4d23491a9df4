// The steps that finish an installation after copying. Each reads
// SetupState and the configuration file and reports its own failures.
#pragma once

// Deletes the files that [DelFile] lists, below the installation folder.
void DeleteListedFiles();
// Installs the chosen language library as bin\<DestFile>.dll.
void CopyLanguageLibrary();
// Makes the program's shortcuts that the user chose.
void CreateShortcuts();
// Copies the kernel driver into the system's drivers folder and writes its
// service key.
void RegisterKernelService();
// Copies the USB driver's system files and removes what the system keeps
// of an earlier installation of the device.
void InstallUsbDriver();
// The last step. After the restart page: restart when the user chose it,
// else nothing. After the completion page: start the program when the user
// chose it, else open its folder.
void RunFinalAction(bool restartPageShown);

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
