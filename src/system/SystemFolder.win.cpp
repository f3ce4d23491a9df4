// Turning off WOW64 file system redirection for the driver steps' copies.
#include <windows.h>

#include "system/SystemSteps.h"

namespace {

using DisableRedirection = BOOL(WINAPI*)(PVOID*);
using RevertRedirection = BOOL(WINAPI*)(PVOID);

// A kernel32 export, or null where this Windows lacks it. The detour
// through void (*)() is the one function pointer conversion that the
// compiler accepts between unrelated signatures.
template <typename F>
F Kernel32Function(const char* name) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC f = kernel ? GetProcAddress(kernel, name) : nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}

}  // namespace

NativeSystemFolderScope::NativeSystemFolderScope() {
    const auto disable = Kernel32Function<DisableRedirection>("Wow64DisableWow64FsRedirection");
    const auto revert = Kernel32Function<RevertRedirection>("Wow64RevertWow64FsRedirection");
    // Outside WOW64 the call fails and there is nothing to revert.
    if (disable && revert && disable(&previous_)) revert_ = revert;
}

NativeSystemFolderScope::~NativeSystemFolderScope() {
    if (revert_) revert_(previous_);
}
