// The actions that finish an installation: deleting the files that the
// configuration lists, installing the chosen language library, and the
// final action (restart, start the program, or open its folder).
#include "system/CompletionActions.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "fw/App.h"
#include "fw/File.h"
#include "fw/Handles.h"
#include "system/CommandLine.h"

const char kRestartNotice[] = "Please close all processes to avoid losing data.";

void ReportInvalidName(const char* name, const char* section, const char* consequence) {
    AppMessageBox(InvalidNameText(name, section, consequence).c_str(), MB_OK);
}

namespace {
const char kShutdownPrivilege[] = "SeShutdownPrivilege";
const char kDefaultLanguage[] = "Default";
}  // namespace

void DeleteListedFiles() {
    const int count = ReadConfigInt("DelFile", "Number");
    for (int i = 1; i <= count; ++i) {
        char key[16];
        FormatIndexedName(key, sizeof key, "File", i);
        char name[sizes::kName] = {0};
        ReadConfigString("DelFile", key, name, sizeof name);
        // An empty or missing entry names the folder itself; deleting it
        // fails like any other failed deletion, and the loop goes on. A name
        // that leaves the folder or names a device is never deleted: it is
        // reported and skipped.
        if (name[0] && !IsSafeRelativeName(name)) {
            ReportInvalidName(name, "DelFile", "; it is not deleted");
            continue;
        }
        char path[sizes::kFilePath];
        if (JoinPath(path, sizeof path, {g_setup.installDir, "\\", name})) DeleteFileA(path);
    }
}

void CopyLanguageLibrary() {
    char key[16];
    FormatIndexedName(key, sizeof key, "File", g_setup.languageIndex + 1);
    char library[sizes::kName] = {0};
    ReadConfigString("Language", key, library, sizeof library);
    if (SamePathNoCase(library, kDefaultLanguage)) return;

    char destName[sizes::kName] = {0};
    ReadConfigString("Language", "DestFile", destName, sizeof destName);
    // Both libraries lie in the "bin" folder: a name that leads out of it or
    // names a device refuses the copy.
    for (const char* value : {library, destName}) {
        if (!IsSafeRelativeName(std::string("bin\\") + value + ".dll")) {
            ReportInvalidName(value, "Language", "; no language library is installed");
            return;
        }
    }
    // A path that does not fit its buffer refuses the copy rather than
    // copying a file named by a cut path.
    char source[sizes::kLanguageSource];
    if (!JoinPath(source, sizeof source, {g_setup.installDir, "\\bin\\", library, ".dll"})) return;
    char target[sizes::kPath];
    if (!JoinPath(target, sizeof target, {g_setup.installDir, "\\bin\\", destName, ".dll"})) return;
    // A library installed before may be read-only; a failed copy (a missing
    // source) leaves the target as it was, attributes included.
    const uint32_t oldAttributes = CFile::ClearForReplace(target);
    if (!CopyFileA(source, target, FALSE) && oldAttributes) CFile::SetAttributes(target, oldAttributes);
}

bool RestartComputer(const char* privilegeName) {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) return false;
    TOKEN_PRIVILEGES privileges;
    std::memset(&privileges, 0, sizeof privileges);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, privilegeName, &privileges.Privileges[0].Luid)) return false;
    // The call reports a privilege that the token does not hold only
    // through the last error (ERROR_NOT_ALL_ASSIGNED), so start from 0.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
    if (GetLastError() != ERROR_SUCCESS) return false;
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) != FALSE;
}

void RunFinalAction(bool restartPageShown) {
    char execFile[sizes::kExec] = {0};
    ReadConfigString("Exec", "ExecFile", execFile, sizeof execFile);
    char program[sizes::kFilePath];
    const bool haveProgram = JoinPath(program, sizeof program, {g_setup.installDir, "\\", execFile});

    if (restartPageShown) {
        // The restart page was shown: restart when the user chose it,
        // otherwise end without starting or opening anything.
        if (!g_setup.restartNow) return;
        AppMessageBox(kRestartNotice, MB_OK);
        RestartComputer(kShutdownPrivilege);
        return;
    }

    if (g_setup.runAfterSetup) {
        // Quoted, so that "C:\Program Files\x\prog.exe" never starts
        // "C:\Program.exe".
        char commandLine[260];
        if (haveProgram && QuoteProgramPath(commandLine, sizeof commandLine, program))
            WinExec(commandLine, SW_SHOWNORMAL);
        return;
    }

    char execDir[sizes::kExec] = {0};
    ReadConfigString("Exec", "ExecDir", execDir, sizeof execDir);
    // The folder is built in installDir itself, its last use; a folder that
    // would not fit is not opened at all.
    char folder[sizeof g_setup.installDir];
    if (!JoinPath(folder, sizeof folder, {g_setup.installDir, "\\", execDir})) return;
    std::memcpy(g_setup.installDir, folder, sizeof folder);
    ShellExecuteA(nullptr, "open", g_setup.installDir, nullptr, nullptr, SW_SHOWNORMAL);
}
