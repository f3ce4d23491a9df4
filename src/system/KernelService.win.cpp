// Kernel driver service: the driver file goes into the system's drivers
// folder and its service key is written straight into the registry, so the
// system loads it at its next start.
#include <windows.h>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "fw/App.h"
#include "fw/Handles.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"

const char kKernelServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\KR3NT";

bool WriteKernelServiceKey(HKEY root, const char* subkey) {
    UniqueRegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(),
                        &disposition) != ERROR_SUCCESS)
        return false;

    // Strings are stored with their terminating zero counted; numbers as
    // 4-byte values. A failed write does not stop the others.
    static const char displayName[] = "KR3NT";
    static const char imagePath[] = "System32\\DRIVERS\\Kr3nt.sys";  // a plain string, not expandable
    const DWORD errorControl = 1;  // normal
    const DWORD start = 2;         // automatic at system start
    const DWORD type = 1;          // kernel-mode driver
    RegSetValueExA(key.Get(), "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(displayName),
                   sizeof displayName);
    RegSetValueExA(key.Get(), "ErrorControl", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&errorControl),
                   sizeof errorControl);
    RegSetValueExA(key.Get(), "ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(imagePath), sizeof imagePath);
    RegSetValueExA(key.Get(), "Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&start), sizeof start);
    RegSetValueExA(key.Get(), "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type);
    return true;
}

void RegisterKernelService() {
    char source[sizes::kFilePath];
    const bool haveSource = JoinPath(source, sizeof source, {g_setup.installDir, "\\bin\\Kr3nt.sys"});
    char windowsDir[sizes::kPath] = {0};
    const UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    char target[sizes::kFilePath];
    const bool haveTarget = length > 0 && length < sizeof windowsDir &&
                            JoinPath(target, sizeof target, {windowsDir, "\\System32\\drivers\\Kr3nt.sys"});
    // The copy's outcome does not matter to the service key: the driver is
    // loaded from that path at the next start. A path that does not fit is
    // not copied at all. The copy goes to the system's own drivers folder,
    // the one ImagePath names, also when this 32-bit program runs on 64-bit
    // Windows.
    if (haveSource && haveTarget) {
        NativeSystemFolderScope nativeSystemFolder;
        CopyFileA(source, target, FALSE);
    }

    if (!WriteKernelServiceKey(HKEY_LOCAL_MACHINE, kKernelServiceKey)) AppMessageBox("Register error!", MB_OK);
}
