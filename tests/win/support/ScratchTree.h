// Scratch folders, small files and registry keys for the Windows tests: a
// fresh folder under the temporary folder, removed with everything in it at
// the end.
#pragma once
#include <windows.h>

#include <string>

#include "common/TestFiles.h"

namespace scratch {

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool WriteFile(const std::string& path, const std::string& data) { return testfs::WriteBytes(path, data); }
// The file's bytes, or "<missing>" when there is no such file.
inline std::string ReadFile(const std::string& path) { return Exists(path) ? testfs::ReadBytes(path) : "<missing>"; }
inline void RemoveTree(const std::string& dir) { testfs::RemoveAll(dir); }
inline std::string MakeDirIn(const std::string& parent, const std::string& name) {
    std::string p = parent + "\\" + name;
    CreateDirectoryA(p.c_str(), nullptr);
    return p;
}

// A fresh, empty folder (temporary folder + name), removed on destruction.
class Folder {
public:
    explicit Folder(const std::string& name) {
        char tmp[MAX_PATH] = {0};
        GetTempPathA(MAX_PATH, tmp);
        path_ = std::string(tmp) + name;
        RemoveTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~Folder() { RemoveTree(path_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    std::string MakeDir(const std::string& name) const { return MakeDirIn(path_, name); }  // one level

private:
    std::string path_;
};

// Deletes a registry key with all its subkeys and values; true when the key
// is gone afterwards (or was never there).
inline bool DeleteKeyTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
    char name[260];
    for (;;) {
        // Always the first subkey: deleting shifts the indices.
        if (RegEnumKeyA(key, 0, name, sizeof name) != ERROR_SUCCESS) break;
        if (!DeleteKeyTree(key, name)) break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The system's own System32 folder as this process can name it: a 32-bit
// process on 64-bit Windows sees the 32-bit folder under that name and
// reaches the system's own as Sysnative.
inline std::string NativeSystemDir() {
    char windows[MAX_PATH] = {0};
    GetWindowsDirectoryA(windows, MAX_PATH);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return std::string(windows) + (wow64 ? "\\Sysnative" : "\\System32");
}

// The 32-bit system folder of a 64-bit Windows (SysWOW64), given a drivers
// folder as Windows has one; empty on a 32-bit Windows.
inline std::string Wow64SystemDir() {
    char dir[MAX_PATH] = {0};
    const UINT n = GetSystemWow64DirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    CreateDirectoryA((std::string(dir) + "\\drivers").c_str(), nullptr);
    return dir;
}

// The folder of the running test program (no trailing backslash).
inline std::string ProgramFolder() {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, sizeof self - 1);
    std::string s = self;
    return s.substr(0, s.find_last_of('\\'));
}

}  // namespace scratch
