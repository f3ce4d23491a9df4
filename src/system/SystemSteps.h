// Cores of the system integration steps (shortcuts, kernel driver service,
// USB driver), taking their registry root or key so that tests can point
// them at a scratch key.
#pragma once
#include <windows.h>

// Service key of the kernel driver, below HKEY_LOCAL_MACHINE.
extern const char kKernelServiceKey[];

// Creates or opens root\subkey (non-volatile, write access, default
// security) and writes the driver's five service values; other values and
// subkeys of an existing key stay. Returns false, writing nothing, when the
// key can be neither created nor opened.
bool WriteKernelServiceKey(HKEY root, const char* subkey);

// Where the driver keys named by the instances' "Driver" values lie, below
// the same root as the device key.
extern const char kDeviceClassKeyPrefix[];

// Removes root\deviceKey: first the class key of each instance (until an
// instance cannot be opened or has no "Driver" value), then the instance
// keys, then the device key. Nothing happens when the device key cannot be
// opened.
void DeleteDeviceKeysUnder(HKEY root, const char* deviceKey);

// Deletes the direct subkeys of an open key (opened with enumeration
// rights), collecting at most 80 names before deleting them and starting
// over while a full batch was deleted; stops at the first refused deletion.
void DeleteSubkeysOf(HKEY key);

// Reads a value of the current user's "Shell Folders" key (the user's
// Desktop, Programs, ... folders) into out (size bytes). Returns false when
// the key or the value cannot be read, the text does not fit, or it is
// empty: the caller then skips what needed the folder.
bool ReadShellFolder(const char* valueName, char* out, DWORD size);

// While alive, paths below the system folder name the system's own folder
// for the calling thread. A 32-bit program on 64-bit Windows otherwise has
// its System32 paths redirected to the 32-bit folder (SysWOW64), where the
// system never looks for drivers. The switch is looked up at run time (the
// Windows 95 family and systems without WOW64 lack it); there, and when it
// fails, nothing changes. Keep the scope to the file operations themselves:
// while it is off, libraries that the thread loads come from the 64-bit
// folder too.
class NativeSystemFolderScope {
public:
    NativeSystemFolderScope();
    ~NativeSystemFolderScope();
    NativeSystemFolderScope(const NativeSystemFolderScope&) = delete;
    NativeSystemFolderScope& operator=(const NativeSystemFolderScope&) = delete;

private:
    BOOL(WINAPI* revert_)(PVOID) = nullptr;
    PVOID previous_ = nullptr;
};
