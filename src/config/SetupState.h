// The installation state shared by every step of the setup: plain
// process-wide data, written and read on the user-interface thread only.
// Texts are NUL-terminated ANSI strings in fixed buffers.
#pragma once
#include <cstdint>

#include "config/Sizes.h"

// The platform id of the system's version query.
enum class Platform : uint32_t { win32s = 0, windows95 = 1, nt = 2 };
// [Programmer] Type: the driver the programmer needs. Any other value
// means none.
enum class ProgrammerType : int32_t { kernelDriver = 0, usbDriver = 1 };

struct SetupState {
    Platform platformId = Platform::win32s;
    char sourceDir[sizes::kPath] = {};     // folder of setup.exe, no trailing backslash
    char configPath[sizes::kPath] = {};    // the morlan.ini every read goes to
    char installDir[sizes::kPath] = {};    // destination folder
    char productVersion[sizes::kVersion] = {};
    int32_t languageIndex = 0;
    bool chineseSelected = false;
    bool desktopShortcut = true;
    bool startMenuShortcut = true;
    ProgrammerType programmerType = ProgrammerType::kernelDriver;
    bool runAfterSetup = false;
    bool restartNow = true;
};

extern SetupState g_setup;

// Puts every field back to its initial value (tests build several runs in
// one process).
void ResetSetupState();

// Start-up: from the executable's full path, sourceDir (its folder, cut at
// the last backslash, which is removed: A:\\SETUP.EXE gives "A:") and
// configPath (that folder + "\\morlan.ini"). A folder too long for them
// leaves them empty, so that every read gives its default instead of
// naming a cut path.
void SetSourceFromModulePath(const char* modulePath);

// Configuration reads on the file named by g_setup.configPath at the moment
// of the call: a text into a buffer of size bytes (default ""), an integer
// (default 0).
unsigned ReadConfigString(const char* section, const char* key, char* buffer, unsigned size);
int ReadConfigInt(const char* section, const char* key);

// Forms an indexed key or section name: prefix followed by the decimal
// number without leading zeros (File1, Disk12).
void FormatIndexedName(char* out, unsigned size, const char* prefix, int index);
