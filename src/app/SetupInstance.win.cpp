#include "app/SetupInstance.h"

#include <string>

namespace {

// The file mapping beside the lock that holds its owner's process id.
std::string PidMapName(const char* name) { return std::string(name) + " process"; }

struct WindowSearch {
    DWORD pid;
    HWND top;    // a visible top-level window of pid that no other owns
    HWND owned;  // else one that is owned
};

BOOL CALLBACK FindProcessWindow(HWND w, LPARAM param) {
    auto* s = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
    if (!GetWindow(w, GW_OWNER)) {
        s->top = w;
        return FALSE;
    }
    if (!s->owned) s->owned = w;
    return TRUE;
}

}  // namespace

SetupInstanceLock::SetupInstanceLock(const char* name, DWORD waitMs) {
    mutex_.Reset(CreateMutexA(nullptr, FALSE, name));
    // Without a lock (no rights to the name) the setup runs as it would alone.
    if (!mutex_ || TryTake()) {
        held_ = true;
        Publish(name);
        return;
    }
    // Another copy holds it. Right after its start it may show no window
    // yet; if it ends meanwhile, this copy runs after all.
    const DWORD start = GetTickCount();
    do {
        const DWORD owner = SetupInstanceOwner(name);
        if (owner && BringProcessWindowToFront(owner)) return;
        const DWORD r = WaitForSingleObject(mutex_.Get(), 100);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) {
            held_ = true;
            Publish(name);
            return;
        }
    } while (GetTickCount() - start < waitMs);
}

SetupInstanceLock::~SetupInstanceLock() {
    pidMap_.Reset();
    if (held_ && mutex_) ReleaseMutex(mutex_.Get());
}

bool SetupInstanceLock::TryTake() {
    // Abandoned: its owner ended without letting go; it is ours now.
    const DWORD r = WaitForSingleObject(mutex_.Get(), 0);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool SetupInstanceLock::Publish(const char* name) {
    pidMap_.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                     PidMapName(name).c_str()));
    void* view = pidMap_ ? MapViewOfFile(pidMap_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD)) : nullptr;
    if (!view) return false;
    *static_cast<volatile DWORD*>(view) = GetCurrentProcessId();
    UnmapViewOfFile(view);
    return true;
}

DWORD SetupInstanceOwner(const char* name) {
    UniqueKernelHandle map(OpenFileMappingA(FILE_MAP_READ, FALSE, PidMapName(name).c_str()));
    const void* view = map ? MapViewOfFile(map.Get(), FILE_MAP_READ, 0, 0, sizeof(DWORD)) : nullptr;
    if (!view) return 0;
    const DWORD pid = *static_cast<const volatile DWORD*>(view);
    UnmapViewOfFile(view);
    return pid;
}

bool BringProcessWindowToFront(DWORD pid) {
    WindowSearch s = {pid, nullptr, nullptr};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&s));
    HWND top = s.top ? s.top : s.owned;
    if (!top) return false;
    // Asked before the restore, which activates the owner and makes it the
    // last active popup.
    HWND popup = GetLastActivePopup(top);
    if (IsIconic(top)) ShowWindow(top, SW_RESTORE);
    SetForegroundWindow(popup ? popup : top);
    return true;
}
