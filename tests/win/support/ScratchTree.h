// Scratch folders and small files for the Windows tests: a fresh folder
// under the temporary folder, removed with everything in it at the end.
#pragma once
#include <windows.h>

#include <string>

namespace scratch {

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WriteFile(const std::string& path, const std::string& data) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == data.size();
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    CloseHandle(h);
    return data;
}

// Deletes a folder with everything below it (read-only files too).
inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh, empty folder (temporary folder + name), removed on destruction.
class Folder {
public:
    explicit Folder(const std::string& name) {
        char tmp[MAX_PATH] = {0};
        GetTempPathA(MAX_PATH, tmp);
        path_ = std::string(tmp) + name;
        if (!path_.empty() && path_.back() == '\\') path_.pop_back();
        RemoveTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~Folder() { RemoveTree(path_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    // Makes a subfolder (one level) and returns its path.
    std::string MakeDir(const std::string& name) const {
        std::string p = *this / name;
        CreateDirectoryA(p.c_str(), nullptr);
        return p;
    }

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

inline std::string MakeDirIn(const std::string& parent, const std::string& name) {
    std::string p = parent + "\\" + name;
    CreateDirectoryA(p.c_str(), nullptr);
    return p;
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
