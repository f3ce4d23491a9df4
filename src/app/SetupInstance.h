// One setup at a time: the first copy holds a named lock for its whole run
// and publishes its process id; a copy started while it runs brings the
// running one's window to the front and ends without a window of its own.
#pragma once
#include <windows.h>

#include "fw/Handles.h"

// The same for every copy of this setup, whatever its medium or folder; no
// backslash, since the "Local\" namespace does not exist on older Windows.
inline constexpr const char kSetupInstanceName[] = "Morlan Setup running";

class SetupInstanceLock {
public:
    // Takes the lock. When another process holds it, waits up to waitMs for
    // that process's window and brings it to the front; should the other
    // copy end meanwhile, the lock is taken after all.
    explicit SetupInstanceLock(const char* name = kSetupInstanceName, DWORD waitMs = 5000);
    ~SetupInstanceLock();
    SetupInstanceLock(const SetupInstanceLock&) = delete;
    SetupInstanceLock& operator=(const SetupInstanceLock&) = delete;
    // True when this copy holds the lock and may run.
    bool Held() const noexcept { return held_; }

private:
    bool TryTake();
    bool Publish(const char* name);

    UniqueKernelHandle mutex_;
    UniqueKernelHandle pidMap_;
    bool held_ = false;
};

// The process id that the holder of the lock of this name published; 0 when
// none is published.
DWORD SetupInstanceOwner(const char* name = kSetupInstanceName);

// Brings the window that process pid shows on top to the front: the last
// active popup (a modal dialog or message box) of its visible top-level
// window, restored first if minimised. False when the process shows none.
bool BringProcessWindowToFront(DWORD pid);
