// Program shortcuts: one shell link object, filled once, saved under the
// same name in the user's Programs folder and on the user's desktop.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "fw/App.h"
#include "fw/Handles.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"

bool ReadShellFolder(const char* valueName, char* out, DWORD size) {
    if (size == 0) return false;
    out[0] = 0;
    // Opened one level at a time from the current user's root.
    static const char* const levels[] = {"software", "Microsoft", "Windows", "CurrentVersion", "Explorer",
                                         "Shell Folders"};
    UniqueRegKey key;
    for (const char* level : levels) {
        UniqueRegKey next;
        if (RegOpenKeyExA(key ? key.Get() : HKEY_CURRENT_USER, level, 0, KEY_ALL_ACCESS, next.Put()) !=
            ERROR_SUCCESS)
            return false;
        key = std::move(next);
    }
    // One byte is kept back so that a value stored without its zero still
    // ends in one.
    DWORD dataSize = size - 1;
    if (RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &dataSize) !=
        ERROR_SUCCESS) {
        out[0] = 0;
        return false;
    }
    out[dataSize < size ? dataSize : size - 1] = 0;
    return out[0] != 0;
}

namespace {
const char kNoShellLink[] = "CoCreateInstance error";

// Saves the link as folder\name.lnk. A path that does not fit its buffer is
// not saved at all. Only E_FAIL is reported; the caller goes on either way.
void SaveLinkIn(IPersistFile* persist, const char* folder, const char* name) {
    char linkPath[sizes::kFilePath];
    if (!JoinPath(linkPath, sizeof linkPath, {folder, "\\", name, ".lnk"})) return;
    WCHAR widePath[sizes::kFilePath];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, sizes::kFilePath) == 0) return;
    if (persist->Save(widePath, FALSE) == E_FAIL) AppMessageBox("IPersistFile->Save error", MB_OK);
}
}  // namespace

void CreateShortcuts() {
    char description[sizes::kShortcutText] = {0};
    char linkName[sizes::kShortcutText] = {0};
    ReadConfigString("Shortcut", "Descript1", description, sizeof description);
    ReadConfigString("Shortcut", "Descript2", linkName, sizeof linkName);
    char workDir[sizes::kFilePath];
    const bool haveWorkDir = JoinPath(workDir, sizeof workDir, {g_setup.installDir, "\\bin"});
    char execFile[sizes::kExec] = {0};
    ReadConfigString("Exec", "ExecFile", execFile, sizeof execFile);
    // ExecFile carries its own subfolder, if any.
    char target[sizes::kFilePath];
    const bool haveTarget = JoinPath(target, sizeof target, {g_setup.installDir, "\\", execFile});
    if (!haveWorkDir || !haveTarget) return;  // never a link to a cut path

    // OLE stays initialised after a successful run (the shell is used again
    // by the final action); only the two failures before the link object is
    // usable release it.
    OleScope ole;
    if (!ole.Ok()) {
        AppMessageBox("OleInitialize error", MB_OK);
        return;
    }
    // Released in reverse order of declaration: IPersistFile, IShellLinkA,
    // IUnknown, then (on the failure paths) OLE itself.
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                object.PutVoid()))) {
        AppMessageBox(kNoShellLink, MB_OK);
        return;
    }
    ComPtr<IShellLinkA> link;
    if (FAILED(object->QueryInterface(IID_IShellLinkA, link.PutVoid()))) {
        AppMessageBox(kNoShellLink, MB_OK);
        return;
    }
    ole.Keep();

    link->SetPath(target);
    link->SetWorkingDirectory(workDir);
    link->SetDescription(description);

    char icon[sizes::kIcon] = {0};
    ReadConfigString("Shortcut", "Ico", icon, sizeof icon);
    char iconPath[sizes::kFilePath];
    // A name with wildcards would let the search find some other file.
    if (icon[0] && !std::strpbrk(icon, "*?") && JoinPath(iconPath, sizeof iconPath, {workDir, "\\", icon, ".ico"})) {
        WIN32_FIND_DATAA found;
        UniqueFindHandle find(FindFirstFileA(iconPath, &found));
        if (find) {
            find.Reset();
            link->SetIconLocation(iconPath, 0);
        }
    }

    ComPtr<IPersistFile> persist;
    if (FAILED(object->QueryInterface(IID_IPersistFile, persist.PutVoid()))) {
        AppMessageBox("IPersistFile error", MB_OK);
        return;
    }

    // A folder that cannot be read skips its shortcut.
    char desktop[sizes::kFilePath];
    char programs[sizes::kFilePath];
    const bool haveDesktop = ReadShellFolder("Desktop", desktop, sizeof desktop);
    const bool havePrograms = ReadShellFolder("Programs", programs, sizeof programs);
    // The link's file name must stay a file inside those folders: a name
    // that climbs out of them, names a drive, a stream or a device saves
    // no shortcut at all.
    if ((g_setup.startMenuShortcut || g_setup.desktopShortcut) &&
        !IsSafeRelativeName(std::string(linkName) + ".lnk")) {
        ReportInvalidName(linkName, "Shortcut", "; no shortcut is made");
        return;
    }
    if (g_setup.startMenuShortcut && havePrograms) SaveLinkIn(persist.Get(), programs, linkName);
    if (g_setup.desktopShortcut && haveDesktop) SaveLinkIn(persist.Get(), desktop, linkName);
}
