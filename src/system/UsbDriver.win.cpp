// USB driver: the driver's system files go into the Windows folder, and
// what the system keeps of an earlier installation of the device (its
// enumeration key, the driver keys of its instances and the driver
// database files) is removed so that the device is installed afresh.
#include <windows.h>

#include <string>
#include <vector>

#include "config/Paths.h"
#include "config/SetupState.h"
#include "config/Sizes.h"
#include "fw/Handles.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"

const char kDeviceClassKeyPrefix[] = "System\\CurrentControlSet\\Services\\Class\\";

namespace {
constexpr int kSubkeyBatch = 80;
constexpr DWORD kKeyNameSize = 260;
constexpr DWORD kDriverValueSize = 512;
}  // namespace

void DeleteSubkeysOf(HKEY key) {
    // Names are collected before anything is deleted, so that deleting does
    // not shift the indices being enumerated. A key with more subkeys than
    // one batch holds is cleared batch after batch.
    std::vector<char> names(static_cast<size_t>(kSubkeyBatch) * kKeyNameSize);
    for (;;) {
        int count = 0;
        while (count < kSubkeyBatch &&
               RegEnumKeyA(key, static_cast<DWORD>(count), &names[static_cast<size_t>(count) * kKeyNameSize],
                           kKeyNameSize) == ERROR_SUCCESS)
            ++count;
        for (int i = 0; i < count; ++i)
            if (RegDeleteKeyA(key, &names[static_cast<size_t>(i) * kKeyNameSize]) != ERROR_SUCCESS) return;
        if (count < kSubkeyBatch) return;  // everything enumerated is gone
    }
}

void DeleteDeviceKeysUnder(HKEY root, const char* deviceKey) {
    UniqueRegKey device;
    if (RegOpenKeyExA(root, deviceKey, 0, KEY_READ, device.Put()) != ERROR_SUCCESS) return;

    // The driver key of each instance. Instances are not deleted here, so
    // the indices stay valid; the first instance that cannot be opened or
    // has no "Driver" value ends the loop.
    for (DWORD index = 0;; ++index) {
        char instance[kKeyNameSize];
        DWORD instanceSize = sizeof instance;
        if (RegEnumKeyExA(device.Get(), index, instance, &instanceSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        char instancePath[kKeyNameSize];
        if (!JoinPath(instancePath, sizeof instancePath, {deviceKey, "\\", instance})) break;
        UniqueRegKey instanceKey;
        if (RegOpenKeyExA(root, instancePath, 0, KEY_READ, instanceKey.Put()) != ERROR_SUCCESS) break;
        char driver[kDriverValueSize + 1] = {0};  // one byte more for a value stored without its zero
        DWORD driverSize = kDriverValueSize;
        if (RegQueryValueExA(instanceKey.Get(), "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(driver),
                             &driverSize) != ERROR_SUCCESS)
            break;
        driver[driverSize < kDriverValueSize ? driverSize : kDriverValueSize] = 0;
        // An empty value would name the class folder itself; a name too
        // long for the key path names nothing that could be cut safely.
        char classPath[kKeyNameSize];
        if (driver[0] && JoinPath(classPath, sizeof classPath, {kDeviceClassKeyPrefix, driver}))
            RegDeleteKeyA(root, classPath);
    }

    DeleteSubkeysOf(device.Get());
    device.Reset();
    RegDeleteKeyA(root, deviceKey);
}

void InstallUsbDriver() {
    const int count = ReadConfigInt("SystemFile", "Number");
    char windowsDir[sizes::kPath] = {0};
    const UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    const bool haveWindowsDir = length > 0 && length < sizeof windowsDir;

    for (int i = 1; i <= count; ++i) {
        char key[16];
        char file[sizes::kName] = {0};
        char dir[sizes::kName] = {0};
        FormatIndexedName(key, sizeof key, "File", i);
        ReadConfigString("SystemFile", key, file, sizeof file);
        FormatIndexedName(key, sizeof key, "Dir", i);
        ReadConfigString("SystemFile", key, dir, sizeof dir);
        // The copy stays below the Windows folder: a name that leads out of
        // it or names a device is reported and not copied.
        const std::string relative = dir[0] ? std::string(dir) + "\\" + file : std::string(file);
        if (file[0] && !IsSafeRelativeName(relative)) {
            ReportInvalidName(relative.c_str(), "SystemFile", "; it is not copied");
            continue;
        }
        // An empty folder gives Windows folder + "\\" + file, which the
        // system reads as the Windows folder itself. The folder is not made.
        // A folder below System32 means the system's own, also for this
        // 32-bit program on 64-bit Windows.
        char source[sizes::kFilePath];
        char target[sizes::kFilePath];
        if (haveWindowsDir && JoinPath(source, sizeof source, {g_setup.installDir, "\\bin\\", file}) &&
            JoinPath(target, sizeof target, {windowsDir, "\\", dir, "\\", file})) {
            NativeSystemFolderScope nativeSystemFolder;
            CopyFileA(source, target, FALSE);
        }
    }

    char vid[sizes::kName] = {0};
    char pid[sizes::kName] = {0};
    ReadConfigString("RegIni", "VID", vid, sizeof vid);
    ReadConfigString("RegIni", "PID", pid, sizeof pid);
    if (!vid[0] || !pid[0]) return;

    char deviceKey[260];
    if (JoinPath(deviceKey, sizeof deviceKey, {"Enum\\USB\\VID_", vid, "&PID_", pid})) DeleteDeviceKeysUnder(HKEY_LOCAL_MACHINE, deviceKey);

    // The system rebuilds its driver database on the next device
    // installation; missing files are no error.
    if (!haveWindowsDir) return;
    char database[sizes::kFilePath];
    if (JoinPath(database, sizeof database, {windowsDir, "\\INF\\Drvidx.bin"})) DeleteFileA(database);
    if (JoinPath(database, sizeof database, {windowsDir, "\\INF\\Drvdata.bin"})) DeleteFileA(database);
}
